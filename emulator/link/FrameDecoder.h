#pragma once
// Splits the bytes received on a connection into frames: a u32 little-endian
// payload length, then the payload. Portable code: the link's sockets and the
// native fuzzer use it alike.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace link {

class FrameDecoder {
public:
    enum class State {
        Partial,  // the frame under way needs more bytes
        Whole,    // a whole frame is there, for Take
        Oversized // its length is above MaxFramePayload: the connection closes
    };

    // Takes bytes of the frame under way and returns how many it took: all
    // of them while the frame stays partial; it stops at the frame's end, or
    // at its length once that shows it oversized. The rest belongs to the
    // next frame.
    size_t Feed(const uint8_t* data, size_t count);
    // Bytes missing from the length, then from the payload: receiving at
    // most so many never reads into the next frame. 0 once the frame is
    // whole or oversized.
    size_t Wanted() const;
    State Current() const { return state_; }
    // True once any byte of the frame under way has arrived.
    bool Started() const { return headerBytes_ != 0; }
    // The whole frame's payload; the decoder then waits for the next frame.
    // Empty unless Current() is Whole.
    std::vector<uint8_t> Take();

private:
    static constexpr size_t HeaderBytes = 4;
    State state_ = State::Partial;
    uint8_t header_[HeaderBytes] = {};
    size_t headerBytes_ = 0;
    uint32_t length_ = 0;
    std::vector<uint8_t> payload_;
};

} // namespace link
