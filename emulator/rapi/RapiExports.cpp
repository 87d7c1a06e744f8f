// The Remote API entry points, carried over the link to the emulated device.
#include <windows.h>

#include <cstring>
#include <type_traits>

#include "device/RapiTypes.h"
#include "emulator/rapi/DeviceAnswer.h"
#include "emulator/rapi/RapiLink.h"
#include "framework/UniqueResource.h"

using link::Op;

namespace {

// One request: its operation, then the arguments that the caller adds.
class Call {
public:
    explicit Call(Op op) { request_.U32(static_cast<uint32_t>(op)); }
    link::Writer& Args() { return request_; }
    bool Run() { return RapiLink::Instance().Exchange(request_, result_, out_); }
    // Run, and the device reported success.
    bool Succeeded() { return Run() && result_ != 0; }
    uint32_t Result() const { return result_; }
    // The answer's out data, read by the decoder of the operation.
    const std::vector<uint8_t>& Out() const { return out_; }

private:
    link::Writer request_;
    uint32_t result_ = 0;
    std::vector<uint8_t> out_;
};

// Fails the call on the PC side, with `error` for CeGetLastError.
bool Refuse(DWORD error) {
    RapiLink::Instance().SetLastError(error);
    return false;
}

// A path the link can carry: present and at most MAX_PATH - 1 units.
bool PathArgument(LPCWSTR path) {
    if (path == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER);
    if (wcslen(path) > link::MaxPathUnits)
        return Refuse(ERROR_FILENAME_EXCED_RANGE);
    return true;
}

// Device handles travel as 32-bit numbers; 0 and all-ones are never issued.
bool HandleArgument(HANDLE h, uint32_t& id) {
    auto value = reinterpret_cast<uintptr_t>(h);
    if (h == INVALID_HANDLE_VALUE || value == 0 || value >= 0xFFFFFFFFu)
        return Refuse(ERROR_INVALID_HANDLE);
    id = static_cast<uint32_t>(value);
    return true;
}

// Where the caller wants the answer: must be present.
bool OutArgument(const void* p) {
    if (p == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER);
    return true;
}

// A read or write: a device handle, a buffer unless nothing is moved, no
// overlapped I/O. The count moved is zeroed first, so it is 0 on a refusal.
bool TransferArguments(HANDLE h, const void* buffer, DWORD count, LPDWORD moved,
                       LPOVERLAPPED overlapped, uint32_t& id) {
    if (moved != nullptr)
        *moved = 0;
    if (!HandleArgument(h, id))
        return false;
    if (overlapped != nullptr || (buffer == nullptr && count != 0))
        return Refuse(ERROR_INVALID_PARAMETER);
    return true;
}

HANDLE ToHandle(uint32_t id) {
    return id == 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(static_cast<uintptr_t>(id));
}

FILETIME ToFileTime(uint64_t v) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(v);
    t.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return t;
}

void FillFindData(const link::FindRecord& r, CE_FIND_DATA* data) {
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = r.attributes;
    data->ftCreationTime = ToFileTime(r.creationTime);
    data->ftLastAccessTime = ToFileTime(r.lastAccessTime);
    data->ftLastWriteTime = ToFileTime(r.lastWriteTime);
    data->nFileSizeHigh = r.sizeHigh;
    data->nFileSizeLow = r.sizeLow;
    data->dwOID = r.oid;
    size_t n = r.name.size() < MAX_PATH - 1 ? r.name.size() : MAX_PATH - 1;
    memcpy(data->cFileName, r.name.data(), n * sizeof(WCHAR));
}

// An answer whose out data does not parse counts as a broken exchange.
bool BadAnswer() {
    return Refuse(ERROR_INVALID_DATA);
}

BOOL PathCall(Op op, LPCWSTR path) {
    if (!PathArgument(path))
        return FALSE;
    Call call(op);
    call.Args().String(path);
    return call.Succeeded();
}

