// A stand-in Remote API library for the transfer tests that devicesim cannot
// script: a write that reports fewer bytes than it was given, a stop that
// arrives while a given block is written, and a device that never answers the
// initialisation.
#include "device/RapiTypes.h"

#include <string>

namespace {

struct Script {
    HRESULT initResult = S_OK;
    DWORD shortWriteAt = 0;
    volatile BYTE* stopByte = nullptr;
    DWORD stopAt = 0;
    bool clearStopAtDelete = false;
    DWORD creates = 0;
    DWORD writes = 0;
    LONG openFiles = 0;
    DWORD lastError = 0;
    std::wstring deleted;
};

Script& TheScript() {
    static Script script;
    return script;
}

// Any value that is neither null nor INVALID_HANDLE_VALUE names the one file.
HANDLE const kFileHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5151));

} // namespace

extern "C" {

void WINAPI ScriptedRapiReset(HRESULT initResult, DWORD shortWriteAt) {
    TheScript() = Script{};
    TheScript().initResult = initResult;
    TheScript().shortWriteAt = shortWriteAt;
}

void WINAPI ScriptedRapiStopAt(volatile BYTE* stop, DWORD nthWrite, BOOL clearAtDelete) {
    TheScript().stopByte = stop;
    TheScript().stopAt = nthWrite;
    TheScript().clearStopAtDelete = clearAtDelete != FALSE;
}

LONG WINAPI ScriptedRapiOpenFiles() {
    return TheScript().openFiles;
}

DWORD WINAPI ScriptedRapiCreates() {
    return TheScript().creates;
}

DWORD WINAPI ScriptedRapiWrites() {
    return TheScript().writes;
}

DWORD WINAPI ScriptedRapiDeleted(WCHAR* out, DWORD size) {
    const std::wstring& deleted = TheScript().deleted;
    if (out != nullptr && size > 0) {
        const size_t n = deleted.size() < size - 1 ? deleted.size() : size - 1;
        deleted.copy(out, n);
        out[n] = L'\0';
    }
    return static_cast<DWORD>(deleted.size());
}

HRESULT WINAPI CeRapiInitEx(RAPIINIT* init) {
    static HANDLE answered = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (FAILED(TheScript().initResult))
        return TheScript().initResult;
    init->heRapiInit = answered;
    init->hrRapiInit = S_OK;
    return S_OK;
}

HRESULT WINAPI CeRapiUninit() {
    return S_OK;
}

DWORD WINAPI CeGetLastError() {
    return TheScript().lastError;
}

HANDLE WINAPI CeCreateFile(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    ++TheScript().creates;
    ++TheScript().openFiles;
    return kFileHandle;
}

BOOL WINAPI CeWriteFile(HANDLE file, LPCVOID, DWORD count, LPDWORD written, LPOVERLAPPED) {
    Script& script = TheScript();
    ++script.writes;
    if (script.writes == script.stopAt && script.stopByte != nullptr)
        *script.stopByte = 1;
    if (file != kFileHandle) {
        script.lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    *written = script.writes == script.shortWriteAt ? count / 2 : count;
    if (*written < count)
        script.lastError = ERROR_DISK_FULL;
    return TRUE;
}

BOOL WINAPI CeCloseHandle(HANDLE file) {
    if (file != kFileHandle)
        return FALSE;
    --TheScript().openFiles;
    return TRUE;
}

BOOL WINAPI CeDeleteFile(LPCWSTR path) {
    if (TheScript().clearStopAtDelete && TheScript().stopByte != nullptr)
        *TheScript().stopByte = 0;
    TheScript().deleted += path;
    TheScript().deleted += L'\n';
    return TRUE;
}

// The rest of the entry points the system binds; none is used by a copy.
BOOL WINAPI CeCreateDirectory(LPCWSTR, LPSECURITY_ATTRIBUTES) {
    return FALSE;
}
BOOL WINAPI CeSetFileAttributes(LPCWSTR, DWORD) {
    return FALSE;
}
DWORD WINAPI CeGetFileSize(HANDLE, LPDWORD) {
    return INVALID_FILE_SIZE;
}
HANDLE WINAPI CeFindFirstFile(LPCWSTR, CE_FIND_DATA*) {
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI CeFindNextFile(HANDLE, CE_FIND_DATA*) {
    return FALSE;
}
BOOL WINAPI CeFindClose(HANDLE) {
    return FALSE;
}
HRESULT WINAPI CeRapiInvoke(LPCWSTR, LPCWSTR, DWORD, BYTE*, DWORD*, BYTE**, IRAPIStream**, DWORD) {
    return E_FAIL;
}

} // extern "C"
