// pelko from start to end, driven as a person would: the real pelko.exe,
// insthelp.dll and our rapi.dll against devicesim, the windows read and their
// buttons pressed, the device's files checked byte for byte.
#include "tests/e2e/HostSettings.h"
#include "tests/e2e/StagedPelko.h"
#include "tests/support/FileTree.h"

#include <gtest/gtest.h>

#include <regex>

using driver::BoxIcon;
using testsupport::DeviceSim;
using testsupport::FileExists;
using testsupport::PatternBytes;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

constexpr wchar_t CopyFinished[] = L"Copying finished successfully.";
constexpr wchar_t NotEnoughSpace[] =
    L"There is not enough free storage capacity on the selected drive.";
constexpr wchar_t NoDevice[] = L"No navigation device found.";
constexpr wchar_t ActiveSyncMissing[] =
    L"ActiveSync\u00AE is not installed. Please install ActiveSync\u00AE first.";
constexpr wchar_t ErrorOccurred[] = L"An error occurred.";

constexpr wchar_t OldA[] = L"\\Mounted Volume\\a.txt";
constexpr wchar_t NewB[] = L"\\Mounted Volume\\sub\\b.txt";
constexpr wchar_t Helper[] = L"\\Mounted Volume\\insthelp.dll";

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::wstring> Capacity(uint64_t bytes) {
    return {L"--capacity", std::to_wstring(bytes)};
}

// The worked example: a.txt of 100 bytes and sub\b.txt of 300.
void AddWorkedUpdate(StagedPelko& stage) {
    stage.AddUpdateFile(L"a.txt", PatternBytes(100, 1));
    stage.AddUpdateFile(L"sub\\b.txt", PatternBytes(300, 2));
}

// Presses OK on the final box and expects the process to end.
void DismissAndExpectExit(driver::Process& pelko, const FinalBox& final) {
    ASSERT_TRUE(driver::PressOk(final.box.window));
    EXPECT_TRUE(pelko.WaitForExit(15000).has_value()) << "pelko.exe did not end";
}

void ExpectWarningOwnedByWindow(const FinalBox& final, const wchar_t* text) {
    EXPECT_EQ(final.box.text, text);
    EXPECT_EQ(final.box.caption, L"pelko");
    EXPECT_EQ(final.box.icon, BoxIcon::Warning);
    EXPECT_EQ(final.box.owner, final.progressWindow);
}

// Requests of the device's log ("conn=N Operation ..." lines).
int LogLinesWith(const DeviceSim& device, const char* operation) {
    std::string log = device.LogText();
    std::regex pattern(std::string(" conn=[0-9]+ ") + operation + "( |$)");
    return static_cast<int>(std::distance(std::sregex_iterator(log.begin(), log.end(), pattern),
                                          std::sregex_iterator()));
}

// Compares file contents without printing them.
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                       << ", first difference at byte " << at;
}

void ExpectWorkedUpdateInstalled(const DeviceSim& device) {
    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(OldA)), PatternBytes(100, 1)));
    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(NewB)), PatternBytes(300, 2)));
}

} // namespace

TEST(InstallationRun, WorkedRunReplacesOldCopiesAndEndsWithSuccess) {
    StagedPelko stage;
    AddWorkedUpdate(stage);
    // 900 free while the old a.txt (50) and the helper library are stored.
    DeviceSim device(Capacity(900 + 50 + StagedPelko::HelperSize()));
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(WriteFileBytes(device.StoragePath(OldA), PatternBytes(50, 9)));

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    EXPECT_EQ(final.box.text, CopyFinished);
    EXPECT_EQ(final.box.icon, BoxIcon::Information);
    EXPECT_EQ(final.box.caption, L"pelko");
    EXPECT_EQ(final.box.owner, final.progressWindow);
    EXPECT_TRUE(EndsWith(final.statusText, L"100% copied")) << testsupport::Utf8(final.statusText);
    EXPECT_EQ(final.barPosition, 0);
    DismissAndExpectExit(pelko, final);

    ExpectWorkedUpdateInstalled(device);
    EXPECT_FALSE(FileExists(device.StoragePath(Helper)));
}

TEST(InstallationRun, NotEnoughSpaceWhenAvailableEqualsTheUpdateKeepsEveryOldFile) {
    StagedPelko stage;
    AddWorkedUpdate(stage);
    // free 350 + released 50 == 400 == TotalBytes: equal is not enough.
    DeviceSim device(Capacity(350 + 50 + StagedPelko::HelperSize()));
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(WriteFileBytes(device.StoragePath(OldA), PatternBytes(50, 9)));

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    ExpectWarningOwnedByWindow(final, NotEnoughSpace);
    DismissAndExpectExit(pelko, final);

    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(OldA)), PatternBytes(50, 9)));
    EXPECT_FALSE(FileExists(device.StoragePath(NewB)));
    EXPECT_TRUE(FileExists(device.StoragePath(Helper)));
    EXPECT_EQ(LogLinesWith(device, "DeleteFile"), 0);
}

TEST(InstallationRun, OldCopiesLargerThanTheUpdateMakeItFitWithNoFreeSpace) {
    StagedPelko stage;
    AddWorkedUpdate(stage);
    DeviceSim device(Capacity(500 + StagedPelko::HelperSize()));
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(WriteFileBytes(device.StoragePath(OldA), PatternBytes(500, 9)));

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    EXPECT_EQ(final.box.text, CopyFinished);
    DismissAndExpectExit(pelko, final);

    ExpectWorkedUpdateInstalled(device);
}

