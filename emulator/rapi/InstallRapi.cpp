// rapi_install: puts the rapi.dll beside it into the system folder of the
// Windows it runs on, where a PC's device software installs the Remote API
// and where pelko loads it from. Run in a Wine prefix for tests and the demo.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain() {
    wchar_t self[MAX_PATH];
    const DWORD selfLength = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring exe(self, selfLength < MAX_PATH ? selfLength : 0);
    const size_t slash = exe.rfind(L'\\');
    wchar_t system[MAX_PATH];
    const UINT systemLength = ::GetSystemDirectoryW(system, MAX_PATH);
    if (slash == std::wstring::npos || systemLength == 0 || systemLength >= MAX_PATH) {
        fwprintf(stderr, L"rapi_install: cannot find the folders\n");
        return 1;
    }
    const std::wstring source = exe.substr(0, slash) + L"\\rapi.dll";
    const std::wstring target = std::wstring(system, systemLength) + L"\\rapi.dll";
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        fwprintf(stderr, L"rapi_install: cannot copy %ls to %ls (error %lu)\n", source.c_str(),
                 target.c_str(), ::GetLastError());
        return 1;
    }
    wprintf(L"rapi_install: %ls\n", target.c_str());
    return 0;
}
