#pragma once
// A worker thread for dialog tests whose end the test decides: it stands in
// for the installation run and reports what it saw of the stop request.
#include <windows.h>

#include <cstdint>

namespace controlled_worker {

enum class Ending {
    WhenReleased,     // works until the test releases it, stop or not (a hung device call)
    WhenStopped,      // returns as soon as it sees StopFlag set, as the copy does
    AtOnce,           // returns at once
    PostCloseThenEnd, // posts WM_CLOSE to the dialog and returns, as after a warning box
};

// Sets up the next run; call before the dialog starts its worker, and only
// once the previous worker thread has ended.
void Prepare(Ending ending);
bool WaitUntilStarted(DWORD timeoutMs);
// Lets the worker return now, whatever its ending.
void Release();
// Whether the procedure has returned, and the tick count at which it did.
bool Returned();
DWORD ReturnedAt();
// The StopFlag value that the worker read last (it reads it every few ms).
uint8_t StopSeen();
// Waits until the worker's thread itself has ended (not only its procedure).
bool WaitForThreadEnd(DWORD timeoutMs);

} // namespace controlled_worker
