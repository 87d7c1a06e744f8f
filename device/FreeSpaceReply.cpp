#include "device/FreeSpaceReply.h"

#include <cstring>
#include <cwchar>
#include <string>

int64_t ParseFreeSpaceReply(const BYTE* reply, DWORD length) {
    if (!reply)
        return 0;
    // The reply need not hold a zero unit within its length: copy the units
    // it does hold into a string of our own, which always ends in one.
    std::wstring text(length / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(&text[0], reply, text.size() * sizeof(wchar_t));
    text.resize(std::wcslen(text.c_str()));
    return std::wcstoll(text.c_str(), nullptr, 10);
}
