#include "framework/Dialog.h"

#include "framework/PaintDC.h"
#include "framework/WinApp.h"

namespace {

// Messages whose result a dialog procedure returns itself instead of
// storing it in DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

void DDX_Control(CDataExchange* pDX, int controlId, CWnd& control) {
    if (!control.m_hWnd)
        control.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(controlId);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal() {
    const INT_PTR result = ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_templateId),
                                             m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr,
                                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange{this, saveAndValidate};
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnPaint() {
    CPaintDC dc(this);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
        dialog->m_hWnd = window;
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog)
        return FALSE; // messages before WM_INITDIALOG (WM_SETFONT and the like)
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY)
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
    LRESULT result = 0;
    bool handled = HandleMappedMessage(message, wParam, lParam, &result);
    if (!handled && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            handled = true;
        } else if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            handled = true;
        }
    }
    if (!handled && message == WM_COMMAND) {
        CWinApp* app = AfxGetApp();
        handled = app && app->HandleMappedMessage(message, wParam, lParam, &result);
    }
    if (!handled)
        return FALSE;
    if (ReturnsResultDirectly(message))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
