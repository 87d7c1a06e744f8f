#pragma once
// What the fuzz targets share: a check that stops the run with the broken
// rule, and the readings of raw input as the link's values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A rule of the system that the input broke: libFuzzer keeps the input.
#define PELKO_FUZZ_CHECK(condition)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: rule broken: %s\n", __FILE__, __LINE__, #condition);      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

// The UTF-16LE units in `count` bytes (an odd last byte is left out), one
// unit per wchar_t, as the link's reader gives them.
inline std::wstring Utf16Units(const uint8_t* data, size_t count) {
    std::wstring units;
    for (size_t i = 0; i + 1 < count; i += 2)
        units.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
    return units;
}

} // namespace fuzz
