#pragma once
// Maps a device path (Windows CE: absolute, backslashes, no drive letter) to
// the PC path of the same file below the storage folder, refusing every path
// that could reach outside it. Portable code: devicesim and the native fuzzer
// use it alike; DeviceStorage::Map adds the PC's own check of the full path.
#include <cstddef>
#include <string>

// A device path is at most MAX_PATH less the zero units long.
constexpr size_t MaxDevicePathUnits = 259;

struct MappedPath {
    std::wstring pcPath; // the storage folder itself for "\"
    bool isRoot = false;
};

// Why a device path is refused; DeviceStorage::Map reports each as its Win32
// error.
enum class PathVerdict {
    Accepted,
    InvalidName,  // malformed: relative, a drive letter, a forbidden unit or name
    AccessDenied, // tries to leave the storage folder: "." or ".." components, ':'
    TooLong       // over MaxDevicePathUnits
};

// Accepts the path and fills `out`, or refuses it and leaves `out` as it was.
// Wildcards are allowed only in the last component and only when `pattern` is
// set.
PathVerdict MapDevicePath(const std::wstring& storageRoot, const std::wstring& devicePath,
                          bool pattern, MappedPath& out);
