#include "framework/WinThread.h"

#include <new>

DWORD WINAPI CWinThread::Start(LPVOID self) {
    auto* thread = static_cast<CWinThread*>(self);
    const UINT result = thread->m_pfnThreadProc(thread->m_pThreadParams);
    if (thread->m_bAutoDelete)
        delete thread;
    return result;
}

CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter, int priority, UINT stackSize,
                           DWORD flags, LPSECURITY_ATTRIBUTES security) {
    auto* thread = new (std::nothrow) CWinThread(procedure, parameter);
    if (!thread)
        return nullptr;
    // Created suspended so that the object is complete before the procedure
    // can run and delete it.
    thread->m_thread.reset(::CreateThread(security, stackSize, &CWinThread::Start, thread,
                                          CREATE_SUSPENDED, &thread->m_nThreadID));
    if (!thread->m_thread) {
        delete thread;
        return nullptr;
    }
    thread->m_hThread = thread->m_thread.get();
    ::SetThreadPriority(thread->m_hThread, priority);
    if (!(flags & CREATE_SUSPENDED))
        ::ResumeThread(thread->m_hThread);
    return thread;
}
