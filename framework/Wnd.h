#pragma once
// CWnd: a window handle and the calls that the application makes on it. The
// object does not destroy the window: a dialog's window ends with the dialog,
// and a control's with its parent.
#include "framework/MessageMap.h"

#include <string>

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    explicit CWnd(HWND window) : m_hWnd(window) {}

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    void SetWindowText(LPCWSTR text);
    std::wstring GetWindowText() const;
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;

    // The child control with the given id, or null.
    HWND GetDlgItem(int controlId) const;
    void SetDlgItemText(int controlId, LPCWSTR text);

    // A message box owned by this window, with the caption given or, when
    // caption is null, the application's window title.
    int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK);

    HWND m_hWnd = nullptr;
};
