#pragma once
// CWinApp: the one application object. The framework's wWinMain finds it,
// runs InitInstance and, when that returns TRUE, a message loop.
#include "framework/Wnd.h"

// The standard help command.
constexpr UINT ID_HELP = 0xE146;

class CWinApp : public CCmdTarget {
public:
    // Registers this object as the application; there is exactly one.
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    // The message loop, after InitInstance returned TRUE; returns the exit code.
    virtual int Run();
    // The exit code when InitInstance returned FALSE or the loop ended.
    virtual int ExitInstance();

    // The help command (ID_HELP). The program has no help file, so there is
    // nothing to open.
    void OnHelp();

    CWnd* m_pMainWnd = nullptr;
    LPCWSTR m_pszAppName;
};

CWinApp* AfxGetApp();
// The executable's module, and the module from which resources are loaded
// (the same module: there is no resource DLL).
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetInstanceHandle(HINSTANCE instance);
// The program hosts no ActiveX controls, so there is nothing to prepare.
void AfxEnableControlContainer();

// Runs the application object: InitInstance, then Run or ExitInstance.
int AfxWinMain(HINSTANCE instance);
