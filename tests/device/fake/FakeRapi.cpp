// A stand-in for the Remote API library that answers from a small script and
// writes down every call, for tests that count and compare calls. Its init
// and uninit results come from the environment (FAKE_RAPI_INIT: ok, fail,
// nosignal, hrfail; FAKE_RAPI_UNINIT: a hex HRESULT), and at process exit the
// call log is written, UTF-16, to the file that FAKE_RAPI_LOG names.
#include "device/RapiTypes.h"
#include "framework/UniqueResource.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Script {
    std::vector<std::wstring> entries; // names that every search finds
    DWORD sizeLow = 5;
    DWORD sizeHigh = 0;
    BOOL deleteResult = TRUE;
    HRESULT invokeResult = S_OK;
    bool invokeGivesOutput = true;
    std::vector<BYTE> reply;
    std::vector<BYTE> lastInput;
    BYTE* lastOutput = nullptr;
    size_t nextEntry = 0;
};

// Never destroyed: the log is still needed when the process detaches.
std::wstring& Log() {
    static std::wstring* log = new std::wstring;
    return *log;
}

Script& State() {
    static Script* script = new Script;
    return *script;
}

const HANDLE FakeFile = reinterpret_cast<HANDLE>(0x1000);
const HANDLE FakeFind = reinterpret_cast<HANDLE>(0x2000);

std::wstring Hex(unsigned long long value) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx", value);
    return text;
}

std::wstring Ptr(const void* p) {
    return p ? Hex(reinterpret_cast<uintptr_t>(p)) : L"null";
}

std::wstring Str(LPCWSTR s) {
    return s ? s : L"null";
}

void Record(const std::wstring& line) {
    Log() += line + L"\n";
}

std::string Env(const char* name) {
    char value[64] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
    return n && n < sizeof(value) ? value : "";
}

} // namespace

// ---- Test controls ----

FAKE_EXPORT void WINAPI FakeRapiReset() {
    Log().clear();
    State() = Script();
}

FAKE_EXPORT const wchar_t* WINAPI FakeRapiLog() {
    return Log().c_str();
}

// Entries found by every search, separated by '|'; empty: nothing matches.
FAKE_EXPORT void WINAPI FakeRapiSetEntries(const wchar_t* names) {
    Script& s = State();
    s.entries.clear();
    std::wstring all = names;
    size_t start = 0;
    while (!all.empty() && start <= all.size()) {
        size_t end = all.find(L'|', start);
        if (end == std::wstring::npos)
            end = all.size();
        s.entries.push_back(all.substr(start, end - start));
        start = end + 1;
    }
}

FAKE_EXPORT void WINAPI FakeRapiSetFileSize(DWORD low, DWORD high) {
    State().sizeLow = low;
    State().sizeHigh = high;
}

FAKE_EXPORT void WINAPI FakeRapiSetDeleteResult(BOOL result) {
    State().deleteResult = result;
}

// A null reply: the call hands back no output buffer.
FAKE_EXPORT void WINAPI FakeRapiSetInvokeReply(HRESULT result, const BYTE* reply, DWORD length) {
    Script& s = State();
    s.invokeResult = result;
    s.invokeGivesOutput = reply != nullptr;
    s.reply.assign(reply, reply + (reply ? length : 0));
}

FAKE_EXPORT DWORD WINAPI FakeRapiLastInput(BYTE* buffer, DWORD capacity) {
    const std::vector<BYTE>& input = State().lastInput;
    if (buffer && capacity)
        std::memcpy(buffer, input.data(), input.size() < capacity ? input.size() : capacity);
    return static_cast<DWORD>(input.size());
}

FAKE_EXPORT BYTE* WINAPI FakeRapiLastOutput() {
    return State().lastOutput;
}

// ---- The Remote API ----

