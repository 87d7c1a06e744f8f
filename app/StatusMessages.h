#pragma once
// The status messages by which the copying side reports to the progress
// window, and the stop byte through which a copy can be told to stop.
#include <windows.h>

#include <cstdint>

enum : UINT {
    UM_BLOCK_COPIED = 0x8101, // wParam: percent of the file; lParam: bytes read
    UM_COPY_FAILED = 0x8102,  // wParam: tick count; lParam: last error
    UM_COPY_STOPPED = 0x8103, // wParam: tick count
    UM_FILE_COPIED = 0x8110,  // wParam: tick count
    UM_ALL_COPIED = 0x8111,   // wParam: tick count
    UM_END_QUIETLY = 0x8112,
};

// Nonzero asks the transfer engine to stop; the dialog writes 0 to it.
extern volatile uint8_t StopFlag;
