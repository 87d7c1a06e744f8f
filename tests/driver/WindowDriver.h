#pragma once
// Drives pelko's windows as a person would, from a test process: starts the
// program, finds its progress window and message boxes, reads what they show
// and presses their buttons. Every wait polls with a time-out; nothing here
// takes screenshots (those are taken from the shell with `import`).
#include "framework/UniqueResource.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace driver {

constexpr DWORD DefaultTimeoutMs = 10000;
constexpr int ProgressBarId = 1000;
constexpr int StatusTextId = 1001;

// Polls `condition` every `intervalMs` until it holds or `timeoutMs` passed;
// returns whether it held. Keeps the calling thread's messages flowing.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = DefaultTimeoutMs,
               DWORD intervalMs = 20);

// A started program. The destructor ends it if it still runs, so a failing
// test leaves no process behind.
class Process {
public:
    // Starts `exePath` with the given working folder (empty: the test's own),
    // when `environment` is given exactly these NAME=value entries, and the
    // command-line arguments (pelko takes none). Returns a Process whose
    // valid() is false on failure.
    static Process Start(const std::wstring& exePath, const std::wstring& workingFolder = L"",
                         const std::vector<std::wstring>* environment = nullptr,
                         const std::wstring& arguments = L"");

    Process() = default;
    Process(Process&&) = default;
    Process& operator=(Process&&) = default;
    ~Process();

    bool valid() const { return process_.valid(); }
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }

    // Waits for the end; returns the exit code, or nothing on time-out.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = DefaultTimeoutMs);
    bool Running() const;
    void Terminate();

private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

// The environment of the test process as NAME=value entries, for changing
// before Process::Start.
std::vector<std::wstring> CurrentEnvironment();
// Sets NAME=value in `environment` (replacing an existing entry).
void SetVariable(std::vector<std::wstring>& environment, const std::wstring& name,
                 const std::wstring& value);

// The top-level dialog windows (class #32770) titled "pelko" of process
// `processId` (0: of any process), in z-order.
std::vector<HWND> PelkoDialogs(DWORD processId = 0);

// The progress window: a "pelko" dialog that has control 1000.
HWND FindProgressWindow(DWORD processId = 0);
HWND WaitForProgressWindow(DWORD processId = 0, DWORD timeoutMs = DefaultTimeoutMs);

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int controlId);
LONG_PTR WindowStyle(HWND window);
LONG_PTR WindowExStyle(HWND window);
// The window's class name, e.g. "#32770" or "Static".
std::wstring ClassName(HWND window);

// Text of control 1001, position and range of control 1000.
std::wstring StatusText(HWND progressWindow);
int BarPosition(HWND progressWindow);
struct BarRange {
    int low;
    int high;
};
BarRange GetBarRange(HWND progressWindow);

enum class BoxIcon { None, Error, Warning, Information, Question, Unknown };

struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text; // control 0xFFFF
    // Identified by the icon control's image: its handle in the same process,
    // its drawn pixels in another.
    BoxIcon icon = BoxIcon::None;
    HWND owner = nullptr; // GetWindow(GW_OWNER)
    bool topmost = false;
};

// A message box: a "pelko" dialog without control 1000.
HWND FindMessageBox(DWORD processId = 0);
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId = 0,
                                                DWORD timeoutMs = DefaultTimeoutMs);
MessageBoxInfo DescribeMessageBox(HWND box);
// The system icon that a static icon control shows, judged by its pixels on
// the screen (works for windows of other processes).
BoxIcon IconByPixels(HWND iconControl);

// Presses OK on a message box (posted, so it returns at once).
bool PressOk(HWND box);
// The command IDCANCEL, as a Cancel button would send it.
bool PressCancel(HWND window);
// WM_CLOSE, as another program (or pelko's own worker) closes a window.
bool CloseWindow(HWND window);
// The close box of the caption: the WM_SYSCOMMAND SC_CLOSE that it sends.
bool PressCloseBox(HWND window);

// Keys, posted to the window that has the focus as the keyboard delivers
// them: a press and a release. pelko's dialog has no control that takes the
// focus, so its keys go to the dialog window itself.
bool SendEscape(HWND dialog);
bool SendEnter(HWND dialog);
// F4 pressed and released while Alt is held (WM_SYSKEYDOWN and WM_SYSKEYUP
// with the Alt bit set).
bool SendAltF4(HWND window);

// Waits until `window` no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = DefaultTimeoutMs);

// The build's bin folder (the folder of the running test executable) and
// the path of pelko.exe in it.
std::wstring BinFolder();
std::wstring PelkoExePath();

} // namespace driver
