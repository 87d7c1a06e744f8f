#include "app/CopyDlg.h"

#include "app/DialogWindow.h"
#include "app/IconPlacement.h"
#include "app/ProgressRange.h"
#include "app/StatusMessages.h"
#include "app/StopWaitLimit.h"
#include "catalogue/MessageCatalogue.h"
#include "catalogue/MessageText.h"
#include "framework/PaintDC.h"
#include "framework/WinApp.h"
#include "install/WorkerThread.h"
#include "res/ResourceIds.h"

BEGIN_MESSAGE_MAP(CopyDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_MESSAGE(UM_BLOCK_COPIED, OnBlockCopied)
ON_MESSAGE(UM_FILE_COPIED, OnFileCopied)
ON_MESSAGE(UM_ALL_COPIED, OnAllCopied)
ON_MESSAGE(UM_END_QUIETLY, OnEndQuietly)
ON_MESSAGE(UM_COPY_FAILED, OnCopyFailed)
ON_MESSAGE(UM_COPY_STOPPED, OnCopyStopped)
ON_MESSAGE(WM_TIMER, OnStopTimer)
END_MESSAGE_MAP()

namespace {
constexpr UINT_PTR StopPollTimer = 1;
constexpr UINT StopPollMs = 50;
} // namespace

CopyDlg::CopyDlg()
    : CDialog(IDD_COPY_DIALOG, nullptr), m_bytesCopied(0), m_hIcon(nullptr), m_lastPercent(-1),
      m_pWorkerThread() {
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    LanguageCode = 1;
    SelectLanguage(LanguageCode);
}

void CopyDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL CopyDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    DialogWindow = GetSafeHwnd();
    m_progress.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, ProgressBarUpperLimit));
    m_progress.SendMessage(PBM_SETSTEP, 1, 0);
    m_bytesCopied = 0;
    SetWindowText(CaptionText.c_str());
    m_percentSuffix.LoadString(MessageId[MSG_PERCENT_COPIED]);
    SetDlgItemText(IDC_STATUS_TEXT,
                   LoadMessageText(AfxGetInstanceHandle(), MessageId[MSG_WAIT_APPLYING]).c_str());

    // Started suspended only to keep its object before it can run and end.
    m_pWorkerThread.reset(AfxBeginThread(WorkerThreadProc, nullptr, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED, nullptr));
    if (m_pWorkerThread) {
        m_pWorkerThread->m_bAutoDelete = FALSE;
        m_pWorkerThread->ResumeThread();
    } else {
        const std::wstring text =
            LoadMessageText(AfxGetInstanceHandle(), MessageId[MSG_ERROR_OCCURRED]);
        ::MessageBoxW(nullptr, text.c_str(), CaptionText.c_str(), MB_ICONERROR | MB_TOPMOST);
        EndRun(IDOK);
        return FALSE;
    }
    return TRUE;
}

void CopyDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    const POINT at = IconPlacement(client.right - client.left, client.bottom - client.top,
                                   iconWidth, iconHeight);
    dc.DrawIcon(at.x, at.y, m_hIcon);
}

HCURSOR CopyDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CopyDlg::OnOK() {
    EndRun(IDOK);
}

void CopyDlg::OnCancel() {
    EndRun(IDCANCEL);
}

CopyDlg::~CopyDlg() {
    // A worker that would not end in time still runs its procedure, and the
    // framework reads its object when the procedure returns: leave it be.
    if (WorkerStillRunning())
        (void)m_pWorkerThread.release();
}

void CopyDlg::EndRun(int result) {
    if (m_stopRequested)
        return;
    if (WorkerStillRunning())
        StopWorkerThenEnd(result);
    else
        EndDialog(result);
}

bool CopyDlg::WorkerStillRunning() const {
    return m_pWorkerThread && ::WaitForSingleObject(m_pWorkerThread->m_hThread, 0) == WAIT_TIMEOUT;
}

void CopyDlg::StopWorkerThenEnd(int result) {
    m_stopRequested = true;
    m_endResult = result;
    m_stopRequestedAt = ::GetTickCount();
    StopFlag = 1;
    ::SetTimer(GetSafeHwnd(), StopPollTimer, StopPollMs, nullptr);
}

LRESULT CopyDlg::OnStopTimer(WPARAM timerId, LPARAM) {
    if (timerId != StopPollTimer || !m_stopRequested)
        return 0;
    if (WorkerStillRunning() && ::GetTickCount() - m_stopRequestedAt < StopWaitLimitMs)
        return 0;
    ::KillTimer(GetSafeHwnd(), StopPollTimer);
    EndDialog(m_endResult);
    return 0;
}

void CopyDlg::ClearStopFlag() {
    if (!m_stopRequested)
        StopFlag = 0;
}

void CopyDlg::ShowMessage(LPCWSTR text, UINT type) {
    MessageBox(text, CaptionText.c_str(), type);
}