BOOL HandleCall(Op op, HANDLE h) {
    uint32_t id = 0;
    if (!HandleArgument(h, id))
        return FALSE;
    Call call(op);
    call.Args().U32(id);
    return call.Succeeded();
}

// A find that answers one record: false when the device found nothing or the
// answer does not parse.
bool FindOne(Call& call, CE_FIND_DATA* data) {
    if (!call.Succeeded())
        return false;
    link::FindRecord record;
    if (!DecodeFindAnswer(call.Out(), record))
        return BadAnswer();
    FillFindData(record, data);
    return true;
}

} // namespace

extern "C" {

HRESULT WINAPI CeRapiInitEx(RAPIINIT* init) {
    return RapiLink::Instance().InitEx(init);
}

HRESULT WINAPI CeRapiInit() {
    RAPIINIT init{sizeof(RAPIINIT), nullptr, E_PENDING};
    HRESULT hr = RapiLink::Instance().InitEx(&init);
    if (FAILED(hr))
        return hr;
    // The blocking form waits for the device for as long as it takes.
    WaitForSingleObject(init.heRapiInit, INFINITE);
    return init.hrRapiInit;
}

HRESULT WINAPI CeRapiUninit() {
    return RapiLink::Instance().Uninit();
}

DWORD WINAPI CeGetLastError() {
    return RapiLink::Instance().LastError();
}

HRESULT WINAPI CeRapiGetError() {
    return RapiLink::Instance().RapiError();
}

HRESULT WINAPI CeRapiFreeBuffer(LPVOID buffer) {
    if (buffer != nullptr)
        LocalFree(buffer);
    return S_OK;
}

HANDLE WINAPI CeCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                           DWORD disposition, DWORD attributes, HANDLE) {
    if (!PathArgument(path))
        return INVALID_HANDLE_VALUE;
    Call call(Op::CreateFile);
    call.Args().String(path);
    call.Args().U32(access);
    call.Args().U32(share);
    call.Args().U32(disposition);
    call.Args().U32(attributes);
    if (!call.Run())
        return INVALID_HANDLE_VALUE;
    return ToHandle(call.Result());
}

BOOL WINAPI CeCloseHandle(HANDLE h) {
    return HandleCall(Op::CloseHandle, h);
}

BOOL WINAPI CeWriteFile(HANDLE h, LPCVOID buffer, DWORD count, LPDWORD written,
                        LPOVERLAPPED overlapped) {
    uint32_t id = 0;
    if (!TransferArguments(h, buffer, count, written, overlapped, id))
        return FALSE;
    const auto* data = static_cast<const uint8_t*>(buffer);
    DWORD done = 0;
    do {
        DWORD chunk = count - done > link::MaxDataChunk ? link::MaxDataChunk : count - done;
        Call call(Op::WriteFile);
        call.Args().U32(id);
        call.Args().Bytes(data + done, chunk);
        if (!call.Run())
            return FALSE;
        uint32_t n = 0;
        if (!DecodeWriteAnswer(call.Out(), chunk, n))
            return BadAnswer();
        done += n;
        if (written != nullptr)
            *written = done;
        if (call.Result() == 0)
            return FALSE;
        if (n < chunk)
            break;
    } while (done < count);
    return TRUE;
}

BOOL WINAPI CeReadFile(HANDLE h, LPVOID buffer, DWORD count, LPDWORD read,
                       LPOVERLAPPED overlapped) {
    uint32_t id = 0;
    if (!TransferArguments(h, buffer, count, read, overlapped, id))
        return FALSE;
    auto* data = static_cast<uint8_t*>(buffer);
    DWORD done = 0;
    do {
        DWORD chunk = count - done > link::MaxDataChunk ? link::MaxDataChunk : count - done;
        Call call(Op::ReadFile);
        call.Args().U32(id);
        call.Args().U32(chunk);
        if (!call.Run())
            return FALSE;
        const uint8_t* got = nullptr;
        uint32_t n = 0;
        if (!DecodeReadAnswer(call.Out(), chunk, got, n))
            return BadAnswer();
        if (n != 0)
            memcpy(data + done, got, n);
        done += n;
        if (read != nullptr)
            *read = done;
        if (call.Result() == 0)
            return FALSE;
        if (n < chunk)
            break; // end of file
    } while (done < count);
    return TRUE;
}