TEST(InstallationRun, NoDeviceIsReportedAfterThePauseAndTheConnectionWait) {
    StagedPelko stage;
    AddWorkedUpdate(stage);
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    device.Stop(); // RAPI_DEVICE now names a port where nothing answers

    const DWORD started = ::GetTickCount();
    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    const DWORD elapsed = ::GetTickCount() - started;
    ExpectWarningOwnedByWindow(final, NoDevice);
    EXPECT_GE(elapsed, 4500u);
    DismissAndExpectExit(pelko, final);
}

TEST(InstallationRun, OldWindowsWithoutActiveSyncWarnsAndNeverContactsTheDevice) {
    ScopedPelkoWindowsVersion windowsXp(L"winxp");
    ScopedActiveSyncKey activeSync(false);
    StagedPelko stage;
    AddWorkedUpdate(stage);
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    ExpectWarningOwnedByWindow(final, ActiveSyncMissing);
    DismissAndExpectExit(pelko, final);

    EXPECT_EQ(LogLinesWith(device, "[A-Za-z]+"), 0) << device.LogText();
    EXPECT_FALSE(testsupport::FolderExists(device.StoragePath(L"\\Mounted Volume")));
}

TEST(InstallationRun, OldWindowsWithActiveSyncGoesOn) {
    ScopedPelkoWindowsVersion windowsXp(L"winxp");
    ScopedActiveSyncKey activeSync(true);
    StagedPelko stage;
    AddWorkedUpdate(stage);
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    EXPECT_EQ(final.box.text, CopyFinished);
    DismissAndExpectExit(pelko, final);
    ExpectWorkedUpdateInstalled(device);
}

TEST(InstallationRun, WriteFailureInTheMiddleOfAFileLeavesNoPartialFile) {
    StagedPelko stage;
    const std::string big = PatternBytes(3 * 131072, 5);
    stage.AddUpdateFile(L"big.bin", big);
    // The helper library goes first, in blocks of 64 KiB; then the second
    // block of big.bin fails.
    const uint64_t helperWrites = (StagedPelko::HelperSize() + 65535) / 65536;
    DeviceSim device({L"--fail-write", std::to_wstring(helperWrites + 2)});
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    EXPECT_EQ(final.box.text, ErrorOccurred);
    EXPECT_EQ(final.box.icon, BoxIcon::Error);
    EXPECT_EQ(final.barPosition, 0);
    DismissAndExpectExit(pelko, final);

    EXPECT_FALSE(FileExists(device.StoragePath(L"\\Mounted Volume\\big.bin")));
}

TEST(InstallationRun, ClosingTheWindowDuringTheCopyStopsCleanly) {
    StagedPelko stage;
    const int fileCount = 4;
    const size_t fileSize = 256 * 1024;
    for (int i = 0; i < fileCount; ++i)
        stage.AddUpdateFile(L"part" + std::to_wstring(i) + L".bin", PatternBytes(fileSize, 10 + i));
    // About 200 KB/s: the whole update takes some five seconds.
    DeviceSim device({L"--rate", L"200000"});
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = stage.Start();
    HWND window = driver::WaitForProgressWindow(pelko.id());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(driver::WaitUntil([&] { return driver::BarPosition(window) >= 300; }, 30000));
    ASSERT_TRUE(driver::CloseWindow(window));
    const DWORD closed = ::GetTickCount();
    ASSERT_TRUE(pelko.WaitForExit(15000).has_value()) << "pelko.exe did not end";
    EXPECT_LT(::GetTickCount() - closed, 10000u);

    // Every file on the device is whole; the ones before the stop are there.
    int complete = 0;
    for (int i = 0; i < fileCount; ++i) {
        std::wstring path =
            device.StoragePath(L"\\Mounted Volume\\part" + std::to_wstring(i) + L".bin");
        if (!FileExists(path))
            continue;
        EXPECT_TRUE(SameBytes(ReadFileBytes(path), PatternBytes(fileSize, 10 + i))) << "part" << i;
        ++complete;
    }
    EXPECT_GE(complete, 1);
    EXPECT_LT(complete, fileCount);
}

TEST(InstallationRun, MissingUpdateFolderIsAnErrorBeforeTheDeviceChanges) {
    StagedPelko stage; // no update_files at all
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();
    ASSERT_TRUE(WriteFileBytes(device.StoragePath(OldA), PatternBytes(50, 9)));

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    ExpectWarningOwnedByWindow(final, ErrorOccurred);
    DismissAndExpectExit(pelko, final);

    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(OldA)), PatternBytes(50, 9)));
    EXPECT_FALSE(FileExists(device.StoragePath(Helper)));
    for (const char* operation :
         {"CreateDirectory", "CreateFile", "FindFirstFile", "DeleteFile", "Invoke"})
        EXPECT_EQ(LogLinesWith(device, operation), 0) << operation;
}

TEST(InstallationRun, EmptyUpdateFolderEndsWithSuccessAndCopiesNothing) {
    StagedPelko stage;
    ASSERT_TRUE(testsupport::CreateFolders(stage.UpdateFiles()));
    DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    EXPECT_EQ(final.box.text, CopyFinished);
    DismissAndExpectExit(pelko, final);

    EXPECT_EQ(testsupport::ListTree(device.StoragePath(L"\\Mounted Volume")),
              std::vector<std::wstring>{});
}
