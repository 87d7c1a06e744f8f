#pragma once
// The PC end of the link to the emulated device: the background connection
// started by CeRapiInitEx, and one request/response exchange at a time.
#include <winsock2.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "device/RapiTypes.h"
#include "emulator/link/LinkProtocol.h"
#include "emulator/link/SharedLink.h"
#include "framework/CriticalSection.h"
#include "framework/JoinableThread.h"
#include "framework/UniqueResource.h"

// The code that CeGetLastError reports, and CeRapiGetError as an HRESULT,
// while no link is up or after it broke.
constexpr DWORD LinkLostError = ERROR_DEVICE_NOT_CONNECTED;

// How long one exchange may take: RAPI_TIMEOUT_MS, within these bounds.
constexpr DWORD DefaultExchangeTimeoutMs = 10000;
constexpr DWORD ShortestExchangeTimeoutMs = 100;
constexpr DWORD LongestExchangeTimeoutMs = 600000;

class RapiLink {
public:
    static RapiLink& Instance();

    HRESULT InitEx(RAPIINIT* init);
    HRESULT Uninit();

    // Sends one request (which starts with its operation) and waits for the
    // answer within the time-out. False when the link is not up or breaks;
    // the link is then closed and every later call fails at once.
    bool Exchange(const link::Writer& request, uint32_t& result, std::vector<uint8_t>& out);

    DWORD LastError() const { return lastError_.load(); }
    HRESULT RapiError() const { return rapiError_.load(); }
    // Records a failure found before anything was sent.
    void SetLastError(DWORD error);

private:
    void Connector(std::string host, unsigned short port, RAPIINIT* init);
    link::UniqueSocket TryConnect(const std::string& host, unsigned short port);
    bool Handshake(SOCKET s);
    // Asks the device to move the link's frames into shared memory: the
    // shared link, or null where the device keeps them on the socket. False
    // when the socket failed.
    bool AskForSharedLink(SOCKET s, std::unique_ptr<link::SharedLink>& shared);
    void CloseLink();
    bool Stopping() const;

    CCriticalSection stateLock_; // init and uninit
    // One exchange at a time; a kernel mutex, so that Uninit can give up
    // waiting for an exchange whose thread has gone.
    UniqueHandle exchangeLock_{::CreateMutexW(nullptr, FALSE, nullptr)};
    CCriticalSection socketLock_; // the socket values, never held across I/O
    bool initialised_ = false;
    bool winsockStarted_ = false;
    UniqueHandle initEvent_;
    UniqueHandle stopEvent_;
    JoinableThread connector_;
    link::UniqueSocket socket_;                    // the link once the handshake passed
    std::unique_ptr<link::SharedLink> sharedLink_; // its frames, when the device offered it
    SOCKET pending_ = INVALID_SOCKET;              // the connector's own socket before that
    DWORD timeoutMs_ = DefaultExchangeTimeoutMs;
    std::atomic<DWORD> lastError_{0};
    std::atomic<HRESULT> rapiError_{S_OK};
    std::vector<uint8_t> answer_; // the last answer's frame, kept for its capacity
};
