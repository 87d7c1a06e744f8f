// Linked into pelko_short_stop_wait.exe in place of app/StopWaitLimit.cpp:
// the same program as pelko.exe, with a give-up limit a test can wait out.
#include "app/StopWaitLimit.h"
#include "tests/e2e/ShortStopWait.h"

extern const DWORD StopWaitLimitMs = ShortStopWaitMs;
