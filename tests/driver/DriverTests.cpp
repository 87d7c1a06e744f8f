// The driver reads message boxes as a person sees them, in this process and
// in another one. Started as `driver_tests.exe --show-box FLAGS`, the
// executable itself shows the box that the cross-process cases read.
#include "framework/JoinableThread.h"
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

using driver::BoxIcon;

const wchar_t* const BoxText = L"Box of the driver test.\nSecond line.";

struct BoxCase {
    const char* name;
    UINT flags;
    BoxIcon icon;
    bool topmost;
};

const BoxCase BoxCases[] = {
    {"Plain", MB_OK, BoxIcon::None, false},
    {"Error", MB_ICONERROR, BoxIcon::Error, false},
    {"Warning", MB_ICONEXCLAMATION, BoxIcon::Warning, false},
    {"Information", MB_ICONINFORMATION, BoxIcon::Information, false},
    // Wine does not make MB_TOPMOST boxes top-most; MB_SYSTEMMODAL ones it does.
    {"TopmostError", MB_ICONERROR | MB_TOPMOST, BoxIcon::Error, false},
    {"SystemModal", MB_ICONERROR | MB_SYSTEMMODAL, BoxIcon::Error, true},
};

void ExpectBox(const driver::MessageBoxInfo& box, const BoxCase& expected) {
    EXPECT_EQ(L"pelko", box.caption);
    EXPECT_EQ(BoxText, box.text);
    EXPECT_EQ(expected.icon, box.icon);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(expected.topmost, box.topmost);
}

class Boxes : public ::testing::TestWithParam<BoxCase> {};

TEST_P(Boxes, AreReadInThisProcess) {
    int pressed = 0;
    JoinableThread shower(
        [&] { pressed = ::MessageBoxW(nullptr, BoxText, L"pelko", GetParam().flags); });
    const auto box = driver::WaitForMessageBox(::GetCurrentProcessId());
    if (box) {
        ExpectBox(*box, GetParam());
        EXPECT_EQ(nullptr, driver::FindProgressWindow(::GetCurrentProcessId()));
        driver::PressOk(box->window);
    }
    shower.Join();
    ASSERT_TRUE(box);
    EXPECT_EQ(IDOK, pressed);
}

TEST_P(Boxes, AreReadInAnotherProcess) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    driver::Process process = driver::Process::Start(
        self, L"", nullptr, L"--show-box " + std::to_wstring(GetParam().flags));
    ASSERT_TRUE(process.valid());
    const auto box = driver::WaitForMessageBox(process.id());
    ASSERT_TRUE(box);
    ExpectBox(*box, GetParam());
    ASSERT_TRUE(driver::PressOk(box->window));
    const auto code = process.WaitForExit();
    ASSERT_TRUE(code);
    EXPECT_EQ(static_cast<DWORD>(IDOK), *code);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Boxes, ::testing::ValuesIn(BoxCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Process, RunsInTheGivenFolderWithTheGivenEnvironment) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> environment = driver::CurrentEnvironment();
    driver::SetVariable(environment, L"PELKO_DRIVER_TEST", L"42");
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    driver::Process process = driver::Process::Start(self, temp, &environment, L"--report");
    ASSERT_TRUE(process.valid());
    const auto code = process.WaitForExit();
    ASSERT_TRUE(code);
    EXPECT_EQ(42u, *code); // the variable, when the folder was the temp folder
}

TEST(Process, FailsForAMissingProgram) {
    SetLastError(0xdeadbeef);
    driver::Process process = driver::Process::Start(driver::BinFolder() + L"\\missing.exe");
    EXPECT_FALSE(process.valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}

// The child's side of RunsInTheGivenFolderWithTheGivenEnvironment: the
// variable's value if the working folder is the temp folder, else 1.
int Report() {
    wchar_t folder[MAX_PATH] = {}, temp[MAX_PATH] = {}, value[16] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring expected(temp);
    if (!expected.empty() && expected.back() == L'\\')
        expected.pop_back();
    if (::lstrcmpiW(folder, expected.c_str()) != 0)
        return 1;
    ::GetEnvironmentVariableW(L"PELKO_DRIVER_TEST", value, 16);
    return static_cast<int>(std::wcstol(value, nullptr, 10));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--show-box")
        return ::MessageBoxW(nullptr, BoxText, L"pelko",
                             static_cast<UINT>(std::strtoul(argv[2], nullptr, 10)));
    if (argc == 2 && std::string(argv[1]) == "--report")
        return Report();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