FAKE_EXPORT HRESULT WINAPI CeRapiInitEx(RAPIINIT* init) {
    Record(L"CeRapiInitEx(" + std::to_wstring(init->cbSize) + L"," + Ptr(init->heRapiInit) + L"," +
           Hex(static_cast<DWORD>(init->hrRapiInit)) + L")");
    std::string mode = Env("FAKE_RAPI_INIT");
    if (mode == "fail")
        return E_FAIL;
    bool signalled = mode != "nosignal";
    init->heRapiInit = CreateEventW(nullptr, TRUE, signalled, nullptr);
    init->hrRapiInit = mode == "hrfail" ? E_FAIL : S_OK;
    return S_OK;
}

FAKE_EXPORT HRESULT WINAPI CeRapiUninit() {
    Record(L"CeRapiUninit");
    std::string result = Env("FAKE_RAPI_UNINIT");
    return result.empty() ? S_OK : static_cast<HRESULT>(std::stoul(result, nullptr, 16));
}

FAKE_EXPORT DWORD WINAPI CeGetLastError() {
    Record(L"CeGetLastError");
    return 87;
}

FAKE_EXPORT BOOL WINAPI CeCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
    Record(L"CeCreateDirectory(" + Str(path) + L"," + Ptr(security) + L")");
    return TRUE;
}

FAKE_EXPORT HANDLE WINAPI CeCreateFile(LPCWSTR path, DWORD access, DWORD shareMode,
                                       LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                       DWORD attributes, HANDLE templateFile) {
    Record(L"CeCreateFile(" + Str(path) + L"," + Hex(access) + L"," + Hex(shareMode) + L"," +
           Ptr(security) + L"," + Hex(disposition) + L"," + Hex(attributes) + L"," +
           Ptr(templateFile) + L")");
    return State().entries.empty() ? INVALID_HANDLE_VALUE : FakeFile;
}

FAKE_EXPORT BOOL WINAPI CeWriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite,
                                    LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    Record(L"CeWriteFile(" + Ptr(file) + L"," + (buffer ? L"data" : L"null") + L"," +
           std::to_wstring(bytesToWrite) + L"," + Ptr(overlapped) + L")");
    if (bytesWritten)
        *bytesWritten = bytesToWrite;
    return TRUE;
}

FAKE_EXPORT BOOL WINAPI CeCloseHandle(HANDLE handle) {
    Record(L"CeCloseHandle(" + Ptr(handle) + L")");
    return TRUE;
}

FAKE_EXPORT DWORD WINAPI CeGetFileSize(HANDLE file, LPDWORD sizeHigh) {
    Record(L"CeGetFileSize(" + Ptr(file) + L"," +
           (sizeHigh ? L"high=" + Hex(*sizeHigh) : std::wstring(L"null")) + L")");
    if (sizeHigh)
        *sizeHigh = State().sizeHigh;
    return State().sizeLow;
}

static BOOL NextEntry(CE_FIND_DATA* data) {
    Script& s = State();
    if (s.nextEntry >= s.entries.size())
        return FALSE;
    std::memset(data, 0, sizeof(*data));
    wcsncpy(data->cFileName, s.entries[s.nextEntry++].c_str(), MAX_PATH - 1);
    return TRUE;
}

FAKE_EXPORT HANDLE WINAPI CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* data) {
    Record(L"CeFindFirstFile(" + Str(pattern) + L")");
    State().nextEntry = 0;
    return NextEntry(data) ? FakeFind : INVALID_HANDLE_VALUE;
}

FAKE_EXPORT BOOL WINAPI CeFindNextFile(HANDLE find, CE_FIND_DATA* data) {
    Record(L"CeFindNextFile(" + Ptr(find) + L")");
    return NextEntry(data);
}

#ifndef FAKE_RAPI_WITHOUT_CeFindClose
FAKE_EXPORT BOOL WINAPI CeFindClose(HANDLE find) {
    Record(L"CeFindClose(" + Ptr(find) + L")");
    return TRUE;
}
#endif

