#pragma once
// CProgressCtrl: a progress bar control ("msctls_progress32") of a dialog,
// bound to its window with DDX_Control.
#include "framework/Wnd.h"

#include <commctrl.h>

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper) {
        SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    }
    void GetRange(int& lower, int& upper) const {
        PBRANGE range{};
        SendMessage(PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
        lower = range.iLow;
        upper = range.iHigh;
    }
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, position, 0)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS, 0, 0)); }
};
