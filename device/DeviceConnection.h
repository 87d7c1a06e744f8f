#pragma once
// The one process-wide connection to the device: the Remote API entry points
// bound by name from rapi.dll, and whether a connection is open.
#include "device/RapiTypes.h"

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
    // name and returns its result unchanged.
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
    // Implementation: the `connected` flag and the 23 entry-point slots, in
    // the order CeRapiUninit, CeCloseHandle, CeGetLastError, CeWriteFile,
    // CeCreateFile, CeSetFileAttributes, CeGetFileAttributes,
    // CeGetStoreInformation, CeRapiInitEx, CeMoveFile, CeDeleteFile,
    // CeFindFirstFile, CeFindNextFile, CeReadFile, CeGetFileSize,
    // CeCreateDirectory, CeRemoveDirectory, CeFindClose, CeRapiInvoke,
    // CeFindAllFiles, CeRapiFreeBuffer, CeGetVersionEx, CeCreateProcess.
};
