// Times one run of a staged pelko.exe as a person at the screen sees it, for
// bench/copy_floor.sh: from the process's start to its progress window, to
// the first percentage in the window's text (the first block is on the
// device) and to the final message box. Reads pelko's peak working set while
// the box is up, then presses OK and waits for the end.
//
//   pelkostopwatch <stage folder> [limit in seconds, default 3600]
//
// Prints key=value lines; the exit code is 0 when pelko showed its box and
// ended.
#include "emulator/link/Ticks.h"
#include "emulator/link/Utf8.h"
#include "tests/driver/WindowDriver.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD PollIntervalMs = 20;
constexpr DWORD DefaultLimitSeconds = 3600;
constexpr DWORD WindowWaitMs = 60000;
constexpr DWORD ExitWaitMs = 30000;

// The text on one line: line breaks become spaces.
std::string OneLine(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c != L'\r')
            out += c == L'\n' ? L' ' : c;
    }
    const size_t first = out.find_first_not_of(L' ');
    return link::Utf8(first == std::wstring::npos ? std::wstring() : out.substr(first));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: pelkostopwatch <stage folder> [limit in seconds]\n");
        return 2;
    }
    const std::wstring stage = argv[1];
    const DWORD limitSeconds =
        argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : DefaultLimitSeconds;

    const link::Stopwatch clock;
    driver::Process pelko = driver::Process::Start(stage + L"\\pelko.exe", stage);
    if (!pelko.valid()) {
        fprintf(stderr, "pelkostopwatch: cannot start pelko.exe\n");
        return 1;
    }
    HWND window = driver::WaitForProgressWindow(pelko.id(), WindowWaitMs);
    if (!window) {
        fprintf(stderr, "pelkostopwatch: no progress window\n");
        return 1;
    }
    printf("window_s=%.3f\n", clock.Seconds());

    // The text is read only until the first percentage shows; after that,
    // only the box is looked for, so that the watching costs pelko little.
    double firstPercent = -1;
    HWND box = nullptr;
    while (!box && pelko.Running() && clock.Seconds() < limitSeconds) {
        if (firstPercent < 0 && driver::StatusText(window).find(L'%') != std::wstring::npos)
            firstPercent = clock.Seconds();
        box = driver::FindMessageBox(pelko.id());
        if (!box)
            ::Sleep(PollIntervalMs);
    }
    if (!box) {
        fprintf(stderr, "pelkostopwatch: no final box (%s)\n",
                pelko.Running() ? "time limit reached" : "pelko.exe ended");
        return 1;
    }
    const double boxShown = clock.Seconds();
    printf("first_percent_s=%.3f\n", firstPercent);
    printf("box_s=%.3f\n", boxShown);
    printf("copy_s=%.3f\n", firstPercent < 0 ? -1.0 : boxShown - firstPercent);

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(pelko.handle(), &memory, sizeof memory))
        printf("peak_working_set_kib=%llu\n",
               static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024));
    else
        printf("peak_working_set_kib=unknown\n");

    // The box's text is read once it has its controls.
    driver::WaitUntil([&] { return !driver::DescribeMessageBox(box).text.empty(); });
    printf("box_text=%s\n", OneLine(driver::DescribeMessageBox(box).text).c_str());
    fflush(stdout);
    driver::PressOk(box);
    const auto exitCode = pelko.WaitForExit(ExitWaitMs);
    if (!exitCode) {
        fprintf(stderr, "pelkostopwatch: pelko.exe did not end after OK\n");
        return 1;
    }
    printf("exit_code=%lu\n", *exitCode);
    return 0;
}
