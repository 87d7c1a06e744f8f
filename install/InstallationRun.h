#pragma once
// One installation run, step by step, on the worker thread.
#include <cstdint>
#include <string>

// How a run ended, as the worker reports it to the window.
enum class RunOutcome {
    Finished, // the copy ran (or nothing was to be copied); its messages tell the rest
    Warned,   // a warning box was shown; the window is to close
    Stopped,  // the window asked the run to stop
};

class InstallationRun {
public:
    RunOutcome Execute();

private:
    RunOutcome Warn(int messageRole);
    RunOutcome ClearOldCopiesAndCopy(const std::wstring& helperDevicePath);
    bool StopAsked() const;

    std::wstring root;
};
