#include "device/DeviceFileOps.h"

#include "device/DeviceConnection.h"
#include "device/DeviceHandles.h"
#include "device/DeviceTrace.h"
#include "device/FreeSpaceReply.h"
#include "framework/UniqueResource.h"

#include <cstring>
#include <cwchar>

namespace {

// The request is always 255 UTF-16 units: the folder path, then zero units.
constexpr size_t FreeSpaceRequestUnits = 255;

} // namespace

int64_t DeviceFileOps::GetFreeSpace(const std::wstring& folder) {
    // The path and its ending zero unit must fit the request.
    if (folder.size() >= FreeSpaceRequestUnits)
        return 0;
    // The Remote API takes the input buffer over and releases it with
    // LocalFree, so it comes from LocalAlloc and is not ours after the call.
    constexpr DWORD requestBytes = FreeSpaceRequestUnits * sizeof(WCHAR);
    UniqueLocal request(::LocalAlloc(LPTR, requestBytes));
    if (!request)
        return 0;
    std::memcpy(request.get(), folder.data(), folder.size() * sizeof(WCHAR));

    DWORD outputSize = 0;
    BYTE* output = nullptr;
    HRESULT result = DeviceConnection::Instance().CeRapiInvoke(
        helperPath.c_str(), L"InvkFreeDiskSpace", requestBytes,
        static_cast<BYTE*>(request.release()), &outputSize, &output, nullptr, 0);
    if (result == E_FAIL) {
        TraceDeviceError(L"InvkFreeDiskSpace", folder);
        return 0;
    }
    if (!output)
        return 0;
    UniqueLocal reply(output);
    return ParseFreeSpaceReply(output, outputSize);
}

uint64_t DeviceFileOps::DeviceFileSize(const std::wstring& path) {
    DeviceConnection& device = DeviceConnection::Instance();
    CE_FIND_DATA findData;
    UniqueDeviceFind find(device.CeFindFirstFile(path.c_str(), &findData));
    if (!find)
        return 0;
    // Only the existence counts: the search is closed before the file opens.
    find.reset();

    UniqueDeviceFile file(device.CeCreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    DWORD high = 0;
    DWORD low = device.CeGetFileSize(file.get(), &high);
    return (static_cast<uint64_t>(high) << 32) + low;
}

bool DeviceFileOps::DeleteMatching(const std::wstring& pattern) {
    DeviceConnection& device = DeviceConnection::Instance();
    CE_FIND_DATA findData;
    UniqueDeviceFind find(device.CeFindFirstFile(pattern.c_str(), &findData));
    if (!find)
        return false;

    size_t lastBackslash = pattern.rfind(L'\\');
    std::wstring folder =
        lastBackslash == std::wstring::npos ? std::wstring() : pattern.substr(0, lastBackslash + 1);
    bool deleted = false;
    do {
        // The name is read no further than the record's own length.
        std::wstring path =
            folder + std::wstring(findData.cFileName, wcsnlen(findData.cFileName, MAX_PATH));
        // Read-only, hidden and system files can be deleted once normal.
        device.CeSetFileAttributes(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (device.CeDeleteFile(path.c_str()))
            deleted = true;
    } while (device.CeFindNextFile(find.get(), &findData));
    return deleted;
}
