// pelko.exe as a person sees it: one small window titled "pelko" with the
// waiting text above an empty bar, which Esc and the close box both end.
#include "tests/app/CloseWays.h"
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

const wchar_t* const WaitingText = L"Please wait until the changes have been applied.";

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(nullptr, driver::FindProgressWindow()) << "another pelko window is open";
        process_ = driver::Process::Start(driver::PelkoExePath(), driver::BinFolder());
        ASSERT_TRUE(process_.valid()) << "cannot start " << ::GetLastError();
        window_ = driver::WaitForProgressWindow(process_.id());
        ASSERT_NE(nullptr, window_);
    }

    driver::Process process_;
    HWND window_ = nullptr;
};

TEST_F(Program, ShowsOneWindowWithTheWaitingTextAndAnEmptyBar) {
    EXPECT_EQ(1u, driver::PelkoDialogs(process_.id()).size());
    EXPECT_EQ(L"pelko", driver::WindowText(window_));
    EXPECT_EQ(WaitingText, driver::StatusText(window_));
    EXPECT_EQ(0, driver::BarPosition(window_));
    EXPECT_EQ(0, driver::GetBarRange(window_).low);
    EXPECT_EQ(1000, driver::GetBarRange(window_).high);

    const LONG_PTR style = driver::WindowStyle(window_);
    EXPECT_EQ(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
              style & (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU));
    EXPECT_TRUE(driver::WindowExStyle(window_) & WS_EX_APPWINDOW);

    HWND text = ::GetDlgItem(window_, driver::StatusTextId);
    EXPECT_EQ(L"Static", driver::ClassName(text));
    EXPECT_EQ(SS_CENTER, driver::WindowStyle(text) & SS_TYPEMASK);
    EXPECT_TRUE(driver::WindowExStyle(text) & WS_EX_STATICEDGE);
    HWND bar = ::GetDlgItem(window_, driver::ProgressBarId);
    EXPECT_EQ(L"msctls_progress32", driver::ClassName(bar));
    EXPECT_TRUE(driver::WindowStyle(bar) & PBS_SMOOTH);

    // The text line lies above the bar, both inside the window.
    RECT textArea, barArea;
    ::GetWindowRect(text, &textArea);
    ::GetWindowRect(bar, &barArea);
    EXPECT_LT(textArea.bottom, barArea.top);
    EXPECT_EQ(textArea.left, barArea.left);
    EXPECT_EQ(textArea.right, barArea.right);

    // The icons are checked in the dialog tests: Wine does not pass WM_GETICON
    // between processes.
    EXPECT_TRUE(process_.Running());
}

class ProgramEnd : public Program, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(ProgramEnd, EndsTheProcessWithTheWindow) {
    ASSERT_TRUE(GetParam().close(window_));
    const auto code = process_.WaitForExit();
    ASSERT_TRUE(code) << "still running";
    EXPECT_EQ(0u, *code);
    EXPECT_EQ(nullptr, driver::FindProgressWindow(process_.id()));
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgramEnd, ::testing::ValuesIn(CloseWays), CloseWayName);

} // namespace
