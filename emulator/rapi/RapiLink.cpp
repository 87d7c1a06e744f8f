#include "emulator/rapi/RapiLink.h"

#include <ws2tcpip.h>

#include <cstdlib>

#include "emulator/link/LinkSocket.h"
#include "emulator/rapi/DeviceAnswer.h"

namespace {

// getaddrinfo's answers, released with freeaddrinfo.
struct AddressListTraits {
    using Value = addrinfo*;
    static Value invalid() { return nullptr; }
    static void close(Value v) { freeaddrinfo(v); }
};

constexpr DWORD RetryPauseMs = 250;
constexpr DWORD HandshakeTimeoutMs = 2000;

// RAPI_DEVICE=host:port, read when the connection starts.
void DeviceAddress(std::string& host, unsigned short& port) {
    host = "127.0.0.1";
    port = link::DefaultDevicePort;
    wchar_t value[256];
    DWORD n = GetEnvironmentVariableW(L"RAPI_DEVICE", value, ARRAYSIZE(value));
    if (n == 0 || n >= ARRAYSIZE(value))
        return;
    std::wstring text(value, n);
    size_t colon = text.rfind(L':');
    std::wstring hostPart = colon == std::wstring::npos ? text : text.substr(0, colon);
    if (colon != std::wstring::npos) {
        unsigned long p = 0;
        std::wstring portPart = text.substr(colon + 1);
        bool ok = !portPart.empty() && portPart.size() <= 5;
        for (wchar_t c : portPart) {
            if (c < L'0' || c > L'9')
                ok = false;
            else
                p = p * 10 + static_cast<unsigned long>(c - L'0');
        }
        if (ok && p > 0 && p < 65536)
            port = static_cast<unsigned short>(p);
    }
    if (!hostPart.empty()) {
        host.clear();
        for (wchar_t c : hostPart)
            host += static_cast<char>(c < 0x80 ? c : '?');
    }
}

DWORD TimeoutFromEnvironment() {
    wchar_t value[32];
    DWORD n = GetEnvironmentVariableW(L"RAPI_TIMEOUT_MS", value, ARRAYSIZE(value));
    if (n == 0 || n >= ARRAYSIZE(value))
        return DefaultExchangeTimeoutMs;
    unsigned long ms = wcstoul(value, nullptr, 10);
    return ms >= ShortestExchangeTimeoutMs && ms <= LongestExchangeTimeoutMs
               ? static_cast<DWORD>(ms)
               : DefaultExchangeTimeoutMs;
}

} // namespace

RapiLink& RapiLink::Instance() {
    // Never destroyed: a process may end with the connector still running,
    // and a joinable thread must not be destroyed.
    static RapiLink* link = new RapiLink;
    return *link;
}

void RapiLink::SetLastError(DWORD error) {
    lastError_ = error;
    ::SetLastError(error);
}

HRESULT RapiLink::InitEx(RAPIINIT* init) {
    if (init == nullptr)
        return E_INVALIDARG;
    CSingleLock state(stateLock_);
    if (initialised_)
        return CO_E_ALREADYINITIALIZED;
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return E_FAIL;
    winsockStarted_ = true;
    initEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!initEvent_ || !stopEvent_ || !exchangeLock_) {
        initEvent_.reset();
        stopEvent_.reset();
        WSACleanup();
        winsockStarted_ = false;
        return E_FAIL;
    }
    std::string host;
    unsigned short port = 0;
    DeviceAddress(host, port);
    timeoutMs_ = TimeoutFromEnvironment();
    init->heRapiInit = initEvent_.get();
    init->hrRapiInit = E_PENDING;
    lastError_ = LinkLostError;
    rapiError_ = HRESULT_FROM_WIN32(LinkLostError);
    initialised_ = true;
    connector_ = JoinableThread([this, host, port, init] { Connector(host, port, init); });
    return S_OK;
}

HRESULT RapiLink::Uninit() {
    CSingleLock state(stateLock_);
    if (!initialised_)
        return E_FAIL;
    SetEvent(stopEvent_.get());
    {
        // Wakes a connector waiting for a handshake and an exchange waiting
        // for an answer.
        CSingleLock sockets(socketLock_);
        if (pending_ != INVALID_SOCKET)
            shutdown(pending_, SD_BOTH);
        if (socket_)
            shutdown(socket_.get(), SD_BOTH);
        if (sharedLink_)
            sharedLink_->Close();
    }
    connector_.Join();
    // An exchange under way ends within its time-out once the socket is shut
    // down; if its thread was ended while holding the lock, go on regardless
    // (the wait then reports the abandoned mutex as ours).
    const DWORD waited = WaitForSingleObject(exchangeLock_.get(), timeoutMs_ + 5000);
    CloseLink();
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        ReleaseMutex(exchangeLock_.get());
    initEvent_.reset();
    stopEvent_.reset();
    if (winsockStarted_)
        WSACleanup();
    winsockStarted_ = false;
    initialised_ = false;
    lastError_ = LinkLostError;
    rapiError_ = HRESULT_FROM_WIN32(LinkLostError);
    return S_OK;
}

