// Reading the helper library's free-space reply.
#include "device/FreeSpaceReply.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

struct ReplyCase {
    std::wstring units; // the reply's UTF-16 units, zero units included
    DWORD length;       // reported output length in bytes
    int64_t expected;
};

std::vector<BYTE> Bytes(const std::wstring& units) {
    std::vector<BYTE> bytes(units.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), units.data(), bytes.size());
    return bytes;
}

DWORD Len(const std::wstring& units) {
    return static_cast<DWORD>(units.size() * sizeof(wchar_t));
}

TEST(FreeSpaceReply, ParsesLikeWcstollBase10WithinTheReply) {
    const int64_t max = std::numeric_limits<int64_t>::max();
    const int64_t min = std::numeric_limits<int64_t>::min();
    using namespace std::string_literals;
    const std::wstring twelve = L"  123456789012\0"s;
    const std::wstring letter = L"x5\0"s;
    const std::wstring plus = L"+5\0"s;
    const std::wstring minus = L"-5\0"s;
    const std::wstring white = L"\t\n 7\0"s;
    const std::wstring largest = L"9223372036854775807\0"s;
    const std::wstring smallest = L"-9223372036854775808\0"s;
    const std::wstring tooLarge = L"99999999999999999999\0"s;
    const std::wstring tooSmall = L"-99999999999999999999\0"s;
    const std::wstring trailing = L"42abc\0"s;
    const std::wstring zeroInside = L"12\0 34\0"s;
    const std::wstring unterminated = L"1234599"s; // only "123" lies within the length
    const std::wstring otherWhite = L"\v\f\r9\0"s;
    const std::wstring noBreakSpace = L"\u00a05\0"s; // white space only outside the "C" locale
    const std::wstring ideographicSpace = L"\u30005\0"s;
    const std::wstring twoSigns = L"+-5\0"s;
    const std::wstring signAlone = L"-\0"s;
    const std::wstring leadingZeros = L"000000000000000000000000000042\0"s;
    const std::wstring wideDigit = L"\uff15\0"s; // FULLWIDTH DIGIT FIVE is no digit here
    const ReplyCase cases[] = {
        {twelve, Len(twelve), 123456789012},
        {letter, Len(letter), 0},
        {plus, Len(plus), 5},
        {minus, Len(minus), -5},
        {white, Len(white), 7},
        {largest, Len(largest), max},
        {smallest, Len(smallest), min},
        {tooLarge, Len(tooLarge), max},
        {tooSmall, Len(tooSmall), min},
        {trailing, Len(trailing), 42},
        {zeroInside, Len(zeroInside), 12},
        {unterminated, 3 * sizeof(wchar_t), 123},
        {unterminated, 3 * sizeof(wchar_t) + 1, 123}, // a half unit is not read
        {unterminated, 0, 0},
        {unterminated, Len(unterminated), 1234599},
        {otherWhite, Len(otherWhite), 9},
        {noBreakSpace, Len(noBreakSpace), 0},
        {ideographicSpace, Len(ideographicSpace), 0},
        {twoSigns, Len(twoSigns), 0},
        {signAlone, Len(signAlone), 0},
        {leadingZeros, Len(leadingZeros), 42},
        {wideDigit, Len(wideDigit), 0},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "reply of " << c.units.size() << " units, length "
                                        << c.length << ", expected " << c.expected);
        // Exactly as long as the reported length, so that reading past it
        // would be caught by the heap checks of the runtime.
        std::vector<BYTE> reply = Bytes(c.units);
        reply.resize(c.length > reply.size() ? reply.size() : c.length);
        EXPECT_EQ(c.expected, ParseFreeSpaceReply(reply.data(), c.length));
    }
    EXPECT_EQ(0, ParseFreeSpaceReply(nullptr, 0));
}

} // namespace
