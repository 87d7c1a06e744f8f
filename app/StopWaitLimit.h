#pragma once
// How long the progress window waits for a worker that it has asked to stop
// before it gives up and ends anyway: a device call that hangs must not keep
// the window up for ever.
#include <windows.h>

// Defined in its own translation unit (StopWaitLimit.cpp), so that a test
// program can link a definition of its own in its place.
extern const DWORD StopWaitLimitMs;
