#include "install/WorkerThread.h"

#include "app/DialogWindow.h"
#include "device/DeviceConnection.h"
#include "install/InstallationRun.h"

UINT __cdecl WorkerThreadProc(LPVOID) {
    const RunOutcome outcome = InstallationRun().Execute();

    // The worker lets go of the device itself, so that no disconnect at
    // process exit can meet a Remote API call still under way; the window
    // waits for this thread before the process ends.
    DeviceConnection::Instance().Disconnect();
    if (outcome == RunOutcome::Warned)
        ::PostMessageW(DialogWindow, WM_CLOSE, 0, 0);
    return 0;
}
