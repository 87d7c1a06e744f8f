#pragma once
// Maps a device path (Windows CE: absolute, backslashes, no drive letter) to
// the PC path of the same file below the storage folder, refusing every path
// that could reach outside it.
#include <windows.h>

#include <string>

struct MappedPath {
    std::wstring pcPath; // the storage folder itself for "\"
    bool isRoot = false;
};

// Returns 0 and fills `out`, or the Win32 error to report: ERROR_INVALID_NAME
// for a malformed name, ERROR_ACCESS_DENIED for a path that tries to leave the
// storage folder, ERROR_FILENAME_EXCED_RANGE for an over-long one. Wildcards
// are allowed only in the last component and only when `pattern` is set.
DWORD MapDevicePath(const std::wstring& storageRoot, const std::wstring& devicePath, bool pattern,
                    MappedPath& out);
