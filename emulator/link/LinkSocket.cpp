#include "emulator/link/LinkSocket.h"

#include "emulator/link/LinkProtocol.h"

namespace link {

namespace {

bool SendAll(SOCKET s, const uint8_t* data, size_t count) {
    while (count > 0) {
        int chunk = count > 0x10000 ? 0x10000 : static_cast<int>(count);
        int sent = ::send(s, reinterpret_cast<const char*>(data), chunk, 0);
        if (sent <= 0)
            return false;
        data += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

// 1 = all read, 0 = closed before the first byte, -1 = failed or closed midway.
int RecvAll(SOCKET s, uint8_t* data, size_t count) {
    size_t got = 0;
    while (got < count) {
        size_t want = count - got;
        int chunk = want > 0x10000 ? 0x10000 : static_cast<int>(want);
        int n = ::recv(s, reinterpret_cast<char*>(data + got), chunk, 0);
        if (n == 0)
            return got == 0 ? 0 : -1;
        if (n < 0)
            return -1;
        got += static_cast<size_t>(n);
    }
    return 1;
}

} // namespace

bool SendFrame(SOCKET s, const std::vector<uint8_t>& payload) {
    if (payload.size() > MaxFramePayload)
        return false;
    std::vector<uint8_t> frame(4 + payload.size());
    uint32_t n = static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
        frame[i] = static_cast<uint8_t>(n >> (8 * i));
    if (!payload.empty())
        std::copy(payload.begin(), payload.end(), frame.begin() + 4);
    return SendAll(s, frame.data(), frame.size());
}

RecvResult RecvFrame(SOCKET s, std::vector<uint8_t>& payload) {
    uint8_t header[4];
    int r = RecvAll(s, header, sizeof header);
    if (r == 0)
        return RecvResult::Closed;
    if (r < 0)
        return RecvResult::Failed;
    uint32_t n = static_cast<uint32_t>(header[0]) | static_cast<uint32_t>(header[1]) << 8 |
                 static_cast<uint32_t>(header[2]) << 16 | static_cast<uint32_t>(header[3]) << 24;
    if (n > MaxFramePayload)
        return RecvResult::Oversized;
    payload.assign(n, 0);
    if (n != 0 && RecvAll(s, payload.data(), n) != 1)
        return RecvResult::Failed;
    return RecvResult::Ok;
}

void SetTimeouts(SOCKET s, DWORD milliseconds) {
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
                 sizeof milliseconds);
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
                 sizeof milliseconds);
}

} // namespace link
