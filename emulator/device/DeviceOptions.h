#pragma once
// devicesim's command line.
#include <cstdint>
#include <string>

#include "emulator/link/LinkProtocol.h"

struct DeviceOptions {
    std::wstring storage;
    uint32_t port = link::DefaultDevicePort;
    std::wstring portFile;
    bool hasCapacity = false;
    uint64_t capacity = 0;
    uint64_t cluster = 0; // allocation unit in bytes, 0 = byte for byte
    uint32_t latencyMs = 0;
    uint64_t rate = 0;      // bytes per second, 0 = unlimited
    uint64_t failWrite = 0; // the Nth write fails, 0 = none
    bool hasDropAfter = false;
    uint64_t dropAfter = 0;
    bool hasStallAfter = false;
    uint64_t stallAfter = 0; // requests answered before the one that is never answered
    bool noHandshake = false;
    std::wstring logFile;
    bool help = false;
};

extern const char DeviceUsage[];

// Returns false with a message in `error` on a malformed command line.
bool ParseDeviceOptions(int argc, wchar_t** argv, DeviceOptions& options, std::string& error);
