#include "device/FreeSpaceReply.h"

#include <cwchar>
#include <string>

int64_t ParseFreeSpaceReply(const BYTE* reply, DWORD length) {
    if (!reply)
        return 0;
    // The reply need not hold a zero unit within its length: take the units
    // up to the first zero, or up to the length, into a string of our own,
    // which always ends in one.
    const auto* units = reinterpret_cast<const wchar_t*>(reply);
    const size_t used = wcsnlen(units, length / sizeof(wchar_t));
    const std::wstring text(units, used);
    return std::wcstoll(text.c_str(), nullptr, 10);
}
