#include "app/DialogWindow.h"

HWND DialogWindow = nullptr;
