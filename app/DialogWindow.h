#pragma once
#include <windows.h>

// The progress dialog's window, stored before the worker thread starts.
extern HWND DialogWindow;
