#include "tests/support/DeviceSim.h"

#include "tests/support/FileTree.h"

namespace testsupport {

namespace {

constexpr DWORD StartTimeoutMs = 30000;

std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring q = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"')
            q += L'\\';
        q += c;
    }
    return q + L"\"";
}

// One job per test process, closed only when the process ends: a devicesim
// never outlives the test that started it, even when the test crashes.
HANDLE KillOnExitJob() {
    static HANDLE job = [] {
        HANDLE j = CreateJobObjectW(nullptr, nullptr);
        if (j != nullptr) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            if (!SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits,
                                         sizeof limits)) {
                CloseHandle(j);
                j = nullptr;
            }
        }
        return j;
    }();
    return job;
}

} // namespace

std::wstring WindowsPathOf(const std::string& path) {
    std::wstring wide;
    int n =
        MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0);
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), &wide[0], n);
    if (wide.empty() || wide[0] != L'/')
        return wide;
    for (auto& c : wide)
        if (c == L'/')
            c = L'\\';
    return L"Z:" + wide;
}

std::wstring DeviceSim::DeviceSimExe() {
    return WindowsPathOf(PELKO_DEVICESIM_EXE);
}
std::wstring DeviceSim::EmulatorBinDir() {
    return WindowsPathOf(PELKO_EMULATOR_BIN_DIR);
}
std::wstring DeviceSim::InsthelpDll() {
    return WindowsPathOf(PELKO_INSTHELP_DLL);
}

DeviceSim::DeviceSim(std::vector<std::wstring> extraArgs)
    : work_(L"pelko-devsim"), storage_(L"pelko-storage") {
    if (work_.Path().empty() || storage_.Path().empty()) {
        error_ = "cannot create temp folders";
        return;
    }
    std::wstring portFile = work_ / L"port.txt";
    std::wstring command = Quote(DeviceSimExe()) + L" --storage " + Quote(storage_.Path()) +
                           L" --port 0 --port-file " + Quote(portFile) + L" --log " +
                           Quote(LogPath());
    for (const auto& arg : extraArgs)
        command += L" " + Quote(arg);

    // Its console output goes to a file, never into the test's own pipes.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileW((work_ / L"output.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    BOOL created =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (!created) {
        error_ = "cannot start " + Utf8(DeviceSimExe()) + " (error " +
                 std::to_string(GetLastError()) + ")";
        return;
    }
    if (KillOnExitJob() != nullptr)
        AssignProcessToJobObject(KillOnExitJob(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;

    DWORD start = GetTickCount();
    while (GetTickCount() - start < StartTimeoutMs) {
        std::string text;
        if (ReadFileBytes(portFile, text) && !text.empty()) {
            unsigned long port = strtoul(text.c_str(), nullptr, 10);
            if (port > 0 && port < 65536) {
                port_ = static_cast<unsigned>(port);
                break;
            }
        }
        if (WaitForSingleObject(process_, 10) == WAIT_OBJECT_0) {
            error_ = "devicesim ended at start: " + ReadFileBytes(work_ / L"output.txt");
            return;
        }
    }
    if (port_ == 0) {
        error_ = "devicesim did not report its port";
        Stop();
        return;
    }
    SetEnvironmentVariableW(L"RAPI_DEVICE", Address().c_str());
}

DeviceSim::~DeviceSim() {
    Stop();
}

std::wstring DeviceSim::Address() const {
    return L"127.0.0.1:" + std::to_wstring(port_);
}

std::wstring DeviceSim::StoragePath(const std::wstring& devicePath) const {
    std::wstring rest = devicePath;
    while (!rest.empty() && rest.back() == L'\\')
        rest.pop_back();
    if (!rest.empty() && rest[0] != L'\\')
        rest = L"\\" + rest;
    return storage_.Path() + rest;
}

std::wstring DeviceSim::LogPath() const {
    return work_ / L"requests.log";
}

std::string DeviceSim::LogText() const {
    return ReadFileBytes(LogPath());
}

void DeviceSim::Stop() {
    if (process_ == nullptr)
        return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
    process_ = nullptr;
}

bool DeviceSim::Running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

} // namespace testsupport
