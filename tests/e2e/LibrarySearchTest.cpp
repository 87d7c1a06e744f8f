// Only the system's Remote API library runs inside pelko: a rapi.dll beside
// pelko.exe, or in the folder it is started from, is never loaded.
#include "tests/e2e/StagedPelko.h"
#include "tests/support/FileTree.h"

#include <gtest/gtest.h>

using testsupport::FileExists;
using testsupport::PatternBytes;
using testsupport::ReadFileBytes;

namespace {

std::wstring PlantedRapi() {
    return testsupport::WindowsPathOf(PELKO_PLANTED_RAPI_DLL);
}

// Puts the planted library into `folder`; returns the path of the mark it
// leaves when loaded.
std::wstring Plant(const std::wstring& folder) {
    const std::wstring library = folder + L"\\rapi.dll";
    EXPECT_TRUE(::CopyFileW(PlantedRapi().c_str(), library.c_str(), FALSE));
    return library + L".loaded";
}

TEST(RemoteApiLibrary, PlantedLibraryMarksWhereItWasLoaded) {
    // The mark is what the next case relies on: loading the library leaves it.
    testsupport::TempDir folder(L"planted");
    const std::wstring mark = Plant(folder.Path());
    UniqueModule library(::LoadLibraryW((folder / L"rapi.dll").c_str()));
    ASSERT_TRUE(library.valid());
    EXPECT_TRUE(FileExists(mark));
}

TEST(RemoteApiLibrary, OneBesideTheProgramOrInTheCurrentFolderIsNeverLoaded) {
    StagedPelko stage;
    stage.AddUpdateFile(L"a.txt", PatternBytes(100, 1));
    testsupport::TempDir current(L"current");
    const std::wstring markBeside = Plant(stage.Folder());
    const std::wstring markCurrent = Plant(current.Path());
    testsupport::DeviceSim device;
    ASSERT_TRUE(device.Started()) << device.Error();

    driver::Process pelko = driver::Process::Start(stage.Folder() + L"\\pelko.exe", current.Path());
    FinalBox final;
    ASSERT_TRUE(WaitForFinalBox(pelko, final));
    EXPECT_EQ(final.box.text, L"Copying finished successfully.");
    ASSERT_TRUE(driver::PressOk(final.box.window));
    EXPECT_TRUE(pelko.WaitForExit(15000).has_value());

    // The copy went through the system's library, and neither planted one ran.
    EXPECT_EQ(ReadFileBytes(device.StoragePath(L"\\Mounted Volume\\a.txt")), PatternBytes(100, 1));
    EXPECT_FALSE(FileExists(markBeside));
    EXPECT_FALSE(FileExists(markCurrent));
}

} // namespace
