// Closing the progress dialog while the worker thread still works: the
// dialog asks the worker to stop and ends only once it has ended (or after
// the time-out for a hung device call). The worker is a stub whose end the
// test decides.
#include "app/StatusMessages.h"
#include "scan/UpdateList.h"
#include "tests/app/CloseWays.h"
#include "tests/app/ControlledWorker.h"
#include "tests/app/DialogOnThread.h"
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using controlled_worker::Ending;

// Long enough for the dialog to have handled anything posted to it.
constexpr DWORD SettleMs = 500;
// "At once" and "promptly" for a window under Wine on a busy machine.
constexpr int32_t PromptMs = 1000;

int32_t Elapsed(DWORD from, DWORD to) {
    return static_cast<int32_t>(to - from);
}

// The dialog on a thread of its own, with a worker that ends as the test
// says.
class StopWhileWorking : public ::testing::Test {
protected:
    void Open(Ending ending) {
        StopFlag = 0;
        TotalBytes = 100;
        controlled_worker::Prepare(ending);
        window_ = dialog_.Open();
        ASSERT_NE(nullptr, window_);
        ASSERT_TRUE(controlled_worker::WaitUntilStarted(driver::DefaultTimeoutMs));
    }

    // The worker thread is let go before the next test starts another.
    void TearDown() override {
        controlled_worker::Release();
        dialog_.CloseWhateverIsOpen();
        EXPECT_TRUE(controlled_worker::WaitForThreadEnd(driver::DefaultTimeoutMs));
    }

    bool Ended() const { return dialog_.Ended(); }

    // Waits for the dialog's end and returns its result (-2: it did not end).
    INT_PTR WaitForEnd(DWORD timeoutMs = driver::DefaultTimeoutMs) {
        return dialog_.WaitForEnd(timeoutMs);
    }

    // The window is still up a while after whatever was posted to it.
    void ExpectStillWaiting() {
        EXPECT_FALSE(driver::WaitUntil([this] { return Ended(); }, SettleMs))
            << "the window waits for the worker";
        EXPECT_TRUE(::IsWindow(window_));
        EXPECT_EQ(1, StopFlag);
        EXPECT_FALSE(controlled_worker::Returned());
    }

    // The dialog ended after the worker's return, and promptly after it.
    void ExpectEndedPromptlyAfterTheWorker() {
        ASSERT_TRUE(controlled_worker::Returned());
        const int32_t afterReturn = Elapsed(controlled_worker::ReturnedAt(), EndedAt());
        EXPECT_GE(afterReturn, 0);
        EXPECT_LT(afterReturn, PromptMs);
    }

    DWORD EndedAt() const { return dialog_.EndedAt(); }

    HWND window_ = nullptr;

private:
    DialogOnThread dialog_;
};

// A close while the worker works, and possibly a second one while the window
// waits for it; the first decides the dialog's result.
struct CloseCase {
    std::string name;
    CloseWay first;
    bool (*second)(HWND); // may be null
};

void PrintTo(const CloseCase& closeCase, std::ostream* out) {
    *out << closeCase.name;
}

const CloseWay& Way(const char* name) {
    for (const CloseWay& way : CloseWays)
        if (std::string(way.name) == name)
            return way;
    ADD_FAILURE() << "no close way " << name;
    return CloseWays[0];
}

std::vector<CloseCase> CloseCases() {
    std::vector<CloseCase> cases;
    for (const CloseWay& way : CloseWays)
        cases.push_back({way.name, way, nullptr});
    const std::pair<const char*, const char*> repeated[] = {
        {"Escape", "CloseBox"}, {"CloseBox", "Escape"}, {"Enter", "Escape"},
        {"Escape", "Enter"},    {"AltF4", "Enter"},
    };
    for (const auto& [first, second] : repeated)
        cases.push_back({std::string(first) + "Then" + second, Way(first), Way(second).close});
    return cases;
}

class CloseWhileWorking : public StopWhileWorking,
                          public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseWhileWorking, AsksTheWorkerToStopAndEndsOnceItHasEnded) {
    Open(Ending::WhenReleased);
    ASSERT_TRUE(GetParam().first.close(window_));
    ASSERT_TRUE(driver::WaitUntil([] { return controlled_worker::StopSeen() == 1; }));
    if (GetParam().second) {
        ASSERT_TRUE(GetParam().second(window_));
    }
    ExpectStillWaiting();

    controlled_worker::Release();
    EXPECT_EQ(GetParam().first.result, WaitForEnd());
    ExpectEndedPromptlyAfterTheWorker();
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseWhileWorking, ::testing::ValuesIn(CloseCases()),
                         [](const auto& info) { return info.param.name; });

class CloseWhileCopying : public StopWhileWorking,
                          public ::testing::WithParamInterface<CloseWay> {};

TEST_P(CloseWhileCopying, EndsTheDialogAsSoonAsTheCopyStops) {
    Open(Ending::WhenStopped);
    ASSERT_TRUE(GetParam().close(window_));
    EXPECT_EQ(GetParam().result, WaitForEnd());
    EXPECT_EQ(1, controlled_worker::StopSeen());
    ExpectEndedPromptlyAfterTheWorker();
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseWhileCopying, ::testing::ValuesIn(CloseWays), CloseWayName);

