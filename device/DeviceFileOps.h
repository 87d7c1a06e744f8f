#pragma once
// File operations composed from the Remote API: the free space as the helper
// library on the device reports it, the size of a device file, and deleting
// every device file that matches a pattern.
#include <windows.h>

#include <cstdint>
#include <string>

// winbase.h still defines GetFreeSpace as a macro of the 16-bit API, which
// would rename the operation below wherever windows.h comes first.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

class DeviceFileOps {
public:
    explicit DeviceFileOps(const std::wstring& helperPath) : helperPath(helperPath) {}

    // Free bytes of the storage that holds `folder`; 0 when the query fails.
    int64_t GetFreeSpace(const std::wstring& folder);
    // Size of a device file; 0 when it is missing or cannot be opened.
    uint64_t DeviceFileSize(const std::wstring& path);
    // True when at least one matching file was deleted.
    bool DeleteMatching(const std::wstring& pattern);

private:
    std::wstring helperPath;
};
