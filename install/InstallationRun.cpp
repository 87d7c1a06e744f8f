#include "install/InstallationRun.h"

#include "app/DialogWindow.h"
#include "app/RelayThread.h"
#include "app/StatusMessages.h"
#include "catalogue/MessageCatalogue.h"
#include "catalogue/MessageText.h"
#include "device/DeviceConnection.h"
#include "device/DeviceFileOps.h"
#include "device/DeviceTrace.h"
#include "install/HostPrerequisites.h"
#include "install/InstallConstants.h"
#include "scan/ProgramFolder.h"
#include "scan/UpdateList.h"
#include "transfer/TransferEngine.h"

#include <windows.h>

#include <limits>

namespace {

bool IsFolder(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// free + released without wrapping: a device that reports an absurd free
// space must not make the sum negative.
int64_t AddSaturating(int64_t a, int64_t b) {
    if (b > 0 && a > std::numeric_limits<int64_t>::max() - b)
        return std::numeric_limits<int64_t>::max();
    if (b < 0 && a < std::numeric_limits<int64_t>::min() - b)
        return std::numeric_limits<int64_t>::min();
    return a + b;
}

} // namespace

bool InstallationRun::StopAsked() const {
    return StopFlag != 0;
}

RunOutcome InstallationRun::Warn(int messageRole) {
    // A run that the window asked to stop ends without a box.
    if (StopAsked())
        return RunOutcome::Stopped;
    std::wstring text = LoadMessageText(::GetModuleHandleW(nullptr), MessageId[messageRole]);
    ::MessageBoxW(DialogWindow, text.c_str(), CaptionText.c_str(), MB_ICONWARNING | MB_OK);
    return RunOutcome::Warned;
}

RunOutcome InstallationRun::Execute() {
    ::Sleep(StartDelayMs);

    if (!HostCanReachDevice())
        return Warn(MSG_ACTIVESYNC_MISSING);
    if (StopAsked())
        return RunOutcome::Stopped;

    DeviceConnection& device = DeviceConnection::Instance();
    if (!device.Connect())
        return Warn(MSG_NO_DEVICE);

    // Without an update there is nothing to install: say so before anything
    // on the device changes.
    const std::wstring updateFolder = ProgramFolder() + L"\\update_files";
    if (!IsFolder(updateFolder))
        return Warn(MSG_ERROR_OCCURRED);
    if (StopAsked())
        return RunOutcome::Stopped;

    root = DeviceRoot;
    if (!device.CeCreateDirectory(root.c_str(), nullptr))
        TraceDeviceError(L"CeCreateDirectory", root);
    if (StopAsked())
        return RunOutcome::Stopped;

    const std::wstring helperPcPath = ProgramFolder() + L"\\insthelp.dll";
    const std::wstring helperDevicePath = root + L"\\insthelp.dll";
    const uint8_t helperStop = 0;
    TransferEngine().CopyFileToDevice(helperPcPath, helperDevicePath, HelperBlockSize, 0,
                                      &helperStop);
    if (StopAsked())
        return RunOutcome::Stopped;

    ScanUpdateFolder(updateFolder, root);
    TotalBytes = static_cast<int64_t>(SumFileSizes(UpdateList.sourcePaths));
    if (StopAsked())
        return RunOutcome::Stopped;

    return ClearOldCopiesAndCopy(helperDevicePath);
}

RunOutcome InstallationRun::ClearOldCopiesAndCopy(const std::wstring& helperDevicePath) {
    DeviceFileOps files(helperDevicePath);
    const int64_t freeBytes = files.GetFreeSpace(root);

    // The old copies are measured first and deleted only once the update is
    // known to fit, so a run that cannot install leaves the device as it was.
    int64_t released = 0;
    for (const std::wstring& target : UpdateList.targetPaths) {
        if (StopAsked())
            return RunOutcome::Stopped;
        released = AddSaturating(released, static_cast<int64_t>(files.DeviceFileSize(target)));
    }
    if (AddSaturating(released, freeBytes) <= TotalBytes)
        return Warn(MSG_NOT_ENOUGH_SPACE);

    for (const std::wstring& target : UpdateList.targetPaths) {
        if (StopAsked())
            return RunOutcome::Stopped;
        files.DeleteMatching(target);
    }
    files.DeleteMatching(helperDevicePath);

    ::Sleep(RelayStartDelayMs);
    if (StopAsked())
        return RunOutcome::Stopped;
    DWORD relayThreadId = 0;
    if (!StartRelayThread(DialogWindow, &relayThreadId))
        return RunOutcome::Finished;

    TransferEngine().CopyListToDevice(UpdateList.sourcePaths, UpdateList.targetPaths,
                                      UpdateBlockSize, relayThreadId, &StopFlag);
    return RunOutcome::Finished;
}
