#include "tests/driver/WindowDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace driver {

namespace {

const wchar_t* const DialogClass = L"#32770";
const wchar_t* const Caption = L"pelko";
constexpr int MessageBoxTextId = 0xFFFF;

struct DialogSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectPelkoDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (search->processId != 0 && owner != search->processId)
        return TRUE;
    if (ClassName(window) == DialogClass && WindowText(window) == Caption)
        search->found.push_back(window);
    return TRUE;
}

HWND IconControl(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == L"Static" && (WindowStyle(child) & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

struct SystemIcon {
    BoxIcon kind;
    LPCWSTR id;
};
const SystemIcon SystemIcons[] = {
    {BoxIcon::Error, IDI_HAND},
    {BoxIcon::Warning, IDI_EXCLAMATION},
    {BoxIcon::Information, IDI_ASTERISK},
    {BoxIcon::Question, IDI_QUESTION},
};

// The pixels of a width x height area, drawn by `draw` into a memory bitmap.
std::vector<uint32_t> Capture(int width, int height, const std::function<void(HDC)>& draw) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        draw(memory);
        ::GdiFlush();
        std::memcpy(pixels.data(), bits, pixels.size() * sizeof(uint32_t));
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    for (uint32_t& pixel : pixels)
        pixel &= 0x00FFFFFF;
    return pixels;
}

BoxIcon IconOf(HWND box) {
    HWND control = IconControl(box);
    if (!control || !::IsWindowVisible(control))
        return BoxIcon::None;
    // A box without an icon keeps the control, with no icon in it.
    const auto shown = reinterpret_cast<HICON>(::SendMessageW(control, STM_GETICON, 0, 0));
    if (!shown)
        return BoxIcon::None;
    // System icons are shared within a process; another process has its own.
    for (const SystemIcon& candidate : SystemIcons) {
        if (shown == ::LoadIconW(nullptr, candidate.id))
            return candidate.kind;
    }
    return IconByPixels(control);
}

} // namespace

// Compares what it draws on the
// screen with each system icon drawn on the same background.
BoxIcon IconByPixels(HWND control) {
    RECT area;
    ::GetClientRect(control, &area);
    const int width = area.right, height = area.bottom;
    if (width <= 0 || height <= 0)
        return BoxIcon::Unknown;
    // Read from the screen: a window's own surface belongs to its process.
    POINT origin{0, 0};
    ::ClientToScreen(control, &origin);
    const std::vector<uint32_t> shown = Capture(width, height, [&](HDC target) {
        HDC screen = ::GetDC(nullptr);
        ::BitBlt(target, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
        ::ReleaseDC(nullptr, screen);
    });
    const uint32_t background = shown[0];
    if (std::all_of(shown.begin(), shown.end(), [&](uint32_t p) { return p == background; }))
        return BoxIcon::None; // nothing drawn

    BoxIcon best = BoxIcon::Unknown;
    size_t bestMatches = shown.size() * 9 / 10; // at least 90 % of the pixels
    for (const SystemIcon& candidate : SystemIcons) {
        HICON icon = ::LoadIconW(nullptr, candidate.id);
        const std::vector<uint32_t> drawn = Capture(width, height, [&](HDC target) {
            const COLORREF colour =
                RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
            HBRUSH brush = ::CreateSolidBrush(colour);
            RECT all{0, 0, width, height};
            ::FillRect(target, &all, brush);
            ::DeleteObject(brush);
            ::DrawIconEx(target, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
        });
        size_t matches = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            matches += shown[i] == drawn[i];
        if (matches > bestMatches) {
            bestMatches = matches;
            best = candidate.kind;
        }
    }
    return best;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD intervalMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(intervalMs);
    }
}

Process Process::Start(const std::wstring& exePath, const std::wstring& workingFolder,
                       const std::vector<std::wstring>* environment,
                       const std::wstring& arguments) {
    Process started;
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::vector<wchar_t> block;
    if (environment) {
        for (const std::wstring& entry : *environment)
            block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
        block.push_back(L'\0');
        if (environment->empty())
            block.push_back(L'\0');
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, environment ? block.data() : nullptr,
                          workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
        return started;
    UniqueHandle thread(info.hThread);
    started.process_.reset(info.hProcess);
    started.id_ = info.dwProcessId;
    return started;
}

Process::~Process() {
    if (Running())
        Terminate();
}

std::optional<DWORD> Process::WaitForExit(DWORD timeoutMs) {
    if (!process_ || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_.get(), &code))
        return std::nullopt;
    return code;
}

bool Process::Running() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

void Process::Terminate() {
    if (!process_)
        return;
    ::TerminateProcess(process_.get(), 0xDEAD);
    ::WaitForSingleObject(process_.get(), DefaultTimeoutMs);
}

std::vector<std::wstring> CurrentEnvironment() {
    std::vector<std::wstring> entries;
    wchar_t* block = ::GetEnvironmentStringsW();
    if (!block)
        return entries;
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
        entries.emplace_back(entry);
    ::FreeEnvironmentStringsW(block);
    return entries;
}

void SetVariable(std::vector<std::wstring>& environment, const std::wstring& name,
                 const std::wstring& value) {
    const std::wstring prefix = name + L"=";
    for (std::wstring& entry : environment) {
        if (entry.size() >= prefix.size() &&
            ::CompareStringOrdinal(entry.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                   static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL) {
            entry = prefix + value;
            return;
        }
    }
    environment.push_back(prefix + value);
}

std::vector<HWND> PelkoDialogs(DWORD processId) {
    DialogSearch search{processId, {}};
    ::EnumWindows(&CollectPelkoDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindProgressWindow(DWORD processId) {
    for (HWND window : PelkoDialogs(processId)) {
        if (::GetDlgItem(window, ProgressBarId))
            return window;
    }
    return nullptr;
}

HWND WaitForProgressWindow(DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindProgressWindow(processId)) != nullptr; }, timeoutMs);
    return found;
}

std::wstring WindowText(HWND window) {
    wchar_t buffer[1024] = {};
    // WM_GETTEXT reads a control of another process as well.
    const LRESULT length =
        ::SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring ControlText(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    return control ? WindowText(control) : std::wstring();
}

LONG_PTR WindowStyle(HWND window) {
    return ::GetWindowLongPtrW(window, GWL_STYLE);
}

LONG_PTR WindowExStyle(HWND window) {
    return ::GetWindowLongPtrW(window, GWL_EXSTYLE);
}

std::wstring ClassName(HWND window) {
    wchar_t buffer[256] = {};
    const int length = ::GetClassNameW(window, buffer, 256);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring StatusText(HWND progressWindow) {
    return ControlText(progressWindow, StatusTextId);
}

int BarPosition(HWND progressWindow) {
    return static_cast<int>(
        ::SendMessageW(::GetDlgItem(progressWindow, ProgressBarId), PBM_GETPOS, 0, 0));
}

BarRange GetBarRange(HWND progressWindow) {
    // The limits come back as results, so no memory crosses processes.
    HWND bar = ::GetDlgItem(progressWindow, ProgressBarId);
    return BarRange{static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, TRUE, 0)),
                    static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0))};
}

