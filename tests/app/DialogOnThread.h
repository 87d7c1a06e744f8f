#pragma once
// A CopyDlg run modally on a thread of its own, as the main thread of the
// program would run it, for tests that drive the dialog from outside.
#include <windows.h>

#include "tests/driver/WindowDriver.h"

#include "framework/JoinableThread.h"

#include <atomic>

class DialogOnThread {
public:
    DialogOnThread() = default;
    ~DialogOnThread() { CloseWhateverIsOpen(); }

    // Starts the dialog and returns once its window exists (null when it did
    // not appear in time).
    HWND Open();

    bool Ended() const { return ended_; }
    DWORD EndedAt() const { return endedAt_; }

    // Waits for the dialog's end and returns its result (-2: it did not end).
    INT_PTR WaitForEnd(DWORD timeoutMs = driver::DefaultTimeoutMs);

    // Whatever a failed test left open is closed, boxes first, and the thread
    // is joined.
    void CloseWhateverIsOpen();

    DialogOnThread(const DialogOnThread&) = delete;
    DialogOnThread& operator=(const DialogOnThread&) = delete;

private:
    HWND window_ = nullptr;
    JoinableThread runner_;
    std::atomic<bool> ended_{false};
    std::atomic<DWORD> endedAt_{0};
    INT_PTR result_ = -2;
};
