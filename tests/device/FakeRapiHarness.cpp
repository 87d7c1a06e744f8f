#include "tests/device/FakeRapiHarness.h"

#include "framework/UniqueResource.h"

#include <vector>

namespace {

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path, n);
    return exe.substr(0, exe.rfind(L'\\'));
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return std::wstring(full, n);
}

// This process's environment without the variables that the probe is given.
std::vector<wchar_t> ChildEnvironment(const std::vector<std::wstring>& extra) {
    std::vector<wchar_t> block;
    LPWCH strings = GetEnvironmentStringsW();
    for (LPWCH p = strings; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        std::wstring name = entry.substr(0, entry.find(L'='));
        if (_wcsicmp(name.c_str(), ProbeLibraryVariable) == 0 ||
            _wcsnicmp(name.c_str(), L"FAKE_RAPI_", 10) == 0)
            continue;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
    for (const std::wstring& entry : extra) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

std::wstring ReadLog(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    if (!file)
        return L"";
    DWORD size = GetFileSize(file.get(), nullptr);
    std::wstring text(size / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    if (!text.empty())
        ReadFile(file.get(), &text[0], size, &read, nullptr);
    return text;
}

// Runs the debuggee to its end, collecting its debugger output.
std::wstring DebugUntilExit(HANDLE process) {
    std::wstring output;
    for (;;) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, 60000))
            return output + L"<no debug event>";
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            UniqueFile(event.u.CreateProcessInfo.hFile).reset();
            break;
        case LOAD_DLL_DEBUG_EVENT:
            UniqueFile(event.u.LoadDll.hFile).reset();
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            size_t unitSize = info.fUnicode ? sizeof(wchar_t) : 1;
            std::vector<char> bytes(info.nDebugStringLength * unitSize);
            SIZE_T read = 0;
            ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), bytes.size(), &read);
            if (info.fUnicode)
                output.append(reinterpret_cast<const wchar_t*>(bytes.data()),
                              read / sizeof(wchar_t));
            else
                output.append(bytes.begin(), bytes.begin() + read);
            // The terminating zero is part of the reported length.
            if (!output.empty() && output.back() == L'\0')
                output.pop_back();
            break;
        }
        default:
            break;
        }
        bool exited = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (exited)
            return output;
    }
}

template <typename Fn> Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace

std::wstring FakeRapiLibrary(const wchar_t* variant) {
    return FullPath(ExeFolder() + L"\\..\\fake-rapi\\" + variant + L"\\rapi.dll");
}

FakeRapi FakeRapi::Bind() {
    FakeRapi fake{};
    HMODULE module = GetModuleHandleW(L"rapi.dll");
    if (!module)
        return fake;
    fake.Reset = Export<decltype(fake.Reset)>(module, "FakeRapiReset");
    fake.Log = Export<decltype(fake.Log)>(module, "FakeRapiLog");
    fake.SetEntries = Export<decltype(fake.SetEntries)>(module, "FakeRapiSetEntries");
    fake.SetFileSize = Export<decltype(fake.SetFileSize)>(module, "FakeRapiSetFileSize");
    fake.SetDeleteResult =
        Export<decltype(fake.SetDeleteResult)>(module, "FakeRapiSetDeleteResult");
    fake.SetInvokeReply = Export<decltype(fake.SetInvokeReply)>(module, "FakeRapiSetInvokeReply");
    fake.LastInput = Export<decltype(fake.LastInput)>(module, "FakeRapiLastInput");
    fake.LastOutput = Export<decltype(fake.LastOutput)>(module, "FakeRapiLastOutput");
    return fake;
}

bool FakeRapi::complete() const {
    return Reset && Log && SetEntries && SetFileSize && SetDeleteResult && SetInvokeReply &&
           LastInput && LastOutput;
}

std::wstring NewTempFolder() {
    static LONG counter = 0;
    wchar_t temp[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp, n) + L"pelko-device-" +
                          std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(InterlockedIncrement(&counter));
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

ProbeRun RunProbe(const std::wstring& scenario, const wchar_t* variant, const char* init,
                  const char* uninit) {
    std::wstring folder = NewTempFolder();
    std::wstring logPath = folder + L"\\calls.log";
    const std::wstring library = variant ? FakeRapiLibrary(variant) : folder + L"\\rapi.dll";
    std::vector<std::wstring> extra = {std::wstring(ProbeLibraryVariable) + L"=" + library,
                                       L"FAKE_RAPI_LOG=" + logPath};
    if (init)
        extra.push_back(L"FAKE_RAPI_INIT=" + std::wstring(init, init + strlen(init)));
    if (uninit)
        extra.push_back(L"FAKE_RAPI_UNINIT=" + std::wstring(uninit, uninit + strlen(uninit)));
    std::vector<wchar_t> environment = ChildEnvironment(extra);

    std::wstring exe = ExeFolder() + L"\\device_probe.exe";
    std::wstring command = L"\"" + exe + L"\" " + scenario;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ProbeRun run = {STILL_ACTIVE, L"", L""};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT | DEBUG_ONLY_THIS_PROCESS, environment.data(),
                        folder.c_str(), &startup, &process))
        return run;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    run.debug = DebugUntilExit(process.hProcess);
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    run.log = ReadLog(logPath);
    DeleteFileW(logPath.c_str());
    RemoveDirectoryW(folder.c_str());
    return run;
}
