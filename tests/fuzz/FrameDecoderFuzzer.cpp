// The link's frame splitting against a plain reading of the same stream, fed
// in pieces of every size as the socket delivers them.
#include <vector>

#include "emulator/link/FrameDecoder.h"
#include "emulator/link/LinkProtocol.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

struct Expected {
    std::vector<std::vector<uint8_t>> frames;
    bool oversized = false;
    bool started = false; // bytes of an unfinished frame are left
};

// The stream as the wire format reads it: whole frames until one is
// oversized or the bytes end.
Expected ReadStream(const uint8_t* data, size_t size) {
    Expected e;
    size_t at = 0;
    while (at < size) {
        if (size - at < 4) {
            e.started = true;
            break;
        }
        const uint32_t length =
            static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
            static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
        if (length > link::MaxFramePayload) {
            e.oversized = true;
            break;
        }
        if (size - at - 4 < length) {
            e.started = true;
            break;
        }
        e.frames.emplace_back(data + at + 4, data + at + 4 + length);
        at += 4 + length;
    }
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte chooses the sizes of the pieces the stream arrives in.
    uint32_t pieceSeed = data[0] * 2654435761u + 1;
    data += 1;
    size -= 1;
    const Expected expected = ReadStream(data, size);

    link::FrameDecoder decoder;
    std::vector<std::vector<uint8_t>> frames;
    size_t at = 0;
    while (at < size && decoder.Current() != link::FrameDecoder::State::Oversized) {
        pieceSeed = pieceSeed * 1103515245u + 12345u;
        const size_t piece = 1 + (pieceSeed >> 16) % 300;
        const size_t offered = piece < size - at ? piece : size - at;
        PELKO_FUZZ_CHECK(decoder.Wanted() > 0);
        const size_t used = decoder.Feed(data + at, offered);
        PELKO_FUZZ_CHECK(used <= offered);
        PELKO_FUZZ_CHECK(used == offered ||
                         decoder.Current() != link::FrameDecoder::State::Partial);
        at += used;
        if (decoder.Current() == link::FrameDecoder::State::Whole) {
            PELKO_FUZZ_CHECK(decoder.Wanted() == 0);
            frames.push_back(decoder.Take());
            PELKO_FUZZ_CHECK(decoder.Current() == link::FrameDecoder::State::Partial);
            PELKO_FUZZ_CHECK(!decoder.Started());
        }
    }
    const bool oversized = decoder.Current() == link::FrameDecoder::State::Oversized;
    PELKO_FUZZ_CHECK(frames == expected.frames);
    PELKO_FUZZ_CHECK(oversized == expected.oversized);
    PELKO_FUZZ_CHECK(oversized || decoder.Started() == expected.started);
    if (oversized) {
        PELKO_FUZZ_CHECK(decoder.Wanted() == 0 && decoder.Take().empty());
        uint8_t more = 0;
        PELKO_FUZZ_CHECK(decoder.Feed(&more, 1) == 0);
    }
    for (const auto& frame : frames)
        PELKO_FUZZ_CHECK(frame.size() <= link::MaxFramePayload);
    return 0;
}
