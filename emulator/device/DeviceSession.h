#pragma once
// One connection to the device: the handshake, then request after request,
// each answered with its result, the connection's last error and out data.
#include <winsock2.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emulator/device/DeviceOptions.h"
#include "emulator/device/DeviceRequest.h"
#include "emulator/device/DeviceStats.h"
#include "emulator/link/LinkProtocol.h"
#include "emulator/link/LinkSocket.h"
#include "emulator/link/SharedLink.h"
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
    // Frames through the shared link once the PC asked for it, through the
    // socket before and for a PC that never does.
    link::RecvResult ReceiveFrame(std::vector<uint8_t>& payload);
    bool SendFrame(const std::vector<uint8_t>& payload);
    // Answers UseSharedLinkOp over the socket: the new link's name, or 0 where
    // it cannot be made.
    bool OfferSharedLink();
    // Holds the answer until the modelled time since the request arrived has
    // passed: the link's latency and its rate for the request's and the
    // answer's frames.
    void WaitForLink(int64_t arrival, uint64_t frameBytes) const;
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
    std::unique_ptr<link::SharedLink> sharedLink_;
    uint32_t id_;
    const DeviceOptions& options_;
    // Lines are made only for a log that is kept.
    const bool logging_ = TheStats().Logging();
    DWORD lastError_ = 0;
    uint32_t nextHandle_ = 1;
    std::map<uint32_t, UniqueFile> files_;
    std::map<uint32_t, Search> searches_;
    std::string logDetail_;
};
