#pragma once
// pelko as a user has it: pelko.exe and insthelp.dll of this build copied
// into a fresh folder beside an update_files tree, started against a
// devicesim device, and driven through its windows.
#include "tests/driver/WindowDriver.h"
#include "tests/support/DeviceSim.h"
#include "tests/support/TempDir.h"

#include <string>

class StagedPelko {
public:
    // Stages pelko.exe of this build, or another build of it from the bin
    // folder (e.g. L"pelko_short_stop_wait.exe"), always as pelko.exe.
    explicit StagedPelko(const std::wstring& program = L"pelko.exe");

    const std::wstring& Folder() const { return stage_.Path(); }
    std::wstring UpdateFiles() const { return stage_ / L"update_files"; }
    // Writes a file below update_files (creating its folders).
    void AddUpdateFile(const std::wstring& relativePath, const std::string& bytes);
    // The size of insthelp.dll, which the device holds while free space is asked.
    static uint64_t HelperSize();

    // Starts the staged pelko.exe with this process's environment (which the
    // DeviceSim fixture has pointed at its device).
    driver::Process Start();

private:
    testsupport::TempDir stage_{L"stage"};
};

// Reads what a finished run shows: the final message box, after the window
// has reached it.
struct FinalBox {
    driver::MessageBoxInfo box;
    std::wstring statusText; // the progress window's text behind the box
    int barPosition = -1;
    HWND progressWindow = nullptr;
};
// Waits for the progress window and then for a message box of `process`.
bool WaitForFinalBox(const driver::Process& process, FinalBox& result, DWORD timeoutMs = 30000);