HWND FindMessageBox(DWORD processId) {
    for (HWND window : PelkoDialogs(processId)) {
        if (!::GetDlgItem(window, ProgressBarId))
            return window;
    }
    return nullptr;
}

MessageBoxInfo DescribeMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.caption = WindowText(box);
    info.text = ControlText(box, MessageBoxTextId);
    info.icon = IconOf(box);
    info.owner = ::GetWindow(box, GW_OWNER);
    info.topmost = (WindowExStyle(box) & WS_EX_TOPMOST) != 0;
    return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    HWND box = nullptr;
    // The box's text is set while it is created; wait until it is there.
    if (!WaitUntil(
            [&] {
                box = FindMessageBox(processId);
                return box && ::IsWindowVisible(box);
            },
            timeoutMs))
        return std::nullopt;
    return DescribeMessageBox(box);
}

bool PressOk(HWND box) {
    return ::PostMessageW(box, WM_COMMAND, IDOK, 0) != FALSE;
}

bool PressCancel(HWND window) {
    return ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0) != FALSE;
}

bool CloseWindow(HWND window) {
    return ::PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
}

bool PressCloseBox(HWND window) {
    return ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}

namespace {

// The lParam of a key message: repeat count 1, the key's scan code, and for
// a release the previous-state and transition bits.
LPARAM KeyData(UINT key, bool release, bool altDown) {
    DWORD flags = 0;
    if (altDown)
        flags |= KF_ALTDOWN;
    if (release)
        flags |= KF_REPEAT | KF_UP;
    const DWORD data = 1 | (::MapVirtualKeyW(key, MAPVK_VK_TO_VSC) << 16) | (flags << 16);
    return static_cast<LPARAM>(data);
}

bool PressKey(HWND window, UINT key, bool altDown) {
    const UINT down = altDown ? WM_SYSKEYDOWN : WM_KEYDOWN;
    const UINT up = altDown ? WM_SYSKEYUP : WM_KEYUP;
    if (!::PostMessageW(window, down, key, KeyData(key, false, altDown)))
        return false;
    // The key-down may have ended the window already; the release then finds
    // no window, as the person's key would.
    ::PostMessageW(window, up, key, KeyData(key, true, altDown));
    return true;
}

} // namespace

bool SendEscape(HWND dialog) {
    return PressKey(dialog, VK_ESCAPE, false);
}

bool SendEnter(HWND dialog) {
    return PressKey(dialog, VK_RETURN, false);
}

bool SendAltF4(HWND window) {
    return PressKey(window, VK_F4, true);
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !::IsWindow(window); }, timeoutMs);
}

std::wstring BinFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

std::wstring PelkoExePath() {
    return BinFolder() + L"\\pelko.exe";
}

} // namespace driver
