#pragma once
// CWinThread and AfxBeginThread: a thread that runs a procedure and whose
// object the framework deletes when the procedure returns. The pointer that
// AfxBeginThread returns is therefore valid only while the thread runs.
#include "framework/UniqueResource.h"

#include <windows.h>

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

class CWinThread {
public:
    CWinThread(AFX_THREADPROC procedure, LPVOID parameter)
        : m_pfnThreadProc(procedure), m_pThreadParams(parameter) {}
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // For a thread created suspended (e.g. to clear m_bAutoDelete first).
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }

    HANDLE m_hThread = nullptr; // owned through m_thread
    DWORD m_nThreadID = 0;
    // TRUE: deleted when the procedure returns. An owner that clears it
    // keeps the object, and with it the thread handle, until it deletes it.
    BOOL m_bAutoDelete = TRUE;

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD,
                                      LPSECURITY_ATTRIBUTES);
    static DWORD WINAPI Start(LPVOID self);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
    UniqueHandle m_thread;
};

// Starts `procedure(parameter)` on a new thread with the given priority,
// stack size (0: the default) and creation flags (CREATE_SUSPENDED leaves it
// suspended). Returns null when the thread cannot be created.
CWinThread* AfxBeginThread(AFX_THREADPROC procedure, LPVOID parameter,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD flags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
