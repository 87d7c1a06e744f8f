#include "catalogue/MessageText.h"

#include "framework/UniqueResource.h"

#include <vector>

std::wstring LoadMessageText(HMODULE module, uint32_t id) {
    const WORD block = static_cast<WORD>(id / 16 + 1);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(block), RT_STRING);
    if (!resource)
        return {};
    const DWORD blockBytes = SizeofResource(module, resource);
    if (blockBytes == 0)
        return {};
    // The block's size in bytes exceeds the length of every text in it, so
    // the text is never cut short.
    std::vector<wchar_t> buffer(blockBytes, L'\0');
    const int length = LoadStringW(module, id, buffer.data(), static_cast<int>(blockBytes));
    if (length <= 0)
        return {};
    return std::wstring(buffer.data(), static_cast<size_t>(length));
}

std::wstring SystemErrorText(uint32_t code) {
    UniqueLocal text;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(text.put()), 0, nullptr);
    if (length == 0 || !text)
        return {};
    return std::wstring(static_cast<const wchar_t*>(text.get()));
}

std::wstring LastErrorText() {
    const DWORD code = GetLastError();
    return SystemErrorText(code);
}
