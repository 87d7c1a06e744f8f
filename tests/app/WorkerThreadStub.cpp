// Stands in for the installation run in tests of the dialog: the worker
// thread starts and ends at once, touching nothing.
#include "tests/app/WorkerThreadStub.h"

#include "framework/UniqueResource.h"
#include "install/WorkerThread.h"

namespace worker_stub {
namespace {

UniqueHandle started;
// A real handle to the worker's thread, written before `started` is set.
UniqueHandle workerThread;

} // namespace

void Prepare() {
    workerThread.reset();
    started.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

bool WaitForThreadEnd(DWORD timeoutMs) {
    if (!started || ::WaitForSingleObject(started.get(), timeoutMs) != WAIT_OBJECT_0)
        return false;
    return ::WaitForSingleObject(workerThread.get(), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace worker_stub

UINT __cdecl WorkerThreadProc(LPVOID) {
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self,
                      SYNCHRONIZE, FALSE, 0);
    worker_stub::workerThread.reset(self);
    if (worker_stub::started)
        ::SetEvent(worker_stub::started.get());
    return 0;
}
