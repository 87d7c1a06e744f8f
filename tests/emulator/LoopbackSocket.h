#pragma once
// Plain TCP sockets on the loopback address, for tests that play one end of
// the link themselves.
#include <winsock2.h>

// Winsock started for as long as the object lives.
class WinsockInUse {
public:
    WinsockInUse() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
    }
    ~WinsockInUse() { WSACleanup(); }

    WinsockInUse(const WinsockInUse&) = delete;
    WinsockInUse& operator=(const WinsockInUse&) = delete;
};

inline SOCKET NewTcpSocket() {
    return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

// The loopback address at `port`; 0 lets bind choose a free port.
inline sockaddr_in LoopbackAddress(unsigned port = 0) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(port));
    return a;
}
