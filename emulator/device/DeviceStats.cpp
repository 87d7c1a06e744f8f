#include "emulator/device/DeviceStats.h"

#include <windows.h>

#include <psapi.h>

namespace {

// The most memory devicesim has held at once, as Windows counts it: the peak
// working set, in KiB (0 where the system does not say).
uint64_t PeakWorkingSetKiB() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        return 0;
    return memory.PeakWorkingSetSize / 1024;
}

} // namespace

bool DeviceStats::OpenLog(const std::wstring& path) {
    log_ = _wfopen(path.c_str(), L"a");
    return log_ != nullptr;
}

void DeviceStats::Log(const std::string& line) {
    if (log_ == nullptr)
        return;
    CSingleLock lock(logLock_);
    SYSTEMTIME t;
    GetSystemTime(&t);
    fprintf(log_, "%02u:%02u:%02u.%03u %s\n", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
            line.c_str());
    fflush(log_);
}

void DeviceStats::Print(FILE* out) {
    fprintf(out, "devicesim counters:\n");
    for (uint32_t op = 1; op < static_cast<uint32_t>(link::Op::Count); ++op) {
        uint64_t n = requests[op].load();
        if (n != 0)
            fprintf(out, "  %-20s %llu\n", link::OpName(op), static_cast<unsigned long long>(n));
    }
    fprintf(out, "  %-20s %llu\n", "malformed", static_cast<unsigned long long>(malformed.load()));
    fprintf(out, "  %-20s %llu\n", "refused paths",
            static_cast<unsigned long long>(refused.load()));
    fprintf(out, "  %-20s %llu\n", "bytes in", static_cast<unsigned long long>(bytesIn.load()));
    fprintf(out, "  %-20s %llu\n", "bytes out", static_cast<unsigned long long>(bytesOut.load()));
    fprintf(out, "  %-20s %llu KiB\n", "peak working set",
            static_cast<unsigned long long>(PeakWorkingSetKiB()));
    fflush(out);
}

std::string DeviceStats::Summary() {
    std::string line = "counters:";
    for (uint32_t op = 1; op < static_cast<uint32_t>(link::Op::Count); ++op) {
        uint64_t n = requests[op].load();
        if (n != 0)
            line += std::string(" ") + link::OpName(op) + "=" + std::to_string(n);
    }
    line += " malformed=" + std::to_string(malformed.load()) +
            " refused=" + std::to_string(refused.load()) +
            " bytesIn=" + std::to_string(bytesIn.load()) +
            " bytesOut=" + std::to_string(bytesOut.load()) +
            " peakWorkingSetKiB=" + std::to_string(PeakWorkingSetKiB());
    return line;
}

DeviceStats& TheStats() {
    static DeviceStats stats;
    return stats;
}
