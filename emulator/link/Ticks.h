#pragma once
// The high-resolution clock of the emulator and the benchmarks, in ticks of
// the performance counter.
#include <windows.h>

#include <cstdint>

namespace link {

inline int64_t Ticks() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline int64_t TicksPerSecond() {
    static const int64_t perSecond = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart;
    }();
    return perSecond;
}

inline double SecondsBetween(int64_t from, int64_t to) {
    return static_cast<double>(to - from) / static_cast<double>(TicksPerSecond());
}

// Seconds since it was made.
class Stopwatch {
public:
    double Seconds() const { return SecondsBetween(start, Ticks()); }

private:
    int64_t start = Ticks();
};

} // namespace link
