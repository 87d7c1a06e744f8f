#include "framework/String.h"

#include "framework/WinApp.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace {

// The text of string `id` in the string table of `module`, read from the
// counted strings of its block; false when the block or the text is missing.
bool ReadStringResource(HMODULE module, UINT id, std::wstring* text) {
    if (!module)
        return false;
    HRSRC block = ::FindResourceW(module, MAKEINTRESOURCEW((id >> 4) + 1), RT_STRING);
    if (!block)
        return false;
    const DWORD size = ::SizeofResource(module, block);
    HGLOBAL loaded = ::LoadResource(module, block);
    const auto* data = static_cast<const WCHAR*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!data)
        return false;
    const WCHAR* end = data + size / sizeof(WCHAR);
    for (UINT index = 0; index < (id & 15); ++index) {
        if (data >= end)
            return false;
        data += 1 + *data;
    }
    if (data >= end || *data == 0 || data + 1 + *data > end)
        return false;
    text->assign(data + 1, *data);
    return true;
}

} // namespace

BOOL CString::LoadString(UINT id) {
    m_text.clear();
    HMODULE resources = AfxGetResourceHandle();
    if (ReadStringResource(resources, id, &m_text))
        return TRUE;
    HMODULE instance = AfxGetInstanceHandle();
    return instance != resources && ReadStringResource(instance, id, &m_text);
}

void CString::Format(LPCWSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = ::_vscwprintf(format, measuring);
    va_end(measuring);
    if (length < 0) {
        m_text.clear();
    } else {
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
        ::_vsnwprintf(buffer.data(), buffer.size(), format, arguments);
        m_text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(arguments);
}
