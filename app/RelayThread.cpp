#include "app/RelayThread.h"

#include "app/StatusMessages.h"
#include "framework/UniqueResource.h"

namespace {

// Set by a starting relay thread once its queue exists. One start at a time
// waits for it.
HANDLE QueueReadyEvent() {
    static UniqueHandle event(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return event.get();
}

SRWLOCK startLock = SRWLOCK_INIT;

} // namespace

DWORD WINAPI RelayThreadProc(LPVOID dialogWindow) {
    const HWND dialog = static_cast<HWND>(dialogWindow);
    MSG message{};
    // The first call of a message function creates the thread's queue.
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    ::SetEvent(QueueReadyEvent());
    for (;;) {
        if (::GetMessageW(&message, nullptr, 0, 0) == -1)
            return 0;
        ::PostMessageW(dialog, message.message, message.wParam, message.lParam);
        if (message.message == UM_COPY_FAILED || message.message == UM_COPY_STOPPED)
            return 0;
    }
}

bool StartRelayThread(HWND dialogWindow, DWORD* threadId) {
    *threadId = 0;
    HANDLE ready = QueueReadyEvent();
    if (!ready)
        return false;
    ::AcquireSRWLockExclusive(&startLock);
    ::ResetEvent(ready);
    DWORD id = 0;
    UniqueHandle thread(::CreateThread(nullptr, 0, &RelayThreadProc, dialogWindow, 0, &id));
    bool started = false;
    if (thread) {
        const HANDLE waitFor[] = {ready, thread.get()};
        started = ::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE) == WAIT_OBJECT_0;
    }
    ::ReleaseSRWLockExclusive(&startLock);
    if (started)
        *threadId = id;
    return started;
}
