#pragma once
#include <windows.h>

// Reposts every thread message it receives to the window passed as its
// parameter; ends after UM_COPY_FAILED or UM_COPY_STOPPED.
DWORD WINAPI RelayThreadProc(LPVOID dialogWindow);
