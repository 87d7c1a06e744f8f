#pragma once
// The overall progress as the dialog shows it: whole percent in the text and
// the bar position in units of its upper limit, both of the same ratio.
#include <cstdint>

// (100 / total) * copied, divided first, truncated toward zero. Nothing to
// copy counts as everything copied.
inline int PercentCopied(int64_t totalBytes, int64_t bytesCopied) {
    if (totalBytes == 0)
        return 100;
    return static_cast<int>((100.0 / static_cast<double>(totalBytes)) *
                            static_cast<double>(bytesCopied));
}

// (upper / total) * copied, divided first, truncated toward zero; the full
// bar when there is nothing to copy.
inline int BarPosition(int upperLimit, int64_t totalBytes, int64_t bytesCopied) {
    if (totalBytes == 0)
        return upperLimit;
    return static_cast<int>((static_cast<double>(upperLimit) / static_cast<double>(totalBytes)) *
                            static_cast<double>(bytesCopied));
}
