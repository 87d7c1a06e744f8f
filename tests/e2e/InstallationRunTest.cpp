// pelko from start to end, driven as a person would: the real pelko.exe,
// insthelp.dll and our rapi.dll against devicesim, the windows read and their
// buttons pressed, the device's files checked byte for byte.
#include "install/InstallConstants.h"
#include "tests/e2e/HostSettings.h"
#include "tests/e2e/ShortStopWait.h"
#include "tests/e2e/StagedPelko.h"
#include "tests/support/FileTree.h"

#include <gtest/gtest.h>

#include <map>
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

// The longest exchange that our rapi.dll allows (RAPI_TIMEOUT_MS), far beyond
// any wait of a test.
constexpr wchar_t PatientLinkTimeoutMs[] = L"600000";

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

// Requests and events of the device's log ("conn=N Operation ..." and
// "conn=N opened" lines).
int LogLinesWith(const DeviceSim& device, const char* operation) {
    std::string log = device.LogText();
    std::regex pattern(std::string(" conn=[0-9]+ ") + operation + "([ \r\n]|$)");
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

// The update's files by their path below \Mounted Volume, with their bytes.
using UpdateFiles = std::map<std::wstring, std::string>;

void ExpectWorkedUpdateInstalled(const DeviceSim& device) {
    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(OldA)), PatternBytes(100, 1)));
    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(NewB)), PatternBytes(300, 2)));
}

// Every file below \Mounted Volume is one of the update's files, byte for
// byte; the number of them.
int ExpectOnlyWholeUpdateFiles(const DeviceSim& device, const UpdateFiles& files) {
    int whole = 0;
    for (const std::wstring& relative :
         testsupport::ListTree(device.StoragePath(L"\\Mounted Volume"))) {
        SCOPED_TRACE(testsupport::Utf8(relative));
        const auto expected = files.find(relative);
        if (expected == files.end()) {
            ADD_FAILURE() << "not a file of the update";
            continue;
        }
        const std::string bytes =
            ReadFileBytes(device.StoragePath(L"\\Mounted Volume\\" + relative));
        EXPECT_TRUE(SameBytes(bytes, expected->second));
        whole += bytes == expected->second;
    }
    return whole;
}

// The device's log shows every connection that was opened closed again.
testing::AssertionResult EveryConnectionClosed(const DeviceSim& device) {
    // devicesim notes the close once it has seen it: wait for the line.
    int opened = 0, closed = 0;
    driver::WaitUntil([&] {
        opened = LogLinesWith(device, "opened");
        closed = LogLinesWith(device, "closed;");
        return opened > 0 && opened == closed;
    });
    if (opened > 0 && opened == closed)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << opened << " connections opened, " << closed << " closed\n"
                                       << device.LogText();
}

// Which request of a run (counting from 1 the requests that the device
// answered, as --stall-after counts them) was the `nth` WriteFile to the
// device file `devicePath`; 0 when the log has none.
uint64_t RequestNumberOfWrite(const std::string& log, const std::wstring& devicePath, int nth) {
    const std::string created = " CreateFile " + testsupport::Utf8(devicePath) + " -> ";
    uint64_t request = 0;
    bool inFile = false;
    int writes = 0;
    size_t lineStart = 0;
    while (lineStart < log.size()) {
        size_t lineEnd = log.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = log.size();
        const std::string line = log.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.find(" -> ") == std::string::npos)
            continue; // not a request: a connection opened or closed
        ++request;
        if (line.find(created) != std::string::npos)
            inFile = true;
        else if (inFile && line.find(" WriteFile -> ") != std::string::npos && ++writes == nth)
            return request;
    }
    return 0;
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

// A key or click that ends the window, delivered as a person's arrives.
struct CloseKey {
    const char* name;
    bool (*press)(HWND);
};

void PrintTo(const CloseKey& key, std::ostream* out) {
    *out << key.name;
}

class ClosingMidCopy : public ::testing::TestWithParam<CloseKey> {};

TEST_P(ClosingMidCopy, StopsTheCopyEndsTheProcessAndLeavesOnlyWholeFiles) {
    // Files of three blocks, the last one short, as an update's files are.
    const int fileCount = 8;
    const size_t fileSize = 300000;
    StagedPelko stage;
    UpdateFiles files;
    for (int i = 0; i < fileCount; ++i) {
        const std::wstring name = L"f" + std::to_wstring(i) + L".bin";
        files[name] = PatternBytes(fileSize, 10 + i);
        stage.AddUpdateFile(name, files[name]);
    }
    // About 150 KB/s: the whole update takes some sixteen seconds, one block
    // about one.
    DeviceSim device({L"--rate", L"150000"});
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = stage.Start();
    HWND window = driver::WaitForProgressWindow(pelko.id());
    ASSERT_NE(window, nullptr);
    // Into the second file: the first one is whole on the device.
    ASSERT_TRUE(driver::WaitUntil([&] { return driver::BarPosition(window) >= 150; }, 60000));
    ASSERT_TRUE(GetParam().press(window));
    const DWORD pressed = ::GetTickCount();
    ASSERT_TRUE(pelko.WaitForExit(15000).has_value()) << "pelko.exe did not end";
    EXPECT_LT(::GetTickCount() - pressed, 10000u);

    const int whole = ExpectOnlyWholeUpdateFiles(device, files);
    EXPECT_GE(whole, 1);
    EXPECT_LT(whole, fileCount) << "the copy was to stop midway";
    EXPECT_TRUE(EveryConnectionClosed(device));
}

const CloseKey CloseKeys[] = {
    {"Escape", &driver::SendEscape},        {"Enter", &driver::SendEnter},
    {"AltF4", &driver::SendAltF4},          {"CloseBox", &driver::PressCloseBox},
    {"CloseMessage", &driver::CloseWindow},
};