struct StatusCase {
    const char* name;
    UINT message;
};

class StatusWhileStopping : public StopWhileWorking,
                            public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusWhileStopping, KeepsTheStopRequestAndShowsNoBox) {
    Open(Ending::WhenReleased);
    ASSERT_TRUE(driver::SendEscape(window_));
    ASSERT_TRUE(driver::WaitUntil([] { return StopFlag == 1; }));

    // Time-limited: a box would keep the handler from returning.
    DWORD_PTR result = 0;
    EXPECT_NE(0, ::SendMessageTimeoutW(window_, GetParam().message, ::GetTickCount(), 0,
                                       SMTO_NORMAL, 3000, &result))
        << "the handler returned";
    EXPECT_EQ(nullptr, driver::FindMessageBox(::GetCurrentProcessId()));
    ExpectStillWaiting();

    controlled_worker::Release();
    EXPECT_EQ(IDCANCEL, WaitForEnd());
    ExpectEndedPromptlyAfterTheWorker();
}

const StatusCase StatusCases[] = {
    {"FileCopied", UM_FILE_COPIED}, {"CopyStopped", UM_COPY_STOPPED}, {"AllCopied", UM_ALL_COPIED},
    {"CopyFailed", UM_COPY_FAILED}, {"EndQuietly", UM_END_QUIETLY},
};

INSTANTIATE_TEST_SUITE_P(Messages, StatusWhileStopping, ::testing::ValuesIn(StatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FinalBoxCase {
    const char* name;
    UINT message;
    bool (*whileWaiting)(HWND); // a close while the window waits; may be null
};

class FinalBoxWhileWorking : public StopWhileWorking,
                             public ::testing::WithParamInterface<FinalBoxCase> {};

TEST_P(FinalBoxWhileWorking, StopsTheWorkerAfterTheBoxThenEndsWithZero) {
    Open(Ending::WhenReleased);
    StopFlag = 7;
    ::PostMessageW(window_, GetParam().message, ::GetTickCount(), 0);
    const auto box = driver::WaitForMessageBox(::GetCurrentProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(0, StopFlag) << "no stop asked yet: the handler clears it";
    EXPECT_TRUE(driver::WaitUntil([] { return controlled_worker::StopSeen() == 0; }));
    EXPECT_FALSE(controlled_worker::Returned());

    driver::PressOk(box->window);
    ASSERT_TRUE(driver::WaitUntil([] { return controlled_worker::StopSeen() == 1; }));
    if (GetParam().whileWaiting) {
        ASSERT_TRUE(GetParam().whileWaiting(window_));
    }
    ExpectStillWaiting();

    controlled_worker::Release();
    EXPECT_EQ(0, WaitForEnd()) << "the box's result, not the later close";
    ExpectEndedPromptlyAfterTheWorker();
}

const FinalBoxCase FinalBoxCases[] = {
    {"AllCopied", UM_ALL_COPIED, nullptr},
    {"CopyFailed", UM_COPY_FAILED, nullptr},
    {"AllCopiedThenEscape", UM_ALL_COPIED, &driver::SendEscape},
    {"CopyFailedThenEnter", UM_COPY_FAILED, &driver::SendEnter},
    {"AllCopiedThenAltF4", UM_ALL_COPIED, &driver::SendAltF4},
};

INSTANTIATE_TEST_SUITE_P(Messages, FinalBoxWhileWorking, ::testing::ValuesIn(FinalBoxCases),
                         [](const auto& info) { return std::string(info.param.name); });

class CloseAfterWorker : public StopWhileWorking, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(CloseAfterWorker, EndsTheDialogAtOnceWithoutAStop) {
    Open(Ending::AtOnce);
    ASSERT_TRUE(controlled_worker::WaitForThreadEnd(driver::DefaultTimeoutMs));
    const DWORD closedAt = ::GetTickCount();
    ASSERT_TRUE(GetParam().close(window_));
    EXPECT_EQ(GetParam().result, WaitForEnd());
    EXPECT_LT(Elapsed(closedAt, EndedAt()), PromptMs);
    EXPECT_EQ(0, StopFlag);
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseAfterWorker, ::testing::ValuesIn(CloseWays), CloseWayName);

TEST_F(StopWhileWorking, WorkerThatClosesTheWindowItselfEndsItAtOnce) {
    Open(Ending::PostCloseThenEnd);
    EXPECT_EQ(IDCANCEL, WaitForEnd());
    ExpectEndedPromptlyAfterTheWorker();
}

TEST_F(StopWhileWorking, HungWorkerIsGivenUpAfterThirtySeconds) {
    Open(Ending::WhenReleased);
    const DWORD closedAt = ::GetTickCount();
    ASSERT_TRUE(driver::SendEscape(window_));
    ASSERT_TRUE(driver::WaitUntil([] { return controlled_worker::StopSeen() == 1; }));
    ExpectStillWaiting();

    EXPECT_EQ(IDCANCEL, WaitForEnd(60000));
    const int32_t waited = Elapsed(closedAt, EndedAt());
    EXPECT_GE(waited, 29000);
    EXPECT_LE(waited, 40000);
    EXPECT_FALSE(controlled_worker::Returned()) << "the worker still hangs";
    // TearDown releases it; its thread must then end normally although the
    // dialog has gone.
}

} // namespace
