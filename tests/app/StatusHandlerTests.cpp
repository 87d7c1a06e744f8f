// The progress dialog in this process, fed with status messages as the relay
// thread would post them. The worker thread is a stub that ends at once.
#include "app/StatusMessages.h"
#include "scan/UpdateList.h"
#include "tests/app/CloseWays.h"
#include "tests/app/DialogOnThread.h"
#include "tests/app/WorkerThreadStub.h"
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

namespace {

using driver::BoxIcon;

const wchar_t* const WaitingText = L"Please wait until the changes have been applied.";

// The dialog on a thread of its own, with a worker that has ended: the
// handlers meet no worker to stop, however busy the machine.
class DialogUnderTest : public ::testing::Test {
protected:
    void SetUp() override {
        StopFlag = 7;
        worker_stub::Prepare();
        window_ = dialog_.Open();
        ASSERT_NE(nullptr, window_);
        ASSERT_TRUE(worker_stub::WaitForThreadEnd(driver::DefaultTimeoutMs));
    }
    void TearDown() override { dialog_.CloseWhateverIsOpen(); }

    INT_PTR WaitForEnd() { return dialog_.WaitForEnd(); }

    // Handled synchronously, so the window can be read right afterwards.
    void Send(UINT message, LPARAM lParam = 0) { ::SendMessageW(window_, message, 0, lParam); }

    std::wstring Text() const { return driver::StatusText(window_); }
    int Bar() const { return driver::BarPosition(window_); }

