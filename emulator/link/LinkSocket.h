#pragma once
// Sending and receiving whole frames over a connected socket.
#include <winsock2.h>

#include <cstdint>
#include <vector>

#include "framework/UniqueResource.h"

namespace link {

struct SocketTraits {
    using Value = SOCKET;
    static Value invalid() { return INVALID_SOCKET; }
    static void close(Value v) { ::closesocket(v); }
};
// A socket, closed when its owner goes.
using UniqueSocket = UniqueResource<SocketTraits>;

enum class RecvResult { Ok, Closed, Failed, Oversized };

bool SendFrame(SOCKET s, const std::vector<uint8_t>& payload);
// Reads one frame; a length above MaxFramePayload gives Oversized and reads
// nothing more.
RecvResult RecvFrame(SOCKET s, std::vector<uint8_t>& payload);
// Send and receive time-outs for every later call on the socket.
void SetTimeouts(SOCKET s, DWORD milliseconds);

} // namespace link
