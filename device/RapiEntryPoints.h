#pragma once
// Every entry point of the Remote API, listed once. What names them as a list
// elsewhere is made from this table: the function types, DeviceConnection's
// slots, binding and forwarding operations, our rapi.dll's prototype checks,
// the tests' binding of it, and the check of its rapi.def.
//
// X(name, result, failure, bindOrder, use, parameters, arguments), in slot
// (field) order:
//   result, parameters  the documented prototype (WINAPI, C linkage)
//   failure             what DeviceConnection's operation of the same name
//                       returns while the entry point is not bound
//   bindOrder           the position in which Connect binds it (CeCloseHandle
//                       has the second slot but is bound ninth); 0: not bound
//   use                 Connection: called by Connect or Disconnect;
//                       Forwarded: an operation of the same name calls it;
//                       OwnForwarder: such an operation, written out by hand;
//                       Unused: bound, never called;
//                       NotBound: offered by the library, never bound
//   arguments           the parameters' names, to pass them on
// clang-format off
#define PELKO_RAPI_ENTRY_POINTS(X) \
    /* name                  result   failure                  bind use */ \
    X(CeRapiUninit,          HRESULT, E_FAIL,                  1,   Connection, \
      (), \
      ()) \
    X(CeCloseHandle,         BOOL,    FALSE,                   9,   Forwarded, \
      (HANDLE handle), \
      (handle)) \
    X(CeGetLastError,        DWORD,   ERROR_NOT_CONNECTED,     2,   Forwarded, \
      (), \
      ()) \
    X(CeWriteFile,           BOOL,    FALSE,                   3,   Forwarded, \
      (HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, \
       LPOVERLAPPED overlapped), \
      (file, buffer, bytesToWrite, bytesWritten, overlapped)) \
    X(CeCreateFile,          HANDLE,  INVALID_HANDLE_VALUE,    4,   Forwarded, \
      (LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, \
       DWORD disposition, DWORD attributes, HANDLE templateFile), \
      (path, access, shareMode, security, disposition, attributes, templateFile)) \
    X(CeSetFileAttributes,   BOOL,    FALSE,                   5,   Forwarded, \
      (LPCWSTR path, DWORD attributes), \
      (path, attributes)) \
    X(CeGetFileAttributes,   DWORD,   INVALID_FILE_ATTRIBUTES, 6,   Unused, \
      (LPCWSTR path), \
      (path)) \
    X(CeGetStoreInformation, BOOL,    FALSE,                   7,   Unused, \
      (STORE_INFORMATION* store), \
      (store)) \
    X(CeRapiInitEx,          HRESULT, E_FAIL,                  8,   Connection, \
      (RAPIINIT* init), \
      (init)) \
    X(CeMoveFile,            BOOL,    FALSE,                   10,  Unused, \
      (LPCWSTR from, LPCWSTR to), \
      (from, to)) \
    X(CeDeleteFile,          BOOL,    FALSE,                   11,  Forwarded, \
      (LPCWSTR path), \
      (path)) \
    X(CeFindFirstFile,       HANDLE,  INVALID_HANDLE_VALUE,    12,  Forwarded, \
      (LPCWSTR pattern, CE_FIND_DATA* findData), \
      (pattern, findData)) \
    X(CeFindNextFile,        BOOL,    FALSE,                   13,  Forwarded, \
      (HANDLE find, CE_FIND_DATA* findData), \
      (find, findData)) \
    X(CeReadFile,            BOOL,    FALSE,                   14,  Unused, \
      (HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped), \
      (file, buffer, bytesToRead, bytesRead, overlapped)) \
    X(CeGetFileSize,         DWORD,   INVALID_FILE_SIZE,       15,  Forwarded, \
      (HANDLE file, LPDWORD sizeHigh), \
      (file, sizeHigh)) \
    X(CeCreateDirectory,     BOOL,    FALSE,                   16,  Forwarded, \
      (LPCWSTR path, LPSECURITY_ATTRIBUTES security), \
      (path, security)) \
    X(CeRemoveDirectory,     BOOL,    FALSE,                   17,  Unused, \
      (LPCWSTR path), \
      (path)) \
    X(CeFindClose,           BOOL,    FALSE,                   18,  Forwarded, \
      (HANDLE find), \
      (find)) \
    X(CeRapiInvoke,          HRESULT, E_FAIL,                  19,  OwnForwarder, \
      (LPCWSTR dll, LPCWSTR function, DWORD inputSize, BYTE* input, DWORD* outputSize, \
       BYTE** output, IRAPIStream** stream, DWORD reserved), \
      (dll, function, inputSize, input, outputSize, output, stream, reserved)) \
    X(CeFindAllFiles,        BOOL,    FALSE,                   20,  Unused, \
      (LPCWSTR pattern, DWORD flags, LPDWORD count, CE_FIND_DATA** found), \
      (pattern, flags, count, found)) \
    X(CeRapiFreeBuffer,      HRESULT, E_FAIL,                  21,  Unused, \
      (LPVOID buffer), \
      (buffer)) \
    X(CeGetVersionEx,        BOOL,    FALSE,                   22,  Unused, \
      (CEOSVERSIONINFO* version), \
      (version)) \
    X(CeCreateProcess,       BOOL,    FALSE,                   23,  Unused, \
      (LPCWSTR application, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity, \
       LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags, LPVOID environment, \
       LPWSTR folder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION process), \
      (application, commandLine, processSecurity, threadSecurity, inheritHandles, flags, \
       environment, folder, startup, process)) \
    X(CeRapiInit,            HRESULT, E_FAIL,                  0,   NotBound, \
      (), \
      ()) \
    X(CeRapiGetError,        HRESULT, E_FAIL,                  0,   NotBound, \
      (), \
      ())
// clang-format on

// PELKO_RAPI_IF_<kind>_<use>(...): its arguments for the uses of that kind,
// nothing for the others.
#define PELKO_RAPI_IF_BOUND_Connection(...) __VA_ARGS__
#define PELKO_RAPI_IF_BOUND_Forwarded(...) __VA_ARGS__
#define PELKO_RAPI_IF_BOUND_OwnForwarder(...) __VA_ARGS__
#define PELKO_RAPI_IF_BOUND_Unused(...) __VA_ARGS__
#define PELKO_RAPI_IF_BOUND_NotBound(...)
#define PELKO_RAPI_IF_OPERATION_Connection(...)
#define PELKO_RAPI_IF_OPERATION_Forwarded(...) __VA_ARGS__
#define PELKO_RAPI_IF_OPERATION_OwnForwarder(...) __VA_ARGS__
#define PELKO_RAPI_IF_OPERATION_Unused(...)
#define PELKO_RAPI_IF_OPERATION_NotBound(...)
#define PELKO_RAPI_IF_FORWARDED_Connection(...)
#define PELKO_RAPI_IF_FORWARDED_Forwarded(...) __VA_ARGS__
#define PELKO_RAPI_IF_FORWARDED_OwnForwarder(...)
#define PELKO_RAPI_IF_FORWARDED_Unused(...)
#define PELKO_RAPI_IF_FORWARDED_NotBound(...)
#define PELKO_RAPI_CALLED_Connection true
#define PELKO_RAPI_CALLED_Forwarded true
#define PELKO_RAPI_CALLED_OwnForwarder true
#define PELKO_RAPI_CALLED_Unused false
#define PELKO_RAPI_CALLED_NotBound false
