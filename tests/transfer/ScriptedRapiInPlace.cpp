// The scripted-device tests load the scripted rapi.dll beside them in place
// of the system's.
#include "device/RapiLibrary.h"

#include <windows.h>

std::wstring RapiLibraryPath() {
    wchar_t exe[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring path(exe, length < MAX_PATH ? length : 0);
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash) + L"\\rapi.dll";
}
