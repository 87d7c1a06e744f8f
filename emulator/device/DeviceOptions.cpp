#include "emulator/device/DeviceOptions.h"

#include "emulator/link/LinkProtocol.h"

#define PELKO_STRINGIFY_TEXT(x) #x
#define PELKO_STRINGIFY(x) PELKO_STRINGIFY_TEXT(x)

#include <cwchar>

const char DeviceUsage[] =
    "devicesim: an emulated Windows CE device reached through our rapi.dll.\n"
    "\n"
    "Usage: devicesim --storage DIR [options]\n"
    "\n"
    "  --storage DIR        folder that holds the device's file system (required);\n"
    "                       device path \\Mounted Volume\\a.txt is DIR\\Mounted Volume\\a.txt\n"
    "  --port N             TCP port on 127.0.0.1 (default " PELKO_STRINGIFY(
        PELKO_DEFAULT_DEVICE_PORT) "; 0 picks a free port)\n"
                                   "  --port-file FILE     write the bound port to FILE once "
                                   "listening\n"
                                   "  --capacity BYTES     device size; free space = BYTES less "
                                   "what the storage\n"
                                   "                       holds; a write past it fails with "
                                   "ERROR_DISK_FULL\n"
                                   "                       (default: the free space of the PC's "
                                   "disk)\n"
                                   "  --cluster BYTES      with --capacity: storage is allocated "
                                   "in clusters of BYTES,\n"
                                   "                       as flash file systems do; a file holds "
                                   "its size rounded up\n"
                                   "                       to whole clusters, a folder one "
                                   "cluster; free space and\n"
                                   "                       disk-full follow the clusters\n"
                                   "  --latency-ms MS      the cable's latency, part of every "
                                   "request's modelled time\n"
                                   "  --rate BYTES_PER_S   the cable's bandwidth for requests and "
                                   "answers (e.g. 256000)\n"
                                   "  --fail-write N       the Nth CeWriteFile of this run fails "
                                   "with ERROR_WRITE_FAULT\n"
                                   "  --drop-after BYTES   the link drops once BYTES of file data "
                                   "have been written\n"
                                   "  --stall-after N      the first N requests of this run (all "
                                   "connections) are\n"
                                   "                       answered; the next one is received and "
                                   "never carried out\n"
                                   "                       nor answered, and its link stays open "
                                   "(a hung device)\n"
                                   "  --no-handshake       never answer the handshake (a device "
                                   "that does not answer)\n"
                                   "  --log FILE           one line per request, refusals "
                                   "included\n"
                                   "  --help               this text\n"
                                   "\n"
                                   "Runs until ended (Ctrl+C or killed); then prints requests per "
                                   "kind and bytes\n"
                                   "in and out. RAPI_DEVICE=127.0.0.1:PORT points rapi.dll at "
                                   "it.\n";

namespace {

bool ParseNumber(const wchar_t* text, uint64_t max, uint64_t& value) {
    if (text == nullptr || *text == L'\0')
        return false;
    uint64_t v = 0;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9')
            return false;
        uint64_t digit = static_cast<uint64_t>(*p - L'0');
        if (v > (max - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

// Options followed by a text.
struct TextOption {
    const wchar_t* name;
    std::wstring DeviceOptions::*value;
};

const TextOption TextOptions[] = {
    {L"--storage", &DeviceOptions::storage},
    {L"--port-file", &DeviceOptions::portFile},
    {L"--log", &DeviceOptions::logFile},
};

// A cluster of 1 GiB is already far beyond any file system's.
constexpr uint64_t MaxCluster = uint64_t{1} << 30;

// Options followed by a number from `min` to `max`, and where it goes.
struct NumberOption {
    const wchar_t* name;
    uint64_t min;
    uint64_t max;
    void (*store)(DeviceOptions& o, uint64_t n);
};

const NumberOption NumberOptions[] = {
    {L"--port", 0, 65535, [](DeviceOptions& o, uint64_t n) { o.port = static_cast<uint32_t>(n); }},
    {L"--capacity", 0, UINT64_MAX / 2,
     [](DeviceOptions& o, uint64_t n) {
         o.hasCapacity = true;
         o.capacity = n;
     }},
    {L"--cluster", 1, MaxCluster, [](DeviceOptions& o, uint64_t n) { o.cluster = n; }},
    {L"--latency-ms", 0, 600000,
     [](DeviceOptions& o, uint64_t n) { o.latencyMs = static_cast<uint32_t>(n); }},
    {L"--rate", 0, UINT64_MAX / 2, [](DeviceOptions& o, uint64_t n) { o.rate = n; }},
    {L"--fail-write", 0, UINT64_MAX / 2, [](DeviceOptions& o, uint64_t n) { o.failWrite = n; }},
    {L"--drop-after", 0, UINT64_MAX / 2,
     [](DeviceOptions& o, uint64_t n) {
         o.hasDropAfter = true;
         o.dropAfter = n;
     }},
    {L"--stall-after", 0, UINT64_MAX / 2,
     [](DeviceOptions& o, uint64_t n) {
         o.hasStallAfter = true;
         o.stallAfter = n;
     }},
};

const TextOption* FindTextOption(const std::wstring& name) {
    for (const TextOption& option : TextOptions)
        if (name == option.name)
            return &option;
    return nullptr;
}

const NumberOption* FindNumberOption(const std::wstring& name) {
    for (const NumberOption& option : NumberOptions)
        if (name == option.name)
            return &option;
    return nullptr;
}

} // namespace

bool ParseDeviceOptions(int argc, wchar_t** argv, DeviceOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            o.help = true;
        } else if (arg == L"--no-handshake") {
            o.noHandshake = true;
        } else if (const TextOption* text = FindTextOption(arg)) {
            if (value == nullptr || *value == L'\0') {
                error = "missing value after option";
                return false;
            }
            o.*text->value = value;
            ++i;
        } else if (const NumberOption* number = FindNumberOption(arg)) {
            uint64_t n = 0;
            if (!ParseNumber(value, number->max, n) || n < number->min) {
                error = "bad or missing number after option";
                return false;
            }
            number->store(o, n);
            ++i;
        } else {
            error = "unknown option";
            return false;
        }
    }
    if (!o.help && o.storage.empty()) {
        error = "--storage is required";
        return false;
    }
    // Without a capacity the PC disk's free space is the device's, and
    // clusters have nothing to count against.
    if (!o.help && o.cluster != 0 && !o.hasCapacity) {
        error = "--cluster needs --capacity";
        return false;
    }
    return true;
}
