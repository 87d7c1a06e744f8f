#pragma once
// The overall progress as the dialog shows it: whole percent in the text and
// the bar position in units of its upper limit, both of the same ratio.
#include <cstdint>
#include <limits>

// Truncation toward zero into an int; a file that grew after the scan can
// report far more than TotalBytes, and the product must still fit.
inline int TruncateToInt(double value) {
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// (100 / total) * copied, divided first, truncated toward zero. Nothing to
// copy counts as everything copied.
inline int PercentCopied(int64_t totalBytes, int64_t bytesCopied) {
    if (totalBytes == 0)
        return 100;
    return TruncateToInt((100.0 / static_cast<double>(totalBytes)) *
                         static_cast<double>(bytesCopied));
}

// (upper / total) * copied, divided first, truncated toward zero; the full
// bar when there is nothing to copy.
inline int BarPosition(int upperLimit, int64_t totalBytes, int64_t bytesCopied) {
    if (totalBytes == 0)
        return upperLimit;
    return TruncateToInt((static_cast<double>(upperLimit) / static_cast<double>(totalBytes)) *
                         static_cast<double>(bytesCopied));
}
