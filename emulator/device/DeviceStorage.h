#pragma once
// The device's storage: the folder that holds its file system, its size and
// the free space that device code sees.
#include <windows.h>

#include <cstdint>
#include <string>

#include "emulator/device/DevicePath.h"

struct DeviceStorage {
    std::wstring root; // full PC path, no trailing backslash
    bool hasCapacity = false;
    uint64_t capacity = 0;
    // The allocation unit; 0 counts byte for byte (and folders as nothing).
    uint64_t cluster = 0;

    // What a file of `size` bytes takes from the capacity: its size rounded
    // up to whole clusters (an empty file takes none).
    uint64_t FileAllocation(uint64_t size) const;
    // What a folder takes: one cluster (nothing when counted byte for byte).
    uint64_t FolderAllocation() const { return cluster; }
    // What every file and folder below the root takes.
    uint64_t UsedBytes() const;
    // Free and total bytes of the device; false when the PC disk cannot say.
    bool Space(uint64_t& freeBytes, uint64_t& totalBytes) const;
    // Maps a device path below the root (MapDevicePath), and checks the full
    // path as the PC resolves it. Returns 0, or the Win32 error to report:
    // ERROR_INVALID_NAME for a malformed name, ERROR_ACCESS_DENIED for a path
    // that tries to leave the storage folder, ERROR_FILENAME_EXCED_RANGE for
    // an over-long one.
    DWORD Map(const std::wstring& devicePath, bool pattern, MappedPath& out) const;
};

// The one storage of this process, also reached by SimGetDiskFreeSpaceEx.
DeviceStorage& TheStorage();

// Exported by devicesim.exe so that device libraries loaded into it (such as
// insthelp.dll) can ask for the free space of a device folder, as device code
// asks its OS: resolve it with GetProcAddress(GetModuleHandleW(nullptr),
// "SimGetDiskFreeSpaceEx"). Fails with ERROR_PATH_NOT_FOUND for a folder that
// does not exist and with the path error for a path that is refused.
extern "C" BOOL WINAPI SimGetDiskFreeSpaceEx(LPCWSTR devicePath, ULARGE_INTEGER* freeBytesAvailable,
                                             ULARGE_INTEGER* totalBytes,
                                             ULARGE_INTEGER* totalFreeBytes);
