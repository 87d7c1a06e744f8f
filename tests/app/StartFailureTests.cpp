// The progress dialog when its worker thread cannot be started: an error box
// without owner, then the dialog ends with IDOK.
#include "app/CopyDlg.h"
#include "app/DialogWindow.h"
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

#include "framework/JoinableThread.h"

namespace {

TEST(WorkerStartFails, ShowsTheErrorBoxWithoutOwnerAndEndsWithOk) {
    DialogWindow = nullptr;
    INT_PTR result = -2;
    JoinableThread runner([&] {
        CopyDlg dialog;
        result = dialog.DoModal();
    });
    const auto box = driver::WaitForMessageBox(::GetCurrentProcessId());
    if (box) {
        EXPECT_EQ(L"pelko", box->caption);
        EXPECT_EQ(L"An error occurred.", box->text);
        EXPECT_EQ(driver::BoxIcon::Error, box->icon);
        EXPECT_EQ(nullptr, box->owner);
        // MB_TOPMOST is asked for, but Wine does not make such boxes top-most.
        EXPECT_NE(nullptr, DialogWindow) << "stored before the start";
        driver::PressOk(box->window);
    }
    runner.Join();
    ASSERT_TRUE(box);
    EXPECT_EQ(IDOK, result);
}

} // namespace