FAKE_EXPORT BOOL WINAPI CeSetFileAttributes(LPCWSTR path, DWORD attributes) {
    Record(L"CeSetFileAttributes(" + Str(path) + L"," + Hex(attributes) + L")");
    return TRUE;
}

FAKE_EXPORT BOOL WINAPI CeDeleteFile(LPCWSTR path) {
    Record(L"CeDeleteFile(" + Str(path) + L")");
    return State().deleteResult;
}

FAKE_EXPORT HRESULT WINAPI CeRapiInvoke(LPCWSTR dll, LPCWSTR function, DWORD inputSize, BYTE* input,
                                        DWORD* outputSize, BYTE** output, IRAPIStream** stream,
                                        DWORD reserved) {
    Record(L"CeRapiInvoke(" + Str(dll) + L"," + Str(function) + L"," + std::to_wstring(inputSize) +
           L",outSize=" + (outputSize ? std::to_wstring(*outputSize) : L"null") + L",out=" +
           (output ? Ptr(*output) : L"null") + L"," + Ptr(stream) + L"," +
           std::to_wstring(reserved) + L")");
    Script& s = State();
    s.lastInput.assign(input, input + (input ? inputSize : 0));
    // The Remote API releases the caller's input buffer.
    LocalFree(input);
    s.lastOutput = nullptr;
    if (s.invokeGivesOutput && output && outputSize) {
        s.lastOutput = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, s.reply.size() + 1));
        std::memcpy(s.lastOutput, s.reply.data(), s.reply.size());
        *output = s.lastOutput;
        *outputSize = static_cast<DWORD>(s.reply.size());
    }
    return s.invokeResult;
}

// Bound by the system but never called by it.
FAKE_EXPORT DWORD WINAPI CeGetFileAttributes(LPCWSTR) {
    Record(L"CeGetFileAttributes");
    return INVALID_FILE_ATTRIBUTES;
}
FAKE_EXPORT BOOL WINAPI CeGetStoreInformation(STORE_INFORMATION*) {
    Record(L"CeGetStoreInformation");
    return FALSE;
}
FAKE_EXPORT BOOL WINAPI CeMoveFile(LPCWSTR, LPCWSTR) {
    Record(L"CeMoveFile");
    return FALSE;
}
FAKE_EXPORT BOOL WINAPI CeReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    Record(L"CeReadFile");
    return FALSE;
}
FAKE_EXPORT BOOL WINAPI CeRemoveDirectory(LPCWSTR) {
    Record(L"CeRemoveDirectory");
    return FALSE;
}
FAKE_EXPORT BOOL WINAPI CeFindAllFiles(LPCWSTR, DWORD, LPDWORD, CE_FIND_DATA**) {
    Record(L"CeFindAllFiles");
    return FALSE;
}
FAKE_EXPORT HRESULT WINAPI CeRapiFreeBuffer(LPVOID) {
    Record(L"CeRapiFreeBuffer");
    return E_FAIL;
}
FAKE_EXPORT BOOL WINAPI CeGetVersionEx(CEOSVERSIONINFO*) {
    Record(L"CeGetVersionEx");
    return FALSE;
}
#ifndef FAKE_RAPI_WITHOUT_CeCreateProcess
FAKE_EXPORT BOOL WINAPI CeCreateProcess(LPCWSTR, LPCWSTR, LPSECURITY_ATTRIBUTES,
                                        LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPWSTR,
                                        LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
    Record(L"CeCreateProcess");
    return FALSE;
}
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_DETACH)
        return TRUE;
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"FAKE_RAPI_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return TRUE;
    UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (file) {
        DWORD written = 0;
        const std::wstring& log = Log();
        WriteFile(file.get(), log.data(), static_cast<DWORD>(log.size() * sizeof(wchar_t)),
                  &written, nullptr);
    }
    return TRUE;
}
