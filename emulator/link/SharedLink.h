#pragma once
// A link's frames through shared memory instead of its socket: one buffer
// that holds a request and then its answer, a count of the frames sent each
// way, and an event for each direction. Under Wine an exchange through a
// socket costs several calls to the Wine server and a wake-up of each end;
// through the buffer it costs one event each way, and none for an end that
// finds the frame there before it goes to sleep. (Looking for the frame a
// while before sleeping was tried: on two busy cores it costs more time than
// it saves.)
//
// The device makes the buffer and the events for one connection and tells
// the PC their name in its answer to UseSharedLink; from then on both ends
// move frames through the buffer, strictly in turn. The connection's socket
// stays open beside it only to tell either end that the other has gone: a
// closed socket is a closed link.
#include <winsock2.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/link/LinkSocket.h"
#include "framework/UniqueResource.h"

namespace link {

class SharedLink {
public:
    enum class End { Pc, Device };

    // The device's end: a new buffer and events named after `name`. Null
    // when they cannot be made.
    static std::unique_ptr<SharedLink> Create(const std::wstring& name, SOCKET socket);
    // The PC's end: the buffer and events that the device made. Null when
    // they cannot be opened.
    static std::unique_ptr<SharedLink> Open(const std::wstring& name, SOCKET socket);

    // Puts one frame into the buffer and wakes the other end. False once the
    // link is closed, or for a payload larger than a frame may be.
    bool Send(const uint8_t* payload, size_t size);
    bool Send(const std::vector<uint8_t>& payload) { return Send(payload.data(), payload.size()); }
    // Waits up to `timeoutMs` for the other end's frame: Closed when the
    // other end has gone or closed the link, Failed on a time-out, Oversized
    // for a length above the largest frame.
    RecvResult Receive(std::vector<uint8_t>& payload, DWORD timeoutMs = INFINITE);
    // Marks the link closed and wakes the other end; every later call fails.
    void Close();
    // When the frame that Receive returned last was put into the buffer, in
    // Ticks(): the moment it reached this end, however late this end woke.
    int64_t LastSentAt() const { return lastSentAt; }

private:
    struct Buffer;
    static std::unique_ptr<SharedLink> Make(End end, const std::wstring& name, SOCKET socket);

    End end = End::Pc;
    UniqueHandle mapping;
    UniqueMappedView view;
    Buffer* buffer = nullptr;
    uint32_t received = 0; // frames taken from the other end so far
    int64_t lastSentAt = 0;
    UniqueHandle toPc;     // set when a frame for the PC is in the buffer
    UniqueHandle toDevice; // set when a frame for the device is in the buffer
    UniqueHandle socketClosed;
};

} // namespace link
