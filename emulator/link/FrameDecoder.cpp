#include "emulator/link/FrameDecoder.h"

#include "emulator/link/LinkProtocol.h"

namespace link {

size_t FrameDecoder::Feed(const uint8_t* data, size_t count) {
    size_t used = 0;
    while (state_ == State::Partial && used < count) {
        if (headerBytes_ < HeaderBytes) {
            header_[headerBytes_++] = data[used++];
            if (headerBytes_ < HeaderBytes)
                continue;
            length_ = static_cast<uint32_t>(header_[0]) | static_cast<uint32_t>(header_[1]) << 8 |
                      static_cast<uint32_t>(header_[2]) << 16 |
                      static_cast<uint32_t>(header_[3]) << 24;
            if (length_ > MaxFramePayload) {
                state_ = State::Oversized;
                break;
            }
        } else {
            // The payload grows with what arrives, so a length that lies
            // costs nothing.
            const size_t take = count - used < Wanted() ? count - used : Wanted();
            payload_.insert(payload_.end(), data + used, data + used + take);
            used += take;
        }
        if (payload_.size() == length_)
            state_ = State::Whole;
    }
    return used;
}

size_t FrameDecoder::Wanted() const {
    if (state_ != State::Partial)
        return 0;
    if (headerBytes_ < HeaderBytes)
        return HeaderBytes - headerBytes_;
    return length_ - payload_.size();
}

std::vector<uint8_t> FrameDecoder::Take() {
    if (state_ != State::Whole)
        return {};
    std::vector<uint8_t> payload;
    payload.swap(payload_);
    state_ = State::Partial;
    headerBytes_ = 0;
    length_ = 0;
    return payload;
}

} // namespace link
