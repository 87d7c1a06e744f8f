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

std::wstring SystemPath() {
    wchar_t system[MAX_PATH];
    wchar_t windows[MAX_PATH];
    UINT s = GetSystemDirectoryW(system, MAX_PATH);
    UINT w = GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(system, s) + L";" + std::wstring(windows, w);
}

// This process's environment without the variables that the probe is given.
std::vector<wchar_t> ChildEnvironment(const std::vector<std::wstring>& extra) {
    std::vector<wchar_t> block;
    LPWCH strings = GetEnvironmentStringsW();
    for (LPWCH p = strings; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        std::wstring name = entry.substr(0, entry.find(L'='));
        if (_wcsicmp(name.c_str(), L"PATH") == 0 || _wcsnicmp(name.c_str(), L"FAKE_RAPI_", 10) == 0)
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

template <typename Fn> Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace

std::wstring FakeRapiFolder(const wchar_t* variant) {
    return FullPath(ExeFolder() + L"\\..\\fake-rapi\\" + variant);
}

void UseFakeRapiInThisProcess() {
    static bool done = false;
    if (done)
        return;
    done = true;
    std::wstring path = FakeRapiFolder(L"full");
    std::vector<wchar_t> old(32768);
    DWORD n = GetEnvironmentVariableW(L"PATH", old.data(), static_cast<DWORD>(old.size()));
    if (n && n < old.size())
        path += L";" + std::wstring(old.data(), n);
    SetEnvironmentVariableW(L"PATH", path.c_str());
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
    std::wstring searchPath = SystemPath();
    if (variant)
        searchPath = FakeRapiFolder(variant) + L";" + searchPath;
    std::vector<std::wstring> extra = {L"PATH=" + searchPath, L"FAKE_RAPI_LOG=" + logPath};
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
    ProbeRun run = {STILL_ACTIVE, L""};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), folder.c_str(), &startup,
                        &process))
        return run;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    run.log = ReadLog(logPath);
    DeleteFileW(logPath.c_str());
    RemoveDirectoryW(folder.c_str());
    return run;
}
