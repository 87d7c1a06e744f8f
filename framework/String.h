#pragma once
// CString: the framework's wide string, with loading from the string table
// and printf-style formatting.
#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(LPCWSTR text) : m_text(text ? text : L"") {} // NOLINT: converts like the framework's
    CString(std::wstring text) : m_text(std::move(text)) {}

    // Replaces the text with string `id` of the first of the application's
    // resource modules that holds it. Returns FALSE, and leaves the string
    // empty, when no module holds a text under that id.
    BOOL LoadString(UINT id);

    // printf-style formatting with the C library's wide rules: %s takes a
    // wide string, %i an int.
    void Format(LPCWSTR format, ...);

    LPCWSTR GetString() const { return m_text.c_str(); }
    operator LPCWSTR() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    const std::wstring& str() const { return m_text; }

private:
    std::wstring m_text;
};
