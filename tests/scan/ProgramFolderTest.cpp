#include "scan/ProgramFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct FolderCase {
    std::wstring modulePath;
    std::wstring folder;
};

void PrintTo(const FolderCase& c, std::ostream* out) {
    *out << testing::PrintToString(c.modulePath);
}

// A path of exactly MAX_PATH units, as the system leaves it when it cuts a
// longer one short: no terminating zero, the last component cut off.
std::wstring CutPath() {
    std::wstring path = L"C:\\long\\" + std::wstring(240, L'x') + L"\\prog-with-a-long-name.exe";
    return path.substr(0, MAX_PATH);
}

const FolderCase kFolderCases[] = {
    {L"C:\\dir\\prog.exe", L"C:\\DIR"},
    {L"C:\\Program Files\\Updater\\setup.exe", L"C:\\PROGRAM FILES\\UPDATER"},
    {L"E:\\setup.exe", L"E:"},
    // Only a-z are raised, whatever the locale.
    {L"C:\\Stra\u00dfe\\caf\u00e9\\x.exe", L"C:\\STRA\u00dfE\\CAF\u00e9"},
    {L"C:\\\u00e4\u0444\u00ff-mix_09[]{}\\x.exe", L"C:\\\u00e4\u0444\u00ff-MIX_09[]{}"},
    {L"\\\\server\\share\\x.exe", L"\\\\SERVER\\SHARE"},
    {CutPath(), L"C:\\LONG\\" + std::wstring(240, L'X')},
    // No folder part at all: nothing to stand for the folder.
    {L"prog.exe", L""},
    {L"", L""},
};

class ModulePathCases : public testing::TestWithParam<FolderCase> {};

TEST_P(ModulePathCases, KeepsTheFolderInUpperCase) {
    const FolderCase& c = GetParam();
    ASSERT_LE(c.modulePath.size(), static_cast<size_t>(MAX_PATH));
    wchar_t buffer[MAX_PATH] = {};
    std::copy(c.modulePath.begin(), c.modulePath.end(), buffer);

    EXPECT_EQ(c.folder, ProgramFolderFromModulePath(buffer));
}

INSTANTIATE_TEST_SUITE_P(ProgramFolder, ModulePathCases, testing::ValuesIn(kFolderCases));

TEST(ProgramFolder, CutPathReallyFillsTheBuffer) {
    EXPECT_EQ(static_cast<size_t>(MAX_PATH), CutPath().size());
    EXPECT_EQ(248u, CutPath().rfind(L'\\')) << "the last backslash late in the buffer";
}

TEST(ProgramFolder, IsTheFolderOfThisExecutableInUpperCase) {
    const std::wstring folder = ProgramFolder();
    EXPECT_EQ(folder, ProgramFolder());

    wchar_t module[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, module, MAX_PATH));
    const std::wstring modulePath = module;
    const std::wstring exeName = modulePath.substr(modulePath.rfind(L'\\') + 1);
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(L'\\', folder.back());
    EXPECT_TRUE(std::none_of(folder.begin(), folder.end(),
                             [](wchar_t c) { return c >= L'a' && c <= L'z'; }));
    const std::wstring rebuilt = folder + L"\\" + exeName;
    EXPECT_EQ(CSTR_EQUAL, ::CompareStringOrdinal(rebuilt.c_str(), -1, modulePath.c_str(), -1, TRUE))
        << testing::PrintToString(rebuilt) << " vs " << testing::PrintToString(modulePath);
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace
