// insthelp.dll: the device-side helper that answers the PC's free-space query.
// It runs inside the device (devicesim loads it for CeRapiInvoke) and asks the
// device's OS for the free bytes of the storage that holds a folder.
#include <windows.h>

#include <cwchar>

namespace {

constexpr DWORD RequestBytes = 510;
constexpr DWORD RequestUnits = RequestBytes / sizeof(WCHAR);

using SimFreeSpaceFn = BOOL(WINAPI*)(LPCWSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);

// The emulated device offers its storage's free space from its executable,
// as a device offers it from its OS; elsewhere the PC's own call serves.
bool FreeBytesOf(const wchar_t* folder, ULARGE_INTEGER& freeBytes) {
    auto device = reinterpret_cast<SimFreeSpaceFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(nullptr), "SimGetDiskFreeSpaceEx")));
    if (device != nullptr)
        return device(folder, &freeBytes, nullptr, nullptr) != FALSE;
    DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return GetDiskFreeSpaceExW(folder, &freeBytes, nullptr, nullptr) != FALSE;
}

} // namespace

// Block-mode Remote API export. Request: 510 bytes, the folder as UTF-16 with
// a zero unit within the first 255 units. Reply: the free bytes as UTF-16
// decimal text with a terminating zero, in a LocalAlloc'd block that the
// caller frees. The input block stays the caller's.
extern "C" HRESULT WINAPI InvkFreeDiskSpace(DWORD inputSize, BYTE* input, DWORD* outputSize,
                                            BYTE** output, void* /*stream*/) {
    if (outputSize != nullptr)
        *outputSize = 0;
    if (output != nullptr)
        *output = nullptr;
    if (inputSize != RequestBytes || input == nullptr || outputSize == nullptr || output == nullptr)
        return E_FAIL;
    wchar_t folder[RequestUnits];
    memcpy(folder, input, RequestBytes);
    if (wmemchr(folder, L'\0', RequestUnits) == nullptr || folder[0] == L'\0')
        return E_FAIL;
    ULARGE_INTEGER freeBytes;
    if (!FreeBytesOf(folder, freeBytes))
        return E_FAIL;
    wchar_t text[32];
    int units = swprintf(text, 32, L"%llu", static_cast<unsigned long long>(freeBytes.QuadPart));
    if (units <= 0)
        return E_FAIL;
    DWORD bytes = static_cast<DWORD>(units + 1) * sizeof(wchar_t);
    auto* reply = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, bytes));
    if (reply == nullptr)
        return E_OUTOFMEMORY;
    memcpy(reply, text, bytes);
    *output = reply;
    *outputSize = bytes;
    return S_OK;
}