DWORD WINAPI CeGetFileSize(HANDLE h, LPDWORD high) {
    uint32_t id = 0;
    if (!HandleArgument(h, id))
        return INVALID_FILE_SIZE;
    Call call(Op::GetFileSize);
    call.Args().U32(id);
    if (!call.Run())
        return INVALID_FILE_SIZE;
    uint32_t h32 = 0;
    if (!DecodeFileSizeAnswer(call.Out(), h32)) {
        BadAnswer();
        return INVALID_FILE_SIZE;
    }
    if (high != nullptr)
        *high = h32;
    return call.Result();
}

BOOL WINAPI CeSetFileAttributes(LPCWSTR path, DWORD attributes) {
    if (!PathArgument(path))
        return FALSE;
    Call call(Op::SetFileAttributes);
    call.Args().String(path);
    call.Args().U32(attributes);
    return call.Succeeded();
}

DWORD WINAPI CeGetFileAttributes(LPCWSTR path) {
    if (!PathArgument(path))
        return INVALID_FILE_ATTRIBUTES;
    Call call(Op::GetFileAttributes);
    call.Args().String(path);
    return call.Run() ? call.Result() : INVALID_FILE_ATTRIBUTES;
}

BOOL WINAPI CeDeleteFile(LPCWSTR path) {
    return PathCall(Op::DeleteFile, path);
}

BOOL WINAPI CeCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    return PathCall(Op::CreateDirectory, path);
}

BOOL WINAPI CeRemoveDirectory(LPCWSTR path) {
    return PathCall(Op::RemoveDirectory, path);
}

BOOL WINAPI CeMoveFile(LPCWSTR from, LPCWSTR to) {
    if (!PathArgument(from) || !PathArgument(to))
        return FALSE;
    Call call(Op::MoveFile);
    call.Args().String(from);
    call.Args().String(to);
    return call.Succeeded();
}

HANDLE WINAPI CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* data) {
    if (!PathArgument(pattern) || !OutArgument(data))
        return INVALID_HANDLE_VALUE;
    Call call(Op::FindFirstFile);
    call.Args().String(pattern);
    return FindOne(call, data) ? ToHandle(call.Result()) : INVALID_HANDLE_VALUE;
}

BOOL WINAPI CeFindNextFile(HANDLE h, CE_FIND_DATA* data) {
    uint32_t id = 0;
    if (!HandleArgument(h, id) || !OutArgument(data))
        return FALSE;
    Call call(Op::FindNextFile);
    call.Args().U32(id);
    return FindOne(call, data);
}

BOOL WINAPI CeFindClose(HANDLE h) {
    return HandleCall(Op::FindClose, h);
}

BOOL WINAPI CeFindAllFiles(LPCWSTR pattern, DWORD flags, LPDWORD count, CE_FIND_DATA** found) {
    if (count != nullptr)
        *count = 0;
    if (found != nullptr)
        *found = nullptr;
    if (!PathArgument(pattern) || !OutArgument(count) || !OutArgument(found))
        return FALSE;
    Call call(Op::FindAllFiles);
    call.Args().String(pattern);
    call.Args().U32(flags);
    if (!call.Run())
        return FALSE;
    std::vector<link::FindRecord> records;
    if (!DecodeFindAllAnswer(call.Out(), records))
        return BadAnswer();
    const auto n = static_cast<uint32_t>(records.size());
    if (call.Result() == 0)
        return FALSE;
    if (n != 0) {
        // Released by the caller with CeRapiFreeBuffer.
        auto* block = static_cast<CE_FIND_DATA*>(LocalAlloc(LMEM_FIXED, n * sizeof(CE_FIND_DATA)));
        if (block == nullptr)
            return Refuse(ERROR_NOT_ENOUGH_MEMORY);
        for (uint32_t i = 0; i < n; ++i)
            FillFindData(records[i], &block[i]);
        *found = block;
    }
    *count = n;
    return TRUE;
}

