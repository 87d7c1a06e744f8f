#include "emulator/link/SharedLink.h"

#include <atomic>
#include <cstring>

#include "emulator/link/LinkProtocol.h"
#include "emulator/link/Ticks.h"

namespace link {

namespace {} // namespace

// One direction of the link: how many frames were sent that way, and whether
// the receiving end sleeps on its event (and must be woken).
struct Direction {
    std::atomic<uint32_t> sent;
    std::atomic<uint32_t> receiverSleeps;
};

struct SharedLink::Buffer {
    std::atomic<uint32_t> closed; // nonzero once either end has closed the link
    Direction toDevice;
    Direction toPc;
    // The frame under way: written before its direction's count goes up,
    // read after the count was seen.
    int64_t sentAt; // Ticks() when it was put into the buffer
    uint32_t length;
    uint8_t payload[MaxFramePayload];
};

static_assert(std::atomic<uint32_t>::is_always_lock_free, "shared between processes");

std::unique_ptr<SharedLink> SharedLink::Create(const std::wstring& name, SOCKET socket) {
    return Make(End::Device, name, socket);
}

std::unique_ptr<SharedLink> SharedLink::Open(const std::wstring& name, SOCKET socket) {
    return Make(End::Pc, name, socket);
}

std::unique_ptr<SharedLink> SharedLink::Make(End end, const std::wstring& name, SOCKET socket) {
    std::unique_ptr<SharedLink> link(new SharedLink);
    link->end = end;
    const std::wstring toPcName = name + L"-to-pc";
    const std::wstring toDeviceName = name + L"-to-device";
    if (end == End::Device) {
        link->mapping.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                 sizeof(Buffer), name.c_str()));
        link->toPc.reset(::CreateEventW(nullptr, FALSE, FALSE, toPcName.c_str()));
        link->toDevice.reset(::CreateEventW(nullptr, FALSE, FALSE, toDeviceName.c_str()));
    } else {
        link->mapping.reset(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()));
        link->toPc.reset(::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, toPcName.c_str()));
        link->toDevice.reset(
            ::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, toDeviceName.c_str()));
    }
    if (!link->mapping || !link->toPc || !link->toDevice)
        return nullptr;
    // A new mapping is all zero: no frame sent either way, nobody asleep.
    link->view.reset(::MapViewOfFile(link->mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    link->buffer = static_cast<Buffer*>(link->view.get());
    // The socket only tells of its close from now on.
    link->socketClosed.reset(::WSACreateEvent());
    if (!link->buffer || !link->socketClosed ||
        ::WSAEventSelect(socket, link->socketClosed.get(), FD_CLOSE) != 0)
        return nullptr;
    return link;
}

bool SharedLink::Send(const uint8_t* payload, size_t size) {
    if (buffer->closed.load() || size > MaxFramePayload)
        return false;
    if (size != 0)
        std::memcpy(buffer->payload, payload, size);
    buffer->length = static_cast<uint32_t>(size);
    buffer->sentAt = Ticks();
    Direction& way = end == End::Pc ? buffer->toDevice : buffer->toPc;
    way.sent.fetch_add(1);
    // Read after the count went up: a receiver that began to sleep before it
    // saw the count has said so by now, and is woken.
    if (way.receiverSleeps.load())
        ::SetEvent(end == End::Pc ? toDevice.get() : toPc.get());
    return true;
}

RecvResult SharedLink::Receive(std::vector<uint8_t>& payload, DWORD timeoutMs) {
    Direction& way = end == End::Pc ? buffer->toPc : buffer->toDevice;
    const uint32_t wanted = received + 1;
    auto arrived = [&] { return way.sent.load() == wanted; };

    const int64_t perSecond = TicksPerSecond();
    const HANDLE waitFor[] = {end == End::Pc ? toPc.get() : toDevice.get(), socketClosed.get()};
    const int64_t giveUpAt =
        timeoutMs == INFINITE ? 0 : Ticks() + static_cast<int64_t>(timeoutMs) * perSecond / 1000;
    while (!arrived()) {
        if (buffer->closed.load())
            return RecvResult::Closed;
        way.receiverSleeps.store(1);
        // Looked at again after saying so: a frame sent in between is not
        // missed, and its sender wakes us otherwise.
        if (arrived()) {
            way.receiverSleeps.store(0);
            break;
        }
        DWORD waitMs = INFINITE;
        if (timeoutMs != INFINITE) {
            const int64_t left = giveUpAt - Ticks();
            if (left <= 0) {
                way.receiverSleeps.store(0);
                return RecvResult::Failed;
            }
            waitMs = static_cast<DWORD>(left * 1000 / perSecond) + 1;
        }
        const DWORD woken = ::WaitForMultipleObjects(2, waitFor, FALSE, waitMs);
        way.receiverSleeps.store(0);
        if (woken == WAIT_OBJECT_0 + 1)
            return RecvResult::Closed;
        if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT)
            return RecvResult::Failed;
        // A wake-up left over from a frame already taken is only a reason to
        // look again.
    }
    received = wanted;
    lastSentAt = buffer->sentAt;
    const uint32_t length = buffer->length;
    if (length > MaxFramePayload)
        return RecvResult::Oversized;
    payload.assign(buffer->payload, buffer->payload + length);
    return RecvResult::Ok;
}

void SharedLink::Close() {
    if (!buffer)
        return;
    buffer->closed.store(1);
    // Wakes the other end, and a receive of this end under way on another
    // thread.
    ::SetEvent(toPc.get());
    ::SetEvent(toDevice.get());
}

} // namespace link
