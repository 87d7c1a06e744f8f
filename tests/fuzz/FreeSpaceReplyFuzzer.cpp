// The free-space reply parser against the C library's own wide-string
// conversion (wcstoll, base 10, "C" locale) over the same units.
#include <cwchar>

#include "device/FreeSpaceReply.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The whole input is the reply: a read past its length is caught by the
    // address sanitizer, as libFuzzer's copy of the input ends there.
    const auto length = static_cast<uint32_t>(size);
    const int64_t parsed = ParseFreeSpaceReply(data, length);

    // The reference reads the units up to the first zero unit.
    std::wstring text = fuzz::Utf16Units(data, size);
    text = text.substr(0, text.find(L'\0'));
    const long long expected = std::wcstoll(text.c_str(), nullptr, 10);
    PELKO_FUZZ_CHECK(parsed == expected);

    PELKO_FUZZ_CHECK(ParseFreeSpaceReply(nullptr, length) == 0);
    return 0;
}
