#pragma once
// CProgressCtrl: a progress bar control ("msctls_progress32") of a dialog,
// bound to its window with DDX_Control. The dialog talks to it with the
// control's own PBM_ messages through SendMessage.
#include "framework/Wnd.h"

#include <commctrl.h>

class CProgressCtrl : public CWnd {};
