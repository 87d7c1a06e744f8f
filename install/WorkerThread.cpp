#include "install/WorkerThread.h"

UINT __cdecl WorkerThreadProc(LPVOID) {
    return 0;
}
