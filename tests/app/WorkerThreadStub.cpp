// Stands in for the installation run in tests of the dialog: the worker
// thread starts and ends at once, touching nothing.
#include "install/WorkerThread.h"

UINT __cdecl WorkerThreadProc(LPVOID) {
    return 0;
}
