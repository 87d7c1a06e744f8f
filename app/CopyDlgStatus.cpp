// The progress dialog's handlers of the status messages.
#include "app/CopyDlg.h"

#include "app/ProgressFigures.h"
#include "app/StatusMessages.h"
#include "catalogue/MessageCatalogue.h"
#include "catalogue/MessageText.h"
#include "framework/WinApp.h"
#include "res/ResourceIds.h"
#include "scan/UpdateList.h"

LRESULT CopyDlg::OnBlockCopied(WPARAM, LPARAM lParam) {
    m_bytesCopied += static_cast<int64_t>(static_cast<int32_t>(lParam));
    const int percent = PercentCopied(TotalBytes, m_bytesCopied);
    // Text and bar change only with the whole percentage.
    if (percent == m_lastPercent)
        return 0;
    CString text;
    text.Format(L"\r\n%i%s", percent, m_percentSuffix.GetString());
    SetDlgItemText(IDC_STATUS_TEXT, text);
    m_lastPercent = percent;

    PBRANGE range{};
    m_progress.SendMessage(PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
    m_progress.SendMessage(PBM_SETPOS, BarPosition(range.iHigh, TotalBytes, m_bytesCopied), 0);
    return 0;
}

LRESULT CopyDlg::OnFileCopied(WPARAM, LPARAM) {
    ClearStopFlag();
    return 0;
}

LRESULT CopyDlg::OnAllCopied(WPARAM, LPARAM) {
    if (m_stopRequested)
        return 0; // the window is closing already; no box
    m_bytesCopied = 0;
    ClearStopFlag();
    m_progress.SendMessage(PBM_SETPOS, 0, 0);
    const std::wstring text = LoadMessageText(AfxGetInstanceHandle(), MessageId[MSG_COPY_FINISHED]);
    ShowMessage(text.c_str(), MB_ICONINFORMATION);
    EndRun(0);
    return 0;
}

LRESULT CopyDlg::OnEndQuietly(WPARAM, LPARAM) {
    m_bytesCopied = 0;
    ClearStopFlag();
    m_progress.SendMessage(PBM_SETPOS, 0, 0);
    EndRun(0);
    return 0;
}

LRESULT CopyDlg::OnCopyFailed(WPARAM, LPARAM) {
    if (m_stopRequested)
        return 0; // the window is closing already; no box
    ClearStopFlag();
    m_progress.SendMessage(PBM_SETPOS, 0, 0);
    CString text;
    text.LoadString(MessageId[MSG_ERROR_OCCURRED]);
    ShowMessage(text, MB_ICONERROR);
    EndRun(0);
    return 0;
}

LRESULT CopyDlg::OnCopyStopped(WPARAM, LPARAM) {
    ClearStopFlag();
    m_progress.SendMessage(PBM_SETPOS, 0, 0);
    return 0;
}
