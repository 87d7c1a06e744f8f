// A rapi.dll that is not the system's, as one could lie in a downloads folder
// or an unpacked archive: it does nothing but leave "<its path>.loaded"
// beside itself when a process loads it.
#include "framework/UniqueResource.h"

#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    const std::wstring marker = std::wstring(path, length) + L".loaded";
    UniqueFile(::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    return TRUE;
}
