#include "app/RelayThread.h"

#include "app/StatusMessages.h"
#include "framework/CriticalSection.h"
#include "framework/UniqueResource.h"

namespace {

// A starting relay thread sets `queueReady` once its queue exists; one start
// at a time waits for it. Built before the program's main code runs, so no
// start can find it half made.
struct RelayStartGate {
    CCriticalSection lock;
    UniqueHandle queueReady{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};
RelayStartGate startGate;

} // namespace

DWORD WINAPI RelayThreadProc(LPVOID dialogWindow) {
    const HWND dialog = static_cast<HWND>(dialogWindow);
    MSG message{};
    // The first call of a message function creates the thread's queue.
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    ::SetEvent(startGate.queueReady.get());
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
    const HANDLE ready = startGate.queueReady.get();
    if (!ready)
        return false;
    CSingleLock oneStartAtATime(startGate.lock);
    ::ResetEvent(ready);
    DWORD id = 0;
    UniqueHandle thread(::CreateThread(nullptr, 0, &RelayThreadProc, dialogWindow, 0, &id));
    bool started = false;
    if (thread) {
        const HANDLE waitFor[] = {ready, thread.get()};
        started = ::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE) == WAIT_OBJECT_0;
    }
    if (started)
        *threadId = id;
    return started;
}
