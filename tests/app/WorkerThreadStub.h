#pragma once
// The stand-in for the installation run in tests of the dialog's handlers: a
// worker thread that starts and ends at once, touching nothing.
#include <windows.h>

namespace worker_stub {

// Sets up the next run; call before the dialog starts its worker.
void Prepare();
// Waits until the worker's thread itself has ended, so that the dialog no
// longer has a worker to stop. False on time-out, or when none started.
bool WaitForThreadEnd(DWORD timeoutMs);

} // namespace worker_stub
