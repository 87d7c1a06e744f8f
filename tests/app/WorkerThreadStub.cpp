#include "tests/app/WorkerThreadStub.h"

#include "framework/UniqueResource.h"
#include "install/WorkerThread.h"
#include "tests/driver/WindowDriver.h"

#include <atomic>

namespace {

// A handle of the stub worker's own thread, left by the worker for the test.
std::atomic<HANDLE> startedWorker{nullptr};

} // namespace

UINT __cdecl WorkerThreadProc(LPVOID) {
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self,
                      SYNCHRONIZE, FALSE, 0);
    UniqueHandle(startedWorker.exchange(self)).reset();
    return 0;
}

bool WaitForWorkerStubEnd(DWORD timeoutMs) {
    if (!driver::WaitUntil([] { return startedWorker.load() != nullptr; }, timeoutMs))
        return false;
    UniqueHandle worker(startedWorker.exchange(nullptr));
    return ::WaitForSingleObject(worker.get(), timeoutMs) == WAIT_OBJECT_0;
}
