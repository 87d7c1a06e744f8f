#include "emulator/device/DeviceStorage.h"

#include "framework/UniqueResource.h"

namespace {

uint64_t FolderBytes(const DeviceStorage& storage, const std::wstring& folder) {
    uint64_t total = 0;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return 0;
    do {
        if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total +=
                storage.FolderAllocation() + FolderBytes(storage, folder + L"\\" + data.cFileName);
        else
            total += storage.FileAllocation(static_cast<uint64_t>(data.nFileSizeHigh) << 32 |
                                            data.nFileSizeLow);
    } while (FindNextFileW(find.get(), &data));
    return total;
}

} // namespace

uint64_t DeviceStorage::FileAllocation(uint64_t size) const {
    if (cluster == 0 || size == 0)
        return size;
    return ((size - 1) / cluster + 1) * cluster;
}

uint64_t DeviceStorage::UsedBytes() const {
    return FolderBytes(*this, root);
}

bool DeviceStorage::Space(uint64_t& freeBytes, uint64_t& totalBytes) const {
    if (hasCapacity) {
        uint64_t used = UsedBytes();
        freeBytes = used >= capacity ? 0 : capacity - used;
        totalBytes = capacity;
        return true;
    }
    ULARGE_INTEGER avail, total, totalFree;
    if (!GetDiskFreeSpaceExW((root + L"\\").c_str(), &avail, &total, &totalFree))
        return false;
    freeBytes = avail.QuadPart;
    totalBytes = total.QuadPart;
    return true;
}

DWORD DeviceStorage::Map(const std::wstring& devicePath, bool pattern, MappedPath& out) const {
    MappedPath mapped;
    switch (MapDevicePath(root, devicePath, pattern, mapped)) {
    case PathVerdict::Accepted:
        break;
    case PathVerdict::InvalidName:
        return ERROR_INVALID_NAME;
    case PathVerdict::AccessDenied:
        return ERROR_ACCESS_DENIED;
    case PathVerdict::TooLong:
        return ERROR_FILENAME_EXCED_RANGE;
    }
    // The path checks already keep the path inside; the PC's own reading of
    // the full path guards against anything they missed. A pattern is checked
    // by the folder it searches.
    const size_t lastComponent = mapped.pcPath.rfind(L'\\');
    const bool wild =
        !mapped.isRoot && mapped.pcPath.find_first_of(L"*?", lastComponent) != std::wstring::npos;
    if (!wild) {
        wchar_t full[4 * MAX_PATH];
        DWORD n = GetFullPathNameW(mapped.pcPath.c_str(), ARRAYSIZE(full), full, nullptr);
        if (n == 0 || n >= ARRAYSIZE(full))
            return ERROR_FILENAME_EXCED_RANGE;
        std::wstring f(full, n);
        if (_wcsicmp(f.c_str(), root.c_str()) != 0 &&
            (f.size() <= root.size() || _wcsnicmp(f.c_str(), root.c_str(), root.size()) != 0 ||
             f[root.size()] != L'\\'))
            return ERROR_ACCESS_DENIED;
    }
    out = mapped;
    return 0;
}

DeviceStorage& TheStorage() {
    static DeviceStorage storage;
    return storage;
}

extern "C" BOOL WINAPI SimGetDiskFreeSpaceEx(LPCWSTR devicePath, ULARGE_INTEGER* freeBytesAvailable,
                                             ULARGE_INTEGER* totalBytes,
                                             ULARGE_INTEGER* totalFreeBytes) {
    if (devicePath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MappedPath mapped;
    DWORD error = TheStorage().Map(devicePath, false, mapped);
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    DWORD attributes = GetFileAttributesW(mapped.pcPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    uint64_t freeBytes = 0, total = 0;
    if (!TheStorage().Space(freeBytes, total))
        return FALSE;
    if (freeBytesAvailable)
        freeBytesAvailable->QuadPart = freeBytes;
    if (totalBytes)
        totalBytes->QuadPart = total;
    if (totalFreeBytes)
        totalFreeBytes->QuadPart = freeBytes;
    return TRUE;
}
