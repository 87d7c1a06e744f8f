// Stands in for the installation run in tests of the dialog's stop: the
// worker thread runs until the test, or the stop request, lets it return.
#include "tests/app/ControlledWorker.h"

#include "app/DialogWindow.h"
#include "app/StatusMessages.h"
#include "framework/UniqueResource.h"
#include "install/WorkerThread.h"

#include <atomic>

namespace controlled_worker {
namespace {

constexpr DWORD PollMs = 5;

std::atomic<Ending> ending{Ending::AtOnce};
std::atomic<bool> returned{false};
std::atomic<DWORD> returnedAt{0};
std::atomic<uint8_t> stopSeen{0};
UniqueHandle started;
UniqueHandle released;
// A real handle to the worker's thread, written before `started` is set.
UniqueHandle workerThread;

void NoteStopFlag() {
    stopSeen = StopFlag;
}

void Return() {
    returnedAt = ::GetTickCount();
    returned = true;
}

} // namespace

void Prepare(Ending how) {
    ending = how;
    returned = false;
    returnedAt = 0;
    stopSeen = 0;
    workerThread.reset();
    started.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    released.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

bool WaitUntilStarted(DWORD timeoutMs) {
    return ::WaitForSingleObject(started.get(), timeoutMs) == WAIT_OBJECT_0;
}

void Release() {
    ::SetEvent(released.get());
}

bool Returned() {
    return returned;
}

DWORD ReturnedAt() {
    return returnedAt;
}

uint8_t StopSeen() {
    return stopSeen;
}

bool WaitForThreadEnd(DWORD timeoutMs) {
    if (!WaitUntilStarted(timeoutMs))
        return false;
    return ::WaitForSingleObject(workerThread.get(), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace controlled_worker

UINT __cdecl WorkerThreadProc(LPVOID) {
    using namespace controlled_worker;
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self,
                      SYNCHRONIZE, FALSE, 0);
    workerThread.reset(self);
    ::SetEvent(started.get());

    switch (ending.load()) {
    case Ending::AtOnce:
        break;
    case Ending::PostCloseThenEnd:
        ::PostMessageW(DialogWindow, WM_CLOSE, 0, 0);
        break;
    case Ending::WhenReleased:
    case Ending::WhenStopped:
        while (::WaitForSingleObject(released.get(), PollMs) == WAIT_TIMEOUT) {
            NoteStopFlag();
            if (ending == Ending::WhenStopped && stopSeen != 0)
                break;
        }
        NoteStopFlag();
        break;
    }
    Return();
    return 0;
}
