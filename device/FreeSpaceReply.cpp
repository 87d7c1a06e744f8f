#include "device/FreeSpaceReply.h"

#include <cstddef>
#include <limits>

namespace {

// The reply's units are read one by one from their two bytes: wchar_t is not
// 16 bits everywhere, and the reply need not be aligned.
class ReplyText {
public:
    ReplyText(const uint8_t* reply, uint32_t length) : bytes(reply), units(length / 2) {
        // The text ends at the first zero unit, or where the length ends.
        while (end < units && Unit(end) != 0)
            ++end;
    }
    size_t End() const { return end; }
    char16_t Unit(size_t index) const {
        return static_cast<char16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
    }

private:
    const uint8_t* bytes;
    size_t units;
    size_t end = 0;
};

// White space of the "C" locale.
bool IsSpace(char16_t unit) {
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

bool IsDigit(char16_t unit) {
    return unit >= u'0' && unit <= u'9';
}

} // namespace

int64_t ParseFreeSpaceReply(const uint8_t* reply, uint32_t length) {
    if (!reply)
        return 0;
    const ReplyText text(reply, length);
    size_t at = 0;
    while (at < text.End() && IsSpace(text.Unit(at)))
        ++at;
    bool negative = false;
    if (at < text.End() && (text.Unit(at) == u'+' || text.Unit(at) == u'-')) {
        negative = text.Unit(at) == u'-';
        ++at;
    }
    // The magnitude is gathered unsigned, held at the limit of the sign's
    // range once it goes past it.
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    for (; at < text.End() && IsDigit(text.Unit(at)); ++at) {
        const uint64_t digit = static_cast<uint64_t>(text.Unit(at) - u'0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (!negative)
        return static_cast<int64_t>(magnitude);
    if (magnitude == limit)
        return std::numeric_limits<int64_t>::min();
    return -static_cast<int64_t>(magnitude);
}
