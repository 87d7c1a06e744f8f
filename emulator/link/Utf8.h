#pragma once
// UTF-16 to UTF-8, for devicesim's log and console lines and the emulator
// tests' messages. Defined here in full so that code which does not link the
// wire format library (the test support) shares it too.
#include <windows.h>

#include <string>

namespace link {

inline std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
    return out;
}

} // namespace link
