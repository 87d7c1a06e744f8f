#pragma once
// The arithmetic of the block loop: the per-file percent reported with each
// block, and the test that the last block has been handled. The count of bytes
// done is 64 bits wide so that files of 4 GiB and more are copied whole.
#include <cstdint>

// Files below this size keep the 32-bit position of the progress protocol.
constexpr uint64_t LargeFileSize = uint64_t{1} << 32;

// Percent of the file at `position`: 100.0 divided by the size first, then
// multiplied by the position, truncated toward zero. Below 4 GiB the position
// is taken as an unsigned 32-bit number.
inline int32_t BlockPercent(uint64_t fileSize, uint64_t position) {
    const double scale = 100.0 / static_cast<double>(fileSize);
    const double at = fileSize < LargeFileSize
                          ? static_cast<double>(static_cast<uint32_t>(position))
                          : static_cast<double>(position);
    const double percent = scale * at;
    // A file that grew after its size was taken could push the product past
    // what a 32-bit integer holds.
    if (percent >= 2147483647.0)
        return INT32_MAX;
    return static_cast<int32_t>(percent);
}

// Count of bytes done after one more block: advanced by the block size,
// whatever the block held.
inline uint64_t AdvanceDone(uint64_t done, uint32_t blockSize) {
    return done + blockSize;
}

inline bool AllBlocksHandled(uint64_t done, uint64_t fileSize) {
    return done >= fileSize;
}
