// Runs one connection scenario and exits through the ordinary process end, so
// that the exit-time disconnect runs. The exit code holds the results, one bit
// per call, first call in bit 0.
#include "device/DeviceConnection.h"
#include "device/DeviceFileOps.h"
#include "device/DeviceTrace.h"
#include "device/RapiLibrary.h"
#include "tests/device/FakeRapiHarness.h"

#include <string>

namespace {

// Every operation of an unbound connection must fail without calling anything.
bool UnboundOperationsFail() {
    DeviceConnection& device = DeviceConnection::Instance();
    CE_FIND_DATA data;
    DWORD high = 0;
    DWORD outSize = 0;
    BYTE* out = nullptr;
    DeviceFileOps ops(L"\\Mounted Volume\\insthelp.dll");
    return device.CeGetLastError() == ERROR_NOT_CONNECTED &&
           !device.CeCreateDirectory(L"\\a", nullptr) &&
           device.CeCreateFile(L"\\a", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) ==
               INVALID_HANDLE_VALUE &&
           !device.CeWriteFile(nullptr, "x", 1, nullptr, nullptr) &&
           !device.CeCloseHandle(nullptr) &&
           device.CeGetFileSize(nullptr, &high) == INVALID_FILE_SIZE &&
           device.CeFindFirstFile(L"\\*", &data) == INVALID_HANDLE_VALUE &&
           !device.CeFindNextFile(nullptr, &data) && !device.CeFindClose(nullptr) &&
           !device.CeSetFileAttributes(L"\\a", FILE_ATTRIBUTE_NORMAL) &&
           !device.CeDeleteFile(L"\\a") &&
           device.CeRapiInvoke(L"x", L"y", 0, nullptr, &outSize, &out, nullptr, 0) == E_FAIL &&
           ops.GetFreeSpace(L"\\Mounted Volume") == 0 && ops.DeviceFileSize(L"\\a") == 0 &&
           !ops.DeleteMatching(L"\\*") && !device.Disconnect();
}

} // namespace

// The probe loads the library that its parent names, read at every Connect.
std::wstring RapiLibraryPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(ProbeLibraryVariable, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 100;
    std::wstring scenario = argv[1];
    DeviceConnection& device = DeviceConnection::Instance();
    if (scenario == L"connect")
        return device.Connect();
    if (scenario == L"connect-twice") {
        int first = device.Connect();
        return first | device.Connect() << 1;
    }
    if (scenario == L"connect-disconnect") {
        int first = device.Connect();
        return first | device.Disconnect() << 1;
    }
    if (scenario == L"idle") {
        // Loaded here only so that the library sees the process end.
        int result = device.Disconnect();
        LoadLibraryW(RapiLibraryPath().c_str());
        return result;
    }
    if (scenario == L"retry" && argc >= 3) {
        // The first attempt finds no library; then the library given appears.
        int first = device.Connect();
        SetEnvironmentVariableW(ProbeLibraryVariable, argv[2]);
        return first | device.Connect() << 1;
    }
    if (scenario == L"trace") {
        int connected = device.Connect();
        TraceDeviceError(L"InvkFreeDiskSpace", L"\\Mounted Volume");
        return connected;
    }
    if (scenario == L"connect-unbound") {
        int connected = device.Connect();
        return connected | UnboundOperationsFail() << 1;
    }
    if (scenario == L"unbound")
        return UnboundOperationsFail();
    return 100;
}
