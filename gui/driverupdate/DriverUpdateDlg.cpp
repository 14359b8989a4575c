#include "gui/driverupdate/DriverUpdateDlg.h"

#include "common/Trace.h"
#include "gui/app/Prompter.h"
#include "gui/app/QtStrings.h"
#include "gui/core/StringIds.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

// The download starts as part of the dialog's opening.
constexpr CTraceName kTraceAsOnInitDialog("CDriverUpdateDlg::OnInitDialog");

} // namespace

CDriverUpdateDlg::CDriverUpdateDlg(eDriverType eType, QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::FramelessWindowHint), m_update(eType, *this, m_gate),
      m_pStatus(new QLabel(VexQString(IDS_CONNECTING), this)), m_pProgress(new QProgressBar(this)),
      m_pSize(new QLabel(this)), m_pCancel(new QPushButton("Cancel", this)) {
    setObjectName("driverUpdateDlg");
    m_pStatus->setObjectName("status");
    m_pProgress->setObjectName("progress");
    m_pSize->setObjectName("size");
    m_pCancel->setObjectName("cancel");
    QPalette palette = m_pStatus->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_pStatus->setPalette(palette);
    m_pProgress->setRange(0, 1000);
    m_pProgress->setValue(0);
    m_pProgress->setFormat("%p% completed");
    m_pSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pSize->hide();
    auto* pTop = new QHBoxLayout;
    pTop->addWidget(m_pStatus, 1);
    pTop->addWidget(m_pSize);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pProgress, 1);
    pRow->addWidget(m_pCancel);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pTop);
    pLayout->addLayout(pRow);
    setMinimumWidth(420);
    connect(m_pCancel, &QPushButton::clicked, this, &CDriverUpdateDlg::reject);
}

CDriverUpdateDlg::~CDriverUpdateDlg() {
    // A dialog closed from outside still stops its workers and lets them clean up.
    m_update.Stop();
    if (m_worker.joinable())
        m_worker.join();
}

void CDriverUpdateDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (m_bStarted)
        return;
    m_bStarted = true;
    try {
        m_worker = std::thread([this] { Work(); });
    } catch (const std::system_error& e) {
        kTraceAsOnInitDialog.Err("CreateThread failed : %s", e.what());
        OnWorkerEnded({EUpdateEnd::Failed, IDS_NO_INTERNET_ACCESS});
    }
}

// The first worker: connects and decides; the second downloads and installs
// while the first waits for it; then the handles are closed.
void CDriverUpdateDlg::Work() {
    CTraceScope scope("CDriverUpdateDlg::ConnectThreadProc");
    SUpdateEnd end = m_update.Connect();
    if (end.eEnd == EUpdateEnd::Proceed) {
        try {
            std::thread download([this, &end] {
                CTraceScope downloadScope("CDriverUpdateDlg::DownloadThreadProc");
                end = m_update.DownloadAndInstall();
            });
            download.join();
        } catch (const std::system_error& e) {
            scope.Err("CreateThread failed : %s", e.what());
            end = {EUpdateEnd::Failed, IDS_DOWNLOAD_FAILED};
        }
    }
    m_update.CloseHandles();
    QMetaObject::invokeMethod(
        this, [this, end] { OnWorkerEnded(end); }, Qt::QueuedConnection);
}

