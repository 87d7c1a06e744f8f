#include "emulator/link/LinkSocket.h"

#include "emulator/link/FrameDecoder.h"
#include "emulator/link/LinkProtocol.h"

namespace link {

namespace {

constexpr size_t SendPieceBytes = 0x10000;
constexpr size_t RecvPieceBytes = 0x10000;

bool SendAll(SOCKET s, const uint8_t* data, size_t count) {
    while (count > 0) {
        int chunk =
            count > SendPieceBytes ? static_cast<int>(SendPieceBytes) : static_cast<int>(count);
        int sent = ::send(s, reinterpret_cast<const char*>(data), chunk, 0);
        if (sent <= 0)
            return false;
        data += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
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
    // Received in pieces of at most what the frame still lacks, so that
    // nothing of the next frame is read.
    FrameDecoder decoder;
    std::vector<uint8_t> piece(RecvPieceBytes);
    while (decoder.Current() == FrameDecoder::State::Partial) {
        const size_t want = decoder.Wanted() < piece.size() ? decoder.Wanted() : piece.size();
        const int n = ::recv(s, reinterpret_cast<char*>(piece.data()), static_cast<int>(want), 0);
        if (n == 0)
            return decoder.Started() ? RecvResult::Failed : RecvResult::Closed;
        if (n < 0)
            return RecvResult::Failed;
        decoder.Feed(piece.data(), static_cast<size_t>(n));
    }
    if (decoder.Current() == FrameDecoder::State::Oversized)
        return RecvResult::Oversized;
    payload = decoder.Take();
    return RecvResult::Ok;
}

void SetTimeouts(SOCKET s, DWORD milliseconds) {
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
                 sizeof milliseconds);
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
                 sizeof milliseconds);
}

} // namespace link
