#pragma once
// Access to the call-logging Remote API stand-in from the tests: where its
// builds live, its controls once loaded, and a child process that runs one
// connection scenario against a chosen build. The test programs load the
// stand-in in place of the system's rapi.dll: each defines RapiLibraryPath
// itself.
#include <windows.h>

#include <string>

// The rapi.dll of one build of the stand-in: L"full", L"no-findclose",
// L"no-createprocess".
std::wstring FakeRapiLibrary(const wchar_t* variant);

// The variable through which device_probe.exe learns which library to load.
constexpr wchar_t ProbeLibraryVariable[] = L"PELKO_PROBE_RAPI";

// The stand-in's controls, bound from the loaded rapi.dll.
struct FakeRapi {
    void(WINAPI* Reset)();
    const wchar_t*(WINAPI* Log)();
    void(WINAPI* SetEntries)(const wchar_t* names);
    void(WINAPI* SetFileSize)(DWORD low, DWORD high);
    void(WINAPI* SetDeleteResult)(BOOL result);
    void(WINAPI* SetInvokeReply)(HRESULT result, const BYTE* reply, DWORD length);
    DWORD(WINAPI* LastInput)(BYTE* buffer, DWORD capacity);
    BYTE*(WINAPI* LastOutput)();

    // Null members when rapi.dll is not loaded or is not the stand-in.
    static FakeRapi Bind();
    bool complete() const;
};

struct ProbeRun {
    DWORD exitCode;
    std::wstring log;   // the stand-in's call log, empty when it never loaded
    std::wstring debug; // what the probe wrote to the debugger output
};

// Runs device_probe.exe with `scenario` in a fresh folder. `variant` selects
// the stand-in build it loads (nullptr: a rapi.dll that does not exist);
// `init` and `uninit` script the stand-in (FAKE_RAPI_INIT, FAKE_RAPI_UNINIT).
// The probe runs under this process as its debugger, which collects its
// debugger output.
ProbeRun RunProbe(const std::wstring& scenario, const wchar_t* variant, const char* init,
                  const char* uninit);

// A new empty folder below the temporary folder, unique to this process.
std::wstring NewTempFolder();
