#pragma once
// The one process-wide connection to the device: the Remote API entry points
// bound by name from rapi.dll, and whether a connection is open.
#include "device/RapiTypes.h"

// Every Remote API entry point, listed once: in slot (field) order, with the
// position in which Connect binds it and whether the system ever calls it.
// CeCloseHandle has the second slot but is bound ninth, after CeRapiInitEx.
// clang-format off
#define PELKO_RAPI_ENTRY_POINTS(X)         \
    X(CeRapiUninit,           1, true)     \
    X(CeCloseHandle,          9, true)     \
    X(CeGetLastError,         2, true)     \
    X(CeWriteFile,            3, true)     \
    X(CeCreateFile,           4, true)     \
    X(CeSetFileAttributes,    5, true)     \
    X(CeGetFileAttributes,    6, false)    \
    X(CeGetStoreInformation,  7, false)    \
    X(CeRapiInitEx,           8, true)     \
    X(CeMoveFile,            10, false)    \
    X(CeDeleteFile,          11, true)     \
    X(CeFindFirstFile,       12, true)     \
    X(CeFindNextFile,        13, true)     \
    X(CeReadFile,            14, false)    \
    X(CeGetFileSize,         15, true)     \
    X(CeCreateDirectory,     16, true)     \
    X(CeRemoveDirectory,     17, false)    \
    X(CeFindClose,           18, true)     \
    X(CeRapiInvoke,          19, true)     \
    X(CeFindAllFiles,        20, false)    \
    X(CeRapiFreeBuffer,      21, false)    \
    X(CeGetVersionEx,        22, false)    \
    X(CeCreateProcess,       23, false)
// clang-format on

class DeviceConnection {
public:
    static DeviceConnection& Instance();

    // True when a connection is open on return. Waits up to 4000 ms for the
    // device to answer.
    bool Connect();
    // True when an open connection was closed.
    bool Disconnect();

    DWORD CeGetLastError();

    // Forwarding operations: each calls the bound entry point of the same
    // name and returns its result unchanged. An unbound entry point is never
    // called: the operation then returns its failure value (FALSE,
    // INVALID_HANDLE_VALUE, INVALID_FILE_SIZE, E_FAIL; ERROR_NOT_CONNECTED
    // from CeGetLastError).
    BOOL CeCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
    HANDLE CeCreateFile(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                        DWORD disposition, DWORD attributes, HANDLE templateFile);
    BOOL CeWriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                     LPOVERLAPPED overlapped);
    BOOL CeCloseHandle(HANDLE handle);
    DWORD CeGetFileSize(HANDLE file, LPDWORD sizeHigh);
    HANDLE CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* findData);
    BOOL CeFindNextFile(HANDLE find, CE_FIND_DATA* findData);
    BOOL CeFindClose(HANDLE find);
    BOOL CeSetFileAttributes(LPCWSTR path, DWORD attributes);
    BOOL CeDeleteFile(LPCWSTR path);
    HRESULT CeRapiInvoke(LPCWSTR dll, LPCWSTR function, DWORD inputSize, BYTE* input,
                         DWORD* outputSize, BYTE** output, IRAPIStream** stream, DWORD reserved);

    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

private:
    DeviceConnection();
    ~DeviceConnection();

    bool connected;
    // One slot per entry point, in field order; null while unbound. They are
    // not initialised by the constructor: the one instance lives in
    // zero-initialised static storage.
#define PELKO_RAPI_SLOT(name, bindOrder, called) PFN_##name name##Slot;
    PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_SLOT)
#undef PELKO_RAPI_SLOT
};