INSTANTIATE_TEST_SUITE_P(Keys, ClosingMidCopy, ::testing::ValuesIn(CloseKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InstallationRun, HungDeviceIsGivenUpAfterTheCloseAndKeepsWhatWasWrittenBeforeIt) {
    // The staged program gives up ShortStopWaitMs after the close.
    StagedPelko stage(L"pelko_short_stop_wait.exe");
    const int fileCount = 4;
    const size_t fileSize = 300000;
    UpdateFiles files;
    for (int i = 0; i < fileCount; ++i) {
        const std::wstring name = L"f" + std::to_wstring(i) + L".bin";
        files[name] = PatternBytes(fileSize, 20 + i);
        stage.AddUpdateFile(name, files[name]);
    }
    const std::wstring hungFile = L"\\Mounted Volume\\f1.bin";

    // A run on a device that answers everything numbers the requests: the
    // device is to hang at the second block of f1.bin.
    uint64_t hungRequest = 0;
    {
        DeviceSim answering;
        ASSERT_TRUE(answering.Started()) << answering.Error();
        driver::Process pelko = stage.Start();
        FinalBox final;
        ASSERT_TRUE(WaitForFinalBox(pelko, final));
        ASSERT_EQ(final.box.text, CopyFinished);
        DismissAndExpectExit(pelko, final);
        hungRequest = RequestNumberOfWrite(answering.LogText(), hungFile, 2);
        ASSERT_NE(0u, hungRequest) << answering.LogText();
    }

    // Our rapi.dll would give up on the call after RAPI_TIMEOUT_MS; here the
    // link outwaits the window (by far), as a real device link that hangs can.
    ScopedEnvironmentVariable patientLink(L"RAPI_TIMEOUT_MS", PatientLinkTimeoutMs);
    DeviceSim device({L"--stall-after", std::to_wstring(hungRequest - 1)});
    ASSERT_TRUE(device.Started()) << device.Error();
    driver::Process pelko = stage.Start();
    HWND window = driver::WaitForProgressWindow(pelko.id());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(
        driver::WaitUntil([&] { return LogLinesWith(device, "WriteFile STALLED") == 1; }, 60000))
        << device.LogText();

    const DWORD closed = ::GetTickCount(); // before the key, so the wait is not overstated
    ASSERT_TRUE(driver::SendEscape(window));
    ASSERT_TRUE(pelko.WaitForExit(ShortStopWaitMs + 30000).has_value()) << "pelko.exe did not end";
    const DWORD waited = ::GetTickCount() - closed;
    EXPECT_GE(waited, ShortStopWaitMs) << "the window waits for the worker before it gives up";

    // f0.bin is whole; f1.bin keeps, under its own name, the one block written
    // before the hang: nothing could remove it. The later files' old copies
    // would be gone; the new ones never came. The helper was removed before
    // the copy.
    EXPECT_EQ(testsupport::ListTree(device.StoragePath(L"\\Mounted Volume")),
              (std::vector<std::wstring>{L"f0.bin", L"f1.bin"}));
    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(L"\\Mounted Volume\\f0.bin")),
                          files[L"f0.bin"]));
    EXPECT_TRUE(SameBytes(ReadFileBytes(device.StoragePath(hungFile)),
                          files[L"f1.bin"].substr(0, UpdateBlockSize)));
    EXPECT_TRUE(EveryConnectionClosed(device));
}

TEST(InstallationRun, UpdateThatFitsByBytesButNotByClustersEndsWithTheErrorBoxAndNoPartialFile) {
    // Half a block: a block fills two clusters.
    constexpr uint64_t Cluster = UpdateBlockSize / 2;
    const uint64_t helperClusters = (StagedPelko::HelperSize() + Cluster - 1) / Cluster;
    // Files of two whole blocks and one byte: four clusters and one byte,
    // five clusters each.
    const uint64_t fileSize = 2 * UpdateBlockSize + 1;
    const int fileCount = static_cast<int>(helperClusters) + 3;
    // While the free space is asked, \Mounted Volume and the helper take
    // 1 + helperClusters clusters and 4 * fileCount + 1 are free: more than
    // the update's bytes. With the helper removed, the last file finds three
    // clusters for its five, and its second block fails with a full disk.
    const uint64_t capacity = (1 + helperClusters + 4 * fileCount + 1) * Cluster;
    StagedPelko stage;
    UpdateFiles files;
    for (int i = 0; i < fileCount; ++i) {
        const std::wstring name = L"c" + std::to_wstring(i) + L".bin";
        files[name] = PatternBytes(fileSize, 30 + i);
        stage.AddUpdateFile(name, files[name]);
    }
    DeviceSim device(
        {L"--capacity", std::to_wstring(capacity), L"--cluster", std::to_wstring(Cluster)});
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = stage.Start();
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    EXPECT_EQ(final.box.text, ErrorOccurred);
    EXPECT_EQ(final.box.icon, BoxIcon::Error);
    EXPECT_EQ(final.box.caption, L"pelko");
    EXPECT_EQ(final.box.owner, final.progressWindow);
    EXPECT_EQ(final.barPosition, 0);
    DismissAndExpectExit(pelko, final);

    // Every file but the last is whole; the last is not there at all.
    EXPECT_EQ(ExpectOnlyWholeUpdateFiles(device, files), fileCount - 1);
    // The one write that failed was refused for want of clusters.
    const std::string diskFull = "WriteFile -> 0 err=" + std::to_string(ERROR_DISK_FULL);
    EXPECT_EQ(LogLinesWith(device, diskFull.c_str()), 1) << device.LogText();
    EXPECT_FALSE(FileExists(device.StoragePath(Helper)));
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
