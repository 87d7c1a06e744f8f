// Starts pelko.exe from a staged folder and watches it as a person at the
// screen would: prints every change of the progress window's text and bar,
// the final message box, saves screenshots of the window mid-copy and of the
// final box, and, when asked to, presses OK on that box.
//
//   pelkowatch <stage folder> <screenshot folder, as a Unix path> [--press-ok]
#include "emulator/link/Utf8.h"
#include "tests/driver/WindowDriver.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The text line as one line: its CR LF shown as " / ".
std::string OneLine(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\r')
            continue;
        out += c == L'\n' ? std::wstring(L" / ") : std::wstring(1, c);
    }
    return link::Utf8(out);
}

const char* IconName(driver::BoxIcon icon) {
    switch (icon) {
    case driver::BoxIcon::Error:
        return "error";
    case driver::BoxIcon::Warning:
        return "exclamation";
    case driver::BoxIcon::Information:
        return "information";
    case driver::BoxIcon::Question:
        return "question";
    case driver::BoxIcon::None:
        return "none";
    default:
        return "unknown";
    }
}

// Saves the screen area that holds `windows` (with a margin) as a PNG. The
// picture is taken from the X display with ImageMagick's import: Wine's own
// screen device context does not show other processes' windows.
bool SaveScreenshot(const std::vector<HWND>& windows, const std::string& unixPath) {
    RECT area{};
    bool first = true;
    for (HWND window : windows) {
        RECT r{};
        if (!window || !::GetWindowRect(window, &r))
            continue;
        if (first)
            area = r;
        else
            ::UnionRect(&area, &area, &r);
        first = false;
    }
    if (first)
        return false;
    ::InflateRect(&area, 12, 12);
    area.left = area.left < 0 ? 0 : area.left;
    area.top = area.top < 0 ? 0 : area.top;
    char geometry[64];
    snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", area.right - area.left,
             area.bottom - area.top, area.left, area.top);
    std::wstring command = L"/usr/bin/import -window root -crop " +
                           std::wstring(geometry, geometry + strlen(geometry)) + L" +repage \"" +
                           std::wstring(unixPath.begin(), unixPath.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(L"/usr/bin/import", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    ::WaitForSingleObject(processHandle.get(), 15000);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: pelkowatch <stage folder> <screenshot folder> [--press-ok]\n");
        return 2;
    }
    const std::wstring stage = argv[1];
    const std::string shots = link::Utf8(argv[2]);
    const bool pressOk = argc > 3 && std::wstring(argv[3]) == L"--press-ok";

    const DWORD start = ::GetTickCount();
    auto stamp = [&] { return (::GetTickCount() - start) / 1000.0; };

    driver::Process pelko = driver::Process::Start(stage + L"\\pelko.exe", stage);
    if (!pelko.valid()) {
        fprintf(stderr, "pelkowatch: cannot start pelko.exe\n");
        return 1;
    }
    HWND window = driver::WaitForProgressWindow(pelko.id(), 20000);
    if (!window) {
        fprintf(stderr, "pelkowatch: no progress window\n");
        return 1;
    }
    printf("%6.2f s  window \"%s\" opened\n", stamp(),
           link::Utf8(driver::WindowText(window)).c_str());

    std::wstring lastText = L"\x1";
    int lastBar = -1;
    bool midCopyShot = false;
    HWND box = nullptr;
    while (!box && pelko.Running()) {
        std::wstring text = driver::StatusText(window);
        int bar = driver::BarPosition(window);
        if (text != lastText || bar != lastBar) {
            printf("%6.2f s  text: %-52s bar: %4d/1000\n", stamp(), OneLine(text).c_str(), bar);
            fflush(stdout);
            lastText = text;
            lastBar = bar;
        }
        if (!midCopyShot && bar >= 400) {
            midCopyShot = SaveScreenshot({window}, shots + "/mid-copy.png");
        }
        box = driver::FindMessageBox(pelko.id());
        ::Sleep(25);
    }
    int status = 0;
    if (box) {
        ::Sleep(300); // let the box finish drawing
        driver::MessageBoxInfo info = driver::DescribeMessageBox(box);
        printf("%6.2f s  message box \"%s\" (%s icon): %s\n", stamp(),
               link::Utf8(info.caption).c_str(), IconName(info.icon),
               link::Utf8(info.text).c_str());
        printf("          behind it the window shows: %s, bar %d/1000\n",
               OneLine(driver::StatusText(window)).c_str(), driver::BarPosition(window));
        SaveScreenshot({window, box}, shots + "/final-box.png");
        fflush(stdout);
        if (pressOk) {
            ::Sleep(700);
            printf("%6.2f s  OK pressed\n", stamp());
            driver::PressOk(box);
        }
    }
    auto exitCode = pelko.WaitForExit(pressOk ? 30000 : INFINITE);
    if (exitCode)
        printf("%6.2f s  pelko.exe ended (exit code %lu)\n", stamp(), *exitCode);
    else {
        printf("%6.2f s  pelko.exe did not end\n", stamp());
        status = 1;
    }
    return status;
}
