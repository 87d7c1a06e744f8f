// Stands in for the framework's thread start in the test of a dialog whose
// worker thread cannot be started: every start fails as CreateThread would.
#include "framework/WinThread.h"

CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
