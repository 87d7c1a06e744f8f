#pragma once
#include <windows.h>

// The whole installation run, on the thread that the progress dialog starts.
UINT __cdecl WorkerThreadProc(LPVOID parameter);
