#pragma once
// The give-up limit of the pelko.exe that the end-to-end test of a hung
// device stages (pelko_short_stop_wait.exe): the product's own 30 s would
// make that test wait for nothing.
#include <windows.h>

constexpr DWORD ShortStopWaitMs = 3000;
