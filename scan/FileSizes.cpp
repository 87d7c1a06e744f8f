#include <windows.h>

#include "framework/UniqueResource.h"
#include "scan/UpdateList.h"

uint64_t LocalFileSize(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return 0;
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(file.get(), &high);
    // INVALID_FILE_SIZE is also the low half of some real sizes; only the
    // error code tells the two apart.
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
        return 0;
    return (static_cast<uint64_t>(high) << 32) | low;
}

uint64_t SumFileSizes(const std::vector<std::wstring>& paths) {
    uint64_t sum = 0;
    for (const std::wstring& path : paths)
        sum += LocalFileSize(path);
    return sum;
}
