#include "device/DeviceTrace.h"

#include "device/DeviceConnection.h"

void TraceDeviceError(const wchar_t* operation, const std::wstring& path) {
    DWORD error = DeviceConnection::Instance().CeGetLastError();
    std::wstring line = L"pelko: device ";
    line += operation;
    line += L" \"";
    line += path;
    line += L"\" failed, device error ";
    line += std::to_wstring(error);
    line += L"\n";
    OutputDebugStringW(line.c_str());
}
