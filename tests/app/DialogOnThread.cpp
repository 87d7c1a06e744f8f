#include "tests/app/DialogOnThread.h"

#include "app/CopyDlg.h"
#include "app/DialogWindow.h"

HWND DialogOnThread::Open() {
    DialogWindow = nullptr;
    runner_ = JoinableThread([this] {
        CopyDlg dialog;
        result_ = dialog.DoModal();
        endedAt_ = ::GetTickCount();
        ended_ = true;
    });
    if (driver::WaitUntil([] { return DialogWindow != nullptr; }))
        window_ = DialogWindow;
    return window_;
}

INT_PTR DialogOnThread::WaitForEnd(DWORD timeoutMs) {
    if (!driver::WaitUntil([this] { return ended_.load(); }, timeoutMs))
        return -2;
    runner_.Join();
    return result_;
}

void DialogOnThread::CloseWhateverIsOpen() {
    if (!runner_.Joinable())
        return;
    driver::WaitUntil([this] {
        if (HWND box = driver::FindMessageBox(::GetCurrentProcessId()))
            driver::PressOk(box);
        else if (::IsWindow(window_))
            driver::CloseWindow(window_);
        return ended_.load();
    });
    runner_.Join();
}
