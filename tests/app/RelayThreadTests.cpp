// The relay thread: every message posted to it reaches the window unchanged
// and in order, and it ends after a failed or stopped copy only.
#include "app/RelayThread.h"
#include "app/StatusMessages.h"
#include "framework/UniqueResource.h"
#include "tests/driver/WindowDriver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received& other) const {
        return message == other.message && wParam == other.wParam && lParam == other.lParam;
    }
};

std::vector<Received>* receivedMessages = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER && receivedMessages) {
        receivedMessages->push_back({message, wParam, lParam});
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window on the test thread that records what reaches it,
// and a relay thread started for it.
class Relay : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &RecordingProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"RelayTestReceiver";
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, L"RelayTestReceiver", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(nullptr, window_);
        receivedMessages = &received_;
        ASSERT_TRUE(StartRelayThread(window_, &threadId_));
        ASSERT_NE(0u, threadId_);
        thread_.reset(::OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, threadId_));
        ASSERT_TRUE(thread_);
    }
    void TearDown() override {
        if (::WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT) {
            ::PostThreadMessageW(threadId_, UM_COPY_FAILED, 0, 0);
            ::WaitForSingleObject(thread_.get(), 10000);
        }
        receivedMessages = nullptr;
        ::DestroyWindow(window_);
    }

    bool Post(const Received& m) {
        return ::PostThreadMessageW(threadId_, m.message, m.wParam, m.lParam);
    }

    bool WaitForCount(size_t count) {
        return driver::WaitUntil([&] { return received_.size() >= count; }, 10000, 1);
    }

    bool Ended() { return ::WaitForSingleObject(thread_.get(), 10000) == WAIT_OBJECT_0; }

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    UniqueHandle thread_;
    std::vector<Received> received_;
};

TEST_F(Relay, RepostsEveryMessageUnchangedAndInOrderFromTheFirst) {
    // Posted at once after the start returns: none may be lost.
    const std::vector<Received> sent = {
        {UM_BLOCK_COPIED, 12, 131072},
        {WM_APP + 0x123, static_cast<WPARAM>(-1), static_cast<LPARAM>(-5)},
        {UM_FILE_COPIED, 1000, 0},
        {UM_END_QUIETLY, 1, 2},
        {UM_ALL_COPIED, 2000, 0},
        {WM_USER + 7, 3, 4}, // still relayed after UM_ALL_COPIED
    };
    for (const Received& m : sent)
        ASSERT_TRUE(Post(m));
    ASSERT_TRUE(WaitForCount(sent.size()));
    EXPECT_EQ(sent, received_);
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(thread_.get(), 0));
}

struct EndCase {
    const char* name;
    UINT message;
};

class RelayEnd : public Relay, public ::testing::WithParamInterface<EndCase> {};

TEST_P(RelayEnd, EndsAfterRelayingTheMessage) {
    ASSERT_TRUE(Post({UM_BLOCK_COPIED, 1, 10}));
    ASSERT_TRUE(Post({GetParam().message, 77, ERROR_WRITE_FAULT}));
    ASSERT_TRUE(Ended());
    DWORD code = 1;
    ASSERT_TRUE(::GetExitCodeThread(thread_.get(), &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitForCount(2));
    EXPECT_EQ((Received{GetParam().message, 77, ERROR_WRITE_FAULT}), received_.back());

    // Messages after the end are refused, not relayed.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Post({UM_BLOCK_COPIED, 1, 10}));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_THREAD_ID), ::GetLastError());
}

const EndCase EndCases[] = {
    {"CopyFailed", UM_COPY_FAILED},
    {"CopyStopped", UM_COPY_STOPPED},
};

INSTANTIATE_TEST_SUITE_P(Messages, RelayEnd, ::testing::ValuesIn(EndCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Relay, EveryStartedThreadHasItsQueueAtOnce) {
    for (int run = 0; run < 20; ++run) {
        DWORD id = 0;
        ASSERT_TRUE(StartRelayThread(window_, &id));
        UniqueHandle thread(::OpenThread(SYNCHRONIZE, FALSE, id));
        ASSERT_TRUE(::PostThreadMessageW(id, UM_COPY_STOPPED, run, 0)) << run;
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.get(), 10000)) << run;
    }
    ASSERT_TRUE(WaitForCount(20));
    for (int run = 0; run < 20; ++run)
        EXPECT_EQ((Received{UM_COPY_STOPPED, static_cast<WPARAM>(run), 0}), received_[run]);
}

} // namespace
