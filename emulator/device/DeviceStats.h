#pragma once
// What devicesim counts and logs: requests per kind, bytes in and out, file
// data written, and one log line per request.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "emulator/link/LinkProtocol.h"
#include "framework/CriticalSection.h"

class DeviceStats {
public:
    std::atomic<uint64_t> requests[static_cast<size_t>(link::Op::Count)] = {};
    std::atomic<uint64_t> malformed{0};
    std::atomic<uint64_t> refused{0};
    std::atomic<uint64_t> bytesIn{0};
    std::atomic<uint64_t> bytesOut{0};

    bool OpenLog(const std::wstring& path);
    bool Logging() const { return log_ != nullptr; }
    void Log(const std::string& line);
    void Print(FILE* out);
    // The counters on one line, for the log.
    std::string Summary();

private:
    CCriticalSection logLock_;
    FILE* log_ = nullptr;
};

DeviceStats& TheStats();
