// Alone in its file, so that a test program can put a stand-in library in
// its place by defining RapiLibraryPath itself.
#include "device/RapiLibrary.h"

#include <windows.h>

std::wstring RapiLibraryPath() {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(folder, length) + L"\\rapi.dll";
}