void CDriverUpdateDlg::CallInWindow(std::function<void()> fn) {
    struct SDone {
        std::mutex mutex;
        std::condition_variable cv;
        bool bDone = false;
    };
    auto pDone = std::make_shared<SDone>();
    QMetaObject::invokeMethod(
        this,
        [fn = std::move(fn), pDone] {
            fn();
            std::lock_guard<std::mutex> lock(pDone->mutex);
            pDone->bDone = true;
            pDone->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(pDone->mutex);
    while (!pDone->bDone && !m_gate.IsStopped())
        pDone->cv.wait_for(lock, std::chrono::milliseconds(50));
}

void CDriverUpdateDlg::SetPhase(int iPhase) {
    m_iPhase = iPhase;
}

void CDriverUpdateDlg::SetProgress(int iPosition) {
    QMetaObject::invokeMethod(
        this, [this, iPosition] { m_pProgress->setValue(iPosition); }, Qt::QueuedConnection);
}

void CDriverUpdateDlg::SetStatus(const std::string& csText) {
    QString text = QString::fromStdString(csText);
    QMetaObject::invokeMethod(
        this, [this, text] { m_pStatus->setText(text); }, Qt::QueuedConnection);
}

void CDriverUpdateDlg::BeginDownload() {
    QMetaObject::invokeMethod(
        this, [this] { m_pSize->show(); }, Qt::QueuedConnection);
}

void CDriverUpdateDlg::SetDownloaded(uint64_t qwBytes, uint64_t qwTotal) {
    m_qwDownloaded = qwBytes;
    m_qwTotal = qwTotal;
    // One update waits in the window's queue at most; it shows the latest count.
    if (m_bDownloadShown.exchange(false))
        QMetaObject::invokeMethod(
            this, [this] { ShowDownloaded(); }, Qt::QueuedConnection);
}

void CDriverUpdateDlg::ShowDownloaded() {
    m_bDownloadShown = true;
    const uint64_t qwBytes = m_qwDownloaded, qwTotal = m_qwTotal;
    if (qwTotal == 0)
        return;
    m_pProgress->setValue(int(std::min<uint64_t>(1000, 1000 * qwBytes / qwTotal)));
    char szText[64];
    std::snprintf(szText, sizeof szText, "%ld kB of %ld kB", long(qwBytes / 1024),
                  long(qwTotal / 1024));
    m_pSize->setText(szText);
}

void CDriverUpdateDlg::BeginInstall() {
    CallInWindow([this] {
        m_pCancel->setEnabled(false);
        m_pSize->hide();
    });
}

bool CDriverUpdateDlg::AskToConnect() {
    bool bYes = false;
    CallInWindow([this, &bYes] {
        bYes =
            VexMessage(this, IDS_CONNECT_NOW, EMsgButtons::YesNo, EMsgIcon::Question) == eAnswerYes;
    });
    return bYes;
}

void CDriverUpdateDlg::reject() {
    CTraceScope scope("CDriverUpdateDlg::OnCancel");
    if (m_bAsking || m_bCancelled || !m_pCancel->isEnabled())
        return;
    m_bAsking = true;
    m_gate.Pause();
    const int iAnswer = VexMessage(this, m_iPhase == 0 ? IDS_CANCEL_CONNECT : IDS_CANCEL_DOWNLOAD,
                                   EMsgButtons::YesNo, EMsgIcon::Question);
    m_bAsking = false;
    if (iAnswer == eAnswerYes) {
        // The worker ends at its next checkpoint, closes its file and handles
        // and removes the temporary files; its end closes the dialog.
        m_bCancelled = true;
        m_pCancel->setEnabled(false);
        m_update.Stop();
    } else {
        m_gate.Resume();
    }
    if (m_bEndPending) {
        m_bEndPending = false;
        Finish(m_pendingEnd);
    }
}

void CDriverUpdateDlg::OnWorkerEnded(SUpdateEnd end) {
    if (m_worker.joinable())
        m_worker.join();
    if (m_bAsking) {
        m_bEndPending = true;
        m_pendingEnd = end;
        return;
    }
    Finish(end);
}

void CDriverUpdateDlg::Finish(const SUpdateEnd& end) {
    CTraceScope scope("CDriverUpdateDlg::Finish");
    if (m_bCancelled && end.eEnd != EUpdateEnd::Installed) {
        scope.Result("cancelled");
        QDialog::done(QDialog::Rejected);
        return;
    }
    switch (end.eEnd) {
    case EUpdateEnd::Installed:
        scope.Result("installed");
        QDialog::done(QDialog::Accepted);
        return;
    case EUpdateEnd::NoNewer:
        scope.Result("no newer software");
        QDialog::done(kNoNewerSoftware);
        return;
    case EUpdateEnd::Failed:
        if (end.uiMessage != 0)
            VexMessage(this, end.uiMessage, EMsgButtons::Ok,
                       end.bStopIcon ? EMsgIcon::Stop : EMsgIcon::Exclamation);
        [[fallthrough]];
    default:
        scope.Result("cancel");
        QDialog::done(QDialog::Rejected);
    }
}

int CDriverUpdateDlg::Position() const {
    return m_pProgress->value();
}
QString CDriverUpdateDlg::StatusText() const {
    return m_pStatus->text();
}
QString CDriverUpdateDlg::SizeText() const {
    return m_pSize->text();
}
bool CDriverUpdateDlg::SizeTextVisible() const {
    return m_pSize->isVisible();
}
bool CDriverUpdateDlg::CancelEnabled() const {
    return m_pCancel->isEnabled();
}
