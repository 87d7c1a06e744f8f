#pragma once
// Debugger output for a failed device operation. The device's last error is
// written with the operation and the path; the user never sees it.
#include <string>

// Reads CeGetLastError and writes one line to the debugger output.
void TraceDeviceError(const wchar_t* operation, const std::wstring& path);