BOOL WINAPI CeGetStoreInformation(STORE_INFORMATION* info) {
    if (!OutArgument(info))
        return FALSE;
    Call call(Op::GetStoreInformation);
    if (!call.Run())
        return FALSE;
    uint64_t total = 0, freeBytes = 0;
    if (!DecodeStoreAnswer(call.Out(), total, freeBytes))
        return BadAnswer();
    if (call.Result() == 0)
        return FALSE;
    info->dwStoreSize = total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(total);
    info->dwFreeSize = freeBytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(freeBytes);
    return TRUE;
}

BOOL WINAPI CeGetVersionEx(CEOSVERSIONINFO* info) {
    if (!OutArgument(info))
        return FALSE;
    Call call(Op::GetVersionEx);
    if (!call.Run())
        return FALSE;
    VersionAnswer version;
    if (!DecodeVersionAnswer(call.Out(), version))
        return BadAnswer();
    if (call.Result() == 0)
        return FALSE;
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = version.platform;
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    memcpy(info->szCSDVersion, version.text.data(), version.text.size() * sizeof(WCHAR));
    return TRUE;
}

BOOL WINAPI CeCreateProcess(LPCWSTR application, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES,
                            LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPWSTR, LPSTARTUPINFOW,
                            LPPROCESS_INFORMATION) {
    if (!PathArgument(application))
        return FALSE;
    std::wstring line = commandLine ? commandLine : L"";
    if (line.size() > link::MaxCommandLineUnits)
        return Refuse(ERROR_INVALID_PARAMETER);
    Call call(Op::CreateProcess);
    call.Args().String(application);
    call.Args().String(line);
    return call.Succeeded();
}

HRESULT WINAPI CeRapiInvoke(LPCWSTR dll, LPCWSTR function, DWORD inputSize, BYTE* input,
                            DWORD* outputSize, BYTE** output, IRAPIStream** stream, DWORD) {
    // The caller's input block comes from LocalAlloc and is the library's to
    // release, whatever the outcome.
    UniqueLocal inputBlock(input);
    if (outputSize != nullptr)
        *outputSize = 0;
    if (output != nullptr)
        *output = nullptr;
    if (stream != nullptr) {
        *stream = nullptr;
        return E_NOTIMPL; // only block mode is carried
    }
    if (dll == nullptr || function == nullptr || wcslen(function) > link::MaxNameUnits ||
        (input == nullptr && inputSize != 0) || inputSize > link::MaxDataChunk)
        return E_INVALIDARG;
    if (!PathArgument(dll))
        return E_INVALIDARG;
    Call call(Op::Invoke);
    call.Args().String(dll);
    call.Args().String(function);
    call.Args().Bytes(input, inputSize);
    if (!call.Run())
        return E_FAIL;
    const uint8_t* data = nullptr;
    uint32_t n = 0;
    if (!DecodeInvokeAnswer(call.Out(), data, n)) {
        BadAnswer();
        return E_FAIL;
    }
    if (n != 0 && output != nullptr) {
        // Released by the caller with LocalFree.
        auto* block = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, n));
        if (block == nullptr)
            return E_OUTOFMEMORY;
        memcpy(block, data, n);
        *output = block;
        if (outputSize != nullptr)
            *outputSize = n;
    }
    return static_cast<HRESULT>(call.Result());
}

} // extern "C"

// The exports keep the documented prototypes.
#define PELKO_RAPI_PROTOTYPE_CHECK(name, result, failure, bindOrder, use, parameters, arguments)   \
    static_assert(std::is_same_v<decltype(&name), PFN_##name>, #name);
PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_PROTOTYPE_CHECK)
#undef PELKO_RAPI_PROTOTYPE_CHECK
