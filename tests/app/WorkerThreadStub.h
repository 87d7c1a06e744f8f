#pragma once
// The stand-in for the installation run in tests of the dialog: the worker
// thread starts and ends at once, touching nothing.
#include <windows.h>

// Waits until the last stub worker that started has ended, as the dialog sees
// it (its thread has ended, not only its procedure). False on time-out.
bool WaitForWorkerStubEnd(DWORD timeoutMs);
