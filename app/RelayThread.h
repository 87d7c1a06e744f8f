#pragma once
#include <windows.h>

// Reposts every thread message it receives to the window passed as its
// parameter; ends after UM_COPY_FAILED or UM_COPY_STOPPED.
DWORD WINAPI RelayThreadProc(LPVOID dialogWindow);

// Starts RelayThreadProc for `dialogWindow` and returns once the thread's
// message queue exists, so that no message posted to *threadId afterwards is
// lost. Returns false, with *threadId 0, when the thread cannot be started.
// Relay threads are started only through here.
bool StartRelayThread(HWND dialogWindow, DWORD* threadId);
