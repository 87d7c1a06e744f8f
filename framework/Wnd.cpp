#include "framework/Wnd.h"

#include <vector>

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(LPCWSTR text) {
    ::SetWindowTextW(m_hWnd, text);
}

std::wstring CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

BOOL CWnd::IsIconic() const {
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT rect) const {
    ::GetClientRect(m_hWnd, rect);
}

HWND CWnd::GetDlgItem(int controlId) const {
    return ::GetDlgItem(m_hWnd, controlId);
}

void CWnd::SetDlgItemText(int controlId, LPCWSTR text) {
    ::SetDlgItemTextW(m_hWnd, controlId, text);
}

int CWnd::MessageBox(LPCWSTR text, LPCWSTR caption, UINT type) {
    std::wstring title;
    if (!caption) {
        title = GetWindowText();
        caption = title.c_str();
    }
    return ::MessageBoxW(m_hWnd, text, caption, type);
}
