#pragma once
// Test fixture: one devicesim.exe with a fresh storage folder on a free port.
// Construction starts it and points our rapi.dll at it (RAPI_DEVICE in this
// process's environment, read by CeRapiInitEx); destruction kills it and
// removes the storage.
//
//   testsupport::DeviceSim device({L"--capacity", L"100000"});
//   ASSERT_TRUE(device.Started()) << device.Error();
//   ... CeRapiInitEx / pelko code ...
//   EXPECT_EQ(testsupport::ReadFileBytes(device.StoragePath(L"\\Mounted Volume\\a.txt")), "abc");
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace testsupport {

class DeviceSim {
public:
    // extraArgs go to devicesim after --storage/--port/--port-file/--log,
    // e.g. {L"--capacity", L"4096"}, {L"--capacity", L"65536", L"--cluster", L"4096"},
    // {L"--fail-write", L"2"}, {L"--drop-after", L"65536"}, {L"--stall-after", L"40"},
    // {L"--latency-ms", L"5"}, {L"--no-handshake"}.
    explicit DeviceSim(std::vector<std::wstring> extraArgs = {});
    ~DeviceSim();
    DeviceSim(const DeviceSim&) = delete;
    DeviceSim& operator=(const DeviceSim&) = delete;

    // True once the device listens; otherwise Error() says why.
    bool Started() const { return port_ != 0; }
    const std::string& Error() const { return error_; }
    unsigned Port() const { return port_; }
    // "127.0.0.1:<port>", the value put into RAPI_DEVICE.
    std::wstring Address() const;

    // The storage folder (Windows path) that holds the device's file system.
    const std::wstring& Storage() const { return storage_.Path(); }
    // The PC path of a device path: "\Mounted Volume\a.txt" ->
    // "<storage>\Mounted Volume\a.txt"; "\" -> the storage folder.
    std::wstring StoragePath(const std::wstring& devicePath) const;
    // The request log (--log): one line per request, refusals marked
    // REFUSED, and a "counters:" line each time a connection closes.
    std::wstring LogPath() const;
    std::string LogText() const;
    // What devicesim printed (its start line; counters only after Ctrl+C).
    std::string OutputText() const;

    // Ends the device at once (TerminateProcess and wait), as if it were
    // unplugged: open links break. Also done by the destructor.
    void Stop();
    bool Running() const;

    // devicesim.exe, rapi.dll's folder and insthelp.dll of this build
    // (Windows paths).
    static std::wstring DeviceSimExe();
    static std::wstring EmulatorBinDir();
    static std::wstring InsthelpDll();

private:
    TempDir work_;
    TempDir storage_;
    std::string error_;
    unsigned port_ = 0;
    HANDLE process_ = nullptr;
};

// Converts a Unix path of this build ("/x/y") to the path that Wine programs
// use ("Z:\x\y"); Windows paths are returned unchanged.
std::wstring WindowsPathOf(const std::string& path);

} // namespace testsupport