bool RapiLink::Stopping() const {
    return WaitForSingleObject(stopEvent_.get(), 0) == WAIT_OBJECT_0;
}

void RapiLink::Connector(std::string host, unsigned short port, RAPIINIT* init) {
    while (!Stopping()) {
        link::UniqueSocket s = TryConnect(host, port);
        if (s) {
            {
                CSingleLock sockets(socketLock_);
                pending_ = s.get();
            }
            std::unique_ptr<link::SharedLink> shared;
            bool ok = !Stopping() && Handshake(s.get()) && AskForSharedLink(s.get(), shared);
            CSingleLock sockets(socketLock_);
            pending_ = INVALID_SOCKET;
            if (ok && !Stopping()) {
                link::SetTimeouts(s.get(), timeoutMs_);
                socket_ = std::move(s);
                sharedLink_ = std::move(shared);
                lastError_ = 0;
                rapiError_ = S_OK;
                init->hrRapiInit = S_OK;
                SetEvent(initEvent_.get());
                return;
            }
        }
        // No device yet: keep trying until one answers or Uninit stops us.
        WaitForSingleObject(stopEvent_.get(), RetryPauseMs);
    }
}

link::UniqueSocket RapiLink::TryConnect(const std::string& host, unsigned short port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return {};
    const UniqueResource<AddressListTraits> addresses(found);
    link::UniqueSocket owned(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!owned)
        return {};
    const SOCKET s = owned.get();
    // Non-blocking connect, so that a silent host does not hold us up.
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    int r = connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
    bool ok = r == 0;
    if (!ok && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait{0, 500 * 1000};
        if (select(0, nullptr, &writable, &failed, &wait) == 1 && FD_ISSET(s, &writable)) {
            int error = 0;
            int length = sizeof error;
            ok = getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
                     0 &&
                 error == 0;
        }
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (!ok)
        return {};
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
    return owned;
}

bool RapiLink::AskForSharedLink(SOCKET s, std::unique_ptr<link::SharedLink>& shared) {
    link::Writer ask;
    ask.U32(link::UseSharedLinkOp);
    std::vector<uint8_t> payload;
    DeviceAnswer answer;
    if (!link::SendFrame(s, ask.Data()) || link::RecvFrame(s, payload) != link::RecvResult::Ok ||
        !DecodeDeviceAnswer(payload.data(), payload.size(), link::UseSharedLinkOp, answer))
        return false;
    std::wstring name;
    if (answer.result == 1 && DecodeSharedLinkAnswer(answer.outData, name))
        shared = link::SharedLink::Open(name, s);
    return true;
}

bool RapiLink::Handshake(SOCKET s) {
    link::SetTimeouts(s, HandshakeTimeoutMs);
    link::Writer hello;
    hello.U32(static_cast<uint32_t>(link::Op::Hello));
    hello.U32(link::LinkMagic);
    hello.U32(link::LinkVersion);
    std::vector<uint8_t> answer;
    return link::SendFrame(s, hello.Data()) && link::RecvFrame(s, answer) == link::RecvResult::Ok &&
           DecodeHelloAnswer(answer.data(), answer.size());
}

void RapiLink::CloseLink() {
    CSingleLock sockets(socketLock_);
    if (sharedLink_) {
        sharedLink_->Close();
        sharedLink_.reset();
    }
    socket_.reset();
}

bool RapiLink::Exchange(const link::Writer& request, uint32_t& result, std::vector<uint8_t>& out) {
    // A thread that ended while holding the lock leaves it abandoned; the
    // next exchange takes it over.
    const DWORD waited = WaitForSingleObject(exchangeLock_.get(), INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        SetLastError(LinkLostError);
        return false;
    }
    struct Release {
        HANDLE mutex;
        ~Release() { ReleaseMutex(mutex); }
    } release{exchangeLock_.get()};
    SOCKET s;
    link::SharedLink* shared;
    {
        CSingleLock sockets(socketLock_);
        s = socket_.get();
        shared = sharedLink_.get();
    }
    if (s == INVALID_SOCKET) {
        SetLastError(LinkLostError);
        rapiError_ = HRESULT_FROM_WIN32(LinkLostError);
        return false;
    }
    uint32_t sentOp = 0;
    link::Reader(request.Data().data(), request.Data().size()).U32(sentOp);
    const bool sent = shared ? shared->Send(request.Data()) : link::SendFrame(s, request.Data());
    const link::RecvResult got = !sent    ? link::RecvResult::Failed
                                 : shared ? shared->Receive(answer_, timeoutMs_)
                                          : link::RecvFrame(s, answer_);
    DeviceAnswer decoded;
    const bool ok = got == link::RecvResult::Ok &&
                    DecodeDeviceAnswer(answer_.data(), answer_.size(), sentOp, decoded);
    if (!ok) {
        CloseLink();
        SetLastError(LinkLostError);
        rapiError_ = HRESULT_FROM_WIN32(LinkLostError);
        return false;
    }
    result = decoded.result;
    out = std::move(decoded.outData);
    lastError_ = decoded.lastError;
    ::SetLastError(decoded.lastError);
    rapiError_ = S_OK;
    return true;
}
