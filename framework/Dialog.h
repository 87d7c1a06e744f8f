#pragma once
// CDialog: a modal dialog from a dialog template of the application's
// resources, whose messages go through the message map of its class.
//
// Besides the map, the dialog calls its virtual operations: OnInitDialog for
// WM_INITDIALOG, OnOK and OnCancel for the commands IDOK and IDCANCEL (Esc,
// the close box and WM_CLOSE arrive as IDCANCEL). Commands that neither the
// map nor these take go to the application object's map.
#include "framework/Wnd.h"

class CDialog;

// What DoDataExchange binds controls to.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate; // FALSE: from the object to the window
};

// Binds `control` to the dialog's child window with the given id.
void DDX_Control(CDataExchange* pDX, int controlId, CWnd& control);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog until EndDialog; returns the value given to EndDialog,
    // or -1 when the dialog cannot be created.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    // Painting with nothing of the dialog's own: validates the update region.
    void OnPaint();

    BOOL UpdateData(BOOL saveAndValidate);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    CWnd* m_pParentWnd;
};
