#include "framework/WinApp.h"

namespace {

CWinApp* application = nullptr;
HINSTANCE instanceHandle = nullptr;

} // namespace

CWinApp::CWinApp(LPCWSTR appName) : m_pszAppName(appName) {
    application = this;
}

CWinApp::~CWinApp() {
    if (application == this)
        application = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ExitInstance();
    return static_cast<int>(message.wParam);
}

int CWinApp::ExitInstance() {
    return 0;
}

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() {
    return application;
}

HINSTANCE AfxGetInstanceHandle() {
    return instanceHandle ? instanceHandle : ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return AfxGetInstanceHandle();
}

void AfxSetInstanceHandle(HINSTANCE instance) {
    instanceHandle = instance;
}

void AfxEnableControlContainer() {}

int AfxWinMain(HINSTANCE instance) {
    AfxSetInstanceHandle(instance);
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

// The program's entry point. It lives beside the application object's
// constructor so that every executable with an application object has it.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    return AfxWinMain(instance);
}
