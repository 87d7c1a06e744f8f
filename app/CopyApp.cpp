// The application object: it shows the progress dialog and ends with it.
#include "app/CopyDlg.h"
#include "framework/WinApp.h"

#include <commctrl.h>

class CopyApp : public CWinApp {
public:
    CopyApp() : CWinApp(nullptr) {}
    ~CopyApp() override = default;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CopyApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL CopyApp::InitInstance() {
    // Libraries are never looked for in the current folder; the Remote API
    // is loaded from the system folder only.
    ::SetDllDirectoryW(L"");
    static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "the structure of the common controls");
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    AfxEnableControlContainer();

    CopyDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // A worker that would not stop in time may still be inside a device call
    // and still use the process-wide lists: end the process here, before the
    // static destructors would pull them (and the connection) from under it.
    if (dialog.WorkerStillRunning())
        ::TerminateProcess(::GetCurrentProcess(), 0);
    // No message loop of our own: the process ends with the dialog.
    return FALSE;
}

static CopyApp theApp;
