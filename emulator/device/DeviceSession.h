#pragma once
// One connection to the device: the handshake, then request after request,
// each answered with its result, the connection's last error and out data.
#include <winsock2.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "emulator/device/DeviceOptions.h"
#include "emulator/device/DeviceRequest.h"
#include "emulator/link/LinkProtocol.h"
#include "framework/UniqueResource.h"

class DeviceSession {
public:
    DeviceSession(SOCKET socket, uint32_t id, const DeviceOptions& options)
        : socket_(socket), id_(id), options_(options) {}
    // Serves until the peer closes, a frame is malformed or the link drops.
    void Run();

private:
    struct Search {
        std::vector<link::FindRecord> entries;
        size_t next = 0;
    };
    enum class Outcome { Reply, Close };

    bool Handshake();
    // The request that --stall-after names: logged, then neither carried out
    // nor answered; returns once the PC closes the link.
    void Stall(const std::vector<uint8_t>& request);
    Outcome Handle(const DeviceRequest& r, uint32_t& result, link::Writer& out);
    // Maps a device path; on refusal sets the last error and logs it.
    bool Map(const std::wstring& devicePath, bool pattern, std::wstring& pcPath,
             bool* isRoot = nullptr);
    // Maps a path that a request changes; the root is refused with rootError.
    bool MapChangeable(const std::wstring& devicePath, DWORD rootError, std::wstring& pcPath);
    // Sets the last error and gives the failed result, 0.
    uint32_t Fail(DWORD error);
    // 1, or 0 with the Win32 last error as the device's.
    uint32_t FromWin32(BOOL succeeded);
    uint32_t NewHandle();

    // A request that carries one path, changed by `change` unless it is refused.
    Outcome ChangePath(const DeviceRequest& r, uint32_t& result, DWORD rootError,
                       BOOL (*change)(const std::wstring& pcPath));
    Outcome CreateFile(const DeviceRequest& r, uint32_t& result);
    Outcome WriteFile(const DeviceRequest& r, uint32_t& result, link::Writer& out);
    Outcome FindFirst(const DeviceRequest& r, uint32_t& result, link::Writer& out);
    Outcome FindAll(const DeviceRequest& r, uint32_t& result, link::Writer& out);
    Outcome Invoke(const DeviceRequest& r, uint32_t& result, link::Writer& out);
    DWORD Collect(const std::wstring& pattern, std::vector<link::FindRecord>& entries);

    SOCKET socket_;
    uint32_t id_;
    const DeviceOptions& options_;
    DWORD lastError_ = 0;
    uint32_t nextHandle_ = 1;
    std::map<uint32_t, UniqueFile> files_;
    std::map<uint32_t, Search> searches_;
    std::string logDetail_;
};
