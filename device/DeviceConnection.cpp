#include "device/DeviceConnection.h"

#include "device/RapiLibrary.h"

namespace {

constexpr DWORD InitWaitMs = 4000;

// GetProcAddress hands every entry point out as FARPROC; the detour through
// the generic function pointer type states that the cast is deliberate.
template <typename Fn> Fn EntryPointCast(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

} // namespace

DeviceConnection& DeviceConnection::Instance() {
    static DeviceConnection instance;
    return instance;
}

DeviceConnection::DeviceConnection() {
    connected = false;
}

DeviceConnection::~DeviceConnection() {
    if (connected)
        Disconnect();
}

bool DeviceConnection::Connect() {
    if (connected)
        return true;

    // Loaded again on every attempt and never unloaded: the module handle is
    // not kept. Only the system's own library is loaded, by its full path.
    const std::wstring libraryPath = RapiLibraryPath();
    if (libraryPath.empty())
        return false;
    HMODULE library = LoadLibraryW(libraryPath.c_str());
    if (!library)
        return false;

    struct EntryPoint {
        const char* name;
        int bindOrder;
        bool called;
        void (*bind)(DeviceConnection&, FARPROC);
    };
#define PELKO_RAPI_BINDING(name, bindOrder, called)                                                \
    {#name, bindOrder, called,                                                                     \
     [](DeviceConnection& c, FARPROC proc) { c.name##Slot = EntryPointCast<PFN_##name>(proc); }},
    static const EntryPoint entryPoints[] = {PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_BINDING)};
#undef PELKO_RAPI_BINDING
    constexpr int entryPointCount = sizeof(entryPoints) / sizeof(entryPoints[0]);
    static_assert(entryPointCount == 23, "23 Remote API entry points");

    // A library that lacks an entry point the system calls is not the Remote
    // API: nothing in it is called, not even CeRapiInitEx, and its slots are
    // emptied again so that no operation reaches into it.
    bool complete = true;
    for (int order = 1; order <= entryPointCount; ++order) {
        for (const EntryPoint& entry : entryPoints) {
            if (entry.bindOrder != order)
                continue;
            FARPROC proc = GetProcAddress(library, entry.name);
            entry.bind(*this, proc);
            if (entry.called && !proc)
                complete = false;
        }
    }
    if (!complete) {
        for (const EntryPoint& entry : entryPoints)
            entry.bind(*this, nullptr);
        return false;
    }

    RAPIINIT init = {sizeof(RAPIINIT), nullptr, 0};
    if (SUCCEEDED(CeRapiInitExSlot(&init)) &&
        WaitForSingleObject(init.heRapiInit, InitWaitMs) == WAIT_OBJECT_0 &&
        SUCCEEDED(init.hrRapiInit)) {
        connected = true;
        return true;
    }
    CeRapiUninitSlot();
    return false;
}

bool DeviceConnection::Disconnect() {
    if (!connected)
        return false;
    // E_FAIL leaves the connection open, so the exit-time destructor tries
    // once more; any other result counts as closed.
    if (CeRapiUninitSlot() == E_FAIL)
        return false;
    connected = false;
    return true;
}

DWORD DeviceConnection::CeGetLastError() {
    return CeGetLastErrorSlot ? CeGetLastErrorSlot() : ERROR_NOT_CONNECTED;
}

BOOL DeviceConnection::CeCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
    return CeCreateDirectorySlot ? CeCreateDirectorySlot(path, security) : FALSE;
}

HANDLE DeviceConnection::CeCreateFile(LPCWSTR path, DWORD access, DWORD shareMode,
                                      LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                      DWORD attributes, HANDLE templateFile) {
    if (!CeCreateFileSlot)
        return INVALID_HANDLE_VALUE;
    return CeCreateFileSlot(path, access, shareMode, security, disposition, attributes,
                            templateFile);
}

BOOL DeviceConnection::CeWriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite,
                                   LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    if (!CeWriteFileSlot)
        return FALSE;
    return CeWriteFileSlot(file, buffer, bytesToWrite, bytesWritten, overlapped);
}

BOOL DeviceConnection::CeCloseHandle(HANDLE handle) {
    return CeCloseHandleSlot ? CeCloseHandleSlot(handle) : FALSE;
}

DWORD DeviceConnection::CeGetFileSize(HANDLE file, LPDWORD sizeHigh) {
    return CeGetFileSizeSlot ? CeGetFileSizeSlot(file, sizeHigh) : INVALID_FILE_SIZE;
}

HANDLE DeviceConnection::CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* findData) {
    return CeFindFirstFileSlot ? CeFindFirstFileSlot(pattern, findData) : INVALID_HANDLE_VALUE;
}

BOOL DeviceConnection::CeFindNextFile(HANDLE find, CE_FIND_DATA* findData) {
    return CeFindNextFileSlot ? CeFindNextFileSlot(find, findData) : FALSE;
}

BOOL DeviceConnection::CeFindClose(HANDLE find) {
    return CeFindCloseSlot ? CeFindCloseSlot(find) : FALSE;
}

BOOL DeviceConnection::CeSetFileAttributes(LPCWSTR path, DWORD attributes) {
    return CeSetFileAttributesSlot ? CeSetFileAttributesSlot(path, attributes) : FALSE;
}

BOOL DeviceConnection::CeDeleteFile(LPCWSTR path) {
    return CeDeleteFileSlot ? CeDeleteFileSlot(path) : FALSE;
}

HRESULT DeviceConnection::CeRapiInvoke(LPCWSTR dll, LPCWSTR function, DWORD inputSize, BYTE* input,
                                       DWORD* outputSize, BYTE** output, IRAPIStream** stream,
                                       DWORD reserved) {
    if (!CeRapiInvokeSlot) {
        ::LocalFree(input); // handed over by the caller, as to the Remote API
        return E_FAIL;
    }
    return CeRapiInvokeSlot(dll, function, inputSize, input, outputSize, output, stream, reserved);
}