    HWND window_ = nullptr;

private:
    DialogOnThread dialog_;
};

TEST_F(DialogUnderTest, OpensWithTheWaitingTextAndAnEmptyBar) {
    EXPECT_EQ(L"pelko", driver::WindowText(window_));
    EXPECT_EQ(WaitingText, Text());
    EXPECT_EQ(0, Bar());
    EXPECT_EQ(0, driver::GetBarRange(window_).low);
    EXPECT_EQ(1000, driver::GetBarRange(window_).high);
    const HICON icon = reinterpret_cast<HICON>(::SendMessageW(window_, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(nullptr, icon);
    EXPECT_EQ(reinterpret_cast<LRESULT>(icon), ::SendMessageW(window_, WM_QUERYDRAGICON, 0, 0));
}

struct BlockStep {
    LPARAM bytes;
    const wchar_t* text;
    int bar;
};

struct BlockCase {
    const char* name;
    int64_t totalBytes;
    std::vector<BlockStep> steps;
};

class BlockCopied : public DialogUnderTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockCopied, ShowsPercentAndBarOnlyWhenThePercentChanges) {
    TotalBytes = GetParam().totalBytes;
    for (const BlockStep& step : GetParam().steps) {
        Send(UM_BLOCK_COPIED, step.bytes);
        EXPECT_EQ(step.text, Text()) << "after " << step.bytes;
        EXPECT_EQ(step.bar, Bar()) << "after " << step.bytes;
    }
    EXPECT_EQ(7, StopFlag) << "block reports leave the stop flag alone";
}

const BlockCase BlockCases[] = {
    {"FirstReportRedrawsAtZero",
     500,
     {{4, L"\r\n0% copied", 8}, {1, L"\r\n1% copied", 10}, {1, L"\r\n1% copied", 10}}},
    {"LastByteShows99", 97, {{96, L"\r\n98% copied", 989}, {1, L"\r\n99% copied", 1000}}},
    // The bar itself stops at its upper limit.
    {"MoreThanCounted", 100, {{100, L"\r\n100% copied", 1000}, {50, L"\r\n150% copied", 1000}}},
    {"NothingCounted", 0, {{10, L"\r\n100% copied", 1000}}},
    // lParam carries a signed 32-bit count; the upper half of a 64-bit
    // lParam is not part of it.
    {"SignedThirtyTwoBitCount",
     1000,
     {{static_cast<LPARAM>(0x100000000LL | 500), L"\r\n50% copied", 500},
      {static_cast<LPARAM>(static_cast<uint32_t>(-100)), L"\r\n40% copied", 400}}},
};

INSTANTIATE_TEST_SUITE_P(Reports, BlockCopied, ::testing::ValuesIn(BlockCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FinalBoxCase {
    const char* name;
    UINT message;
    const wchar_t* text;
    BoxIcon icon;
};

class FinalBox : public DialogUnderTest, public ::testing::WithParamInterface<FinalBoxCase> {};

TEST_P(FinalBox, EmptiesTheBarShowsTheBoxThenEndsWithZero) {
    TotalBytes = 200;
    Send(UM_BLOCK_COPIED, 84);
    ASSERT_EQ(L"\r\n42% copied", Text());
    ::PostMessageW(window_, GetParam().message, ::GetTickCount(), 0);

    const auto box = driver::WaitForMessageBox(::GetCurrentProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(0, Bar()) << "emptied before the box";
    EXPECT_EQ(L"\r\n42% copied", Text());
    EXPECT_EQ(L"pelko", box->caption);
    EXPECT_EQ(GetParam().text, box->text);
    EXPECT_EQ(GetParam().icon, box->icon);
    EXPECT_EQ(window_, box->owner);
    EXPECT_FALSE(box->topmost);
    EXPECT_EQ(0, StopFlag);
    EXPECT_TRUE(::IsWindow(window_)) << "the dialog waits for the box";

    driver::PressOk(box->window);
    EXPECT_EQ(0, WaitForEnd());
}

const FinalBoxCase FinalBoxCases[] = {
    {"AllCopied", UM_ALL_COPIED, L"Copying finished successfully.", BoxIcon::Information},
    {"CopyFailed", UM_COPY_FAILED, L"An error occurred.", BoxIcon::Error},
};

INSTANTIATE_TEST_SUITE_P(Messages, FinalBox, ::testing::ValuesIn(FinalBoxCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogUnderTest, CopyStoppedKeepsTheWindowWithAnEmptyBarAndTheLastText) {
    TotalBytes = 100;
    Send(UM_BLOCK_COPIED, 30);
    Send(UM_COPY_STOPPED);
    EXPECT_TRUE(::IsWindow(window_));
    EXPECT_EQ(0, Bar());
    EXPECT_EQ(L"\r\n30% copied", Text());
    EXPECT_EQ(0, StopFlag);
    EXPECT_EQ(nullptr, driver::FindMessageBox(::GetCurrentProcessId()));
}

TEST_F(DialogUnderTest, FileCopiedOnlyClearsTheStopFlag) {
    TotalBytes = 100;
    Send(UM_BLOCK_COPIED, 30);
    Send(UM_FILE_COPIED);
    EXPECT_EQ(0, StopFlag);
    EXPECT_EQ(L"\r\n30% copied", Text());
    EXPECT_EQ(300, Bar());
}

TEST_F(DialogUnderTest, EndQuietlyEndsWithZeroWithoutABox) {
    ::PostMessageW(window_, UM_END_QUIETLY, 0, 0);
    EXPECT_EQ(0, WaitForEnd());
    EXPECT_EQ(0, StopFlag);
}

TEST_F(DialogUnderTest, ProgressCountRestartsAfterAllCopied) {
    TotalBytes = 100;
    Send(UM_BLOCK_COPIED, 60);
    ::PostMessageW(window_, UM_ALL_COPIED, 0, 0);
    const auto box = driver::WaitForMessageBox(::GetCurrentProcessId());
    ASSERT_TRUE(box);
    // While the box is open the dialog still handles messages; the count
    // starts again from zero.
    Send(UM_BLOCK_COPIED, 10);
    EXPECT_EQ(L"\r\n10% copied", Text());
    driver::PressOk(box->window);
    EXPECT_EQ(0, WaitForEnd());
}

class UserCloses : public DialogUnderTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(UserCloses, EndsTheDialogWithTheResultOfTheWay) {
    ASSERT_TRUE(GetParam().close(window_));
    EXPECT_EQ(GetParam().result, WaitForEnd());
}

INSTANTIATE_TEST_SUITE_P(Ways, UserCloses, ::testing::ValuesIn(CloseWays), CloseWayName);

} // namespace
