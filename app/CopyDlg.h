#pragma once
// The progress dialog: one line of text above a progress bar. It starts the
// worker thread when it opens and shows what the status messages report.
#include "framework/Dialog.h"
#include "framework/ProgressCtrl.h"
#include "framework/String.h"
#include "framework/WinThread.h"

#include <cstdint>
#include <memory>

class CopyDlg : public CDialog {
public:
    CopyDlg();
    ~CopyDlg() override;

    // True while the worker thread runs; after DoModal, true only when the
    // window gave up waiting for a worker that would not stop.
    bool WorkerStillRunning() const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Enter (and any other IDOK command) and Esc, the close box, Alt+F4 and
    // WM_CLOSE (IDCANCEL) all end the dialog the same way, through EndRun.
    void OnOK() override;
    void OnCancel() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();

    // Status messages; wParam and lParam as the messages define them.
    LRESULT OnBlockCopied(WPARAM wParam, LPARAM lParam);
    LRESULT OnFileCopied(WPARAM wParam, LPARAM lParam);
    LRESULT OnAllCopied(WPARAM wParam, LPARAM lParam);
    LRESULT OnEndQuietly(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopyFailed(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopyStopped(WPARAM wParam, LPARAM lParam);
    // WM_TIMER while the window waits for a stopped worker to end.
    LRESULT OnStopTimer(WPARAM timerId, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // Every end of the dialog: the user's or the worker's cancel (IDCANCEL),
    // Enter or an IDOK command (IDOK), the end after a final box or a quiet
    // end (0), a failed start (IDOK).
    // While the worker still works, it asks the worker to stop and ends the
    // dialog only once the worker has ended, so that the end of the process
    // never cuts a device operation.
    void EndRun(int result);
    void StopWorkerThenEnd(int result);
    // Handlers clear the stop request through here; once the window has
    // asked the worker to stop, the request stays.
    void ClearStopFlag();
    // Shows a catalogue text in a box owned by the dialog.
    void ShowMessage(LPCWSTR text, UINT type);

    int64_t m_bytesCopied;
    HICON m_hIcon;
    CProgressCtrl m_progress;
    CString m_percentSuffix;
    int32_t m_lastPercent;
    // The worker's thread object, kept (not auto-deleted) so that its handle
    // tells when the worker has ended; null when the start failed.
    std::unique_ptr<CWinThread> m_pWorkerThread;
    bool m_stopRequested = false;
    int m_endResult = 0;
    DWORD m_stopRequestedAt = 0;
};
