#include "gui/printerlist/ProcessingDlg.h"

#include "common/Trace.h"
#include "gui/app/Prompter.h"
#include "gui/app/QtStrings.h"
#include "gui/core/StringIds.h"
#include "platform/clock.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CProcessingDlg::CProcessingDlg(std::function<void()> refresh, std::function<void()> stopWorker,
                               QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::FramelessWindowHint), m_refresh(std::move(refresh)),
      m_stopWorker(std::move(stopWorker)), m_pStatus(new QLabel("Discovering printers...", this)),
      m_pProgress(new QProgressBar(this)), m_pCancel(new QPushButton("Cancel", this)),
      m_pTimer(new QTimer(this)) {
    setObjectName("processingDlg");
    m_pStatus->setObjectName("status");
    m_pProgress->setObjectName("progress");
    m_pCancel->setObjectName("cancel");
    QPalette palette = m_pStatus->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_pStatus->setPalette(palette);
    m_pProgress->setRange(0, kSteps);
    m_pProgress->setValue(0);
    m_pProgress->setTextVisible(false);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pProgress, 1);
    pRow->addWidget(m_pCancel);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pStatus);
    pLayout->addLayout(pRow);
    setMinimumWidth(360);
    connect(m_pCancel, &QPushButton::clicked, this, &CProcessingDlg::reject);
    connect(m_pTimer, &QTimer::timeout, this, &CProcessingDlg::OnTimer);
    m_pTimer->start(kTimerMs);
}

void CProcessingDlg::OnTimer() {
    m_pProgress->setValue(m_pProgress->value() >= kSteps ? 0 : m_pProgress->value() + 1);
}

void CProcessingDlg::OnAddingIcons() {
    if (m_bClosing)
        return;
    m_pProgress->setValue(0);
    m_pStatus->setText(VexQString(IDS_CREATING));
    m_pCancel->setEnabled(false);
}

void CProcessingDlg::OnCloseDialog() {
    if (m_bAsking) {
        m_bClosePending = true;
        return;
    }
    if (m_bClosing)
        return;
    m_bClosing = true;
    m_pTimer->stop();
    m_pProgress->setValue(kSteps);
    m_pStatus->setText(VexQString(IDS_REFRESHING));
    m_pCancel->setEnabled(false);
    // The pause lets the service write the list; the window keeps painting.
    QTimer::singleShot(int(platform::ScaledDelay(kClosePauseMs)), this, [this] {
        m_refresh();
        accept();
    });
}

void CProcessingDlg::reject() {
    CTraceScope scope("CProcessingDlg::OnCancel");
    if (m_bClosing || m_bAsking || !m_pCancel->isEnabled())
        return;
    m_pTimer->stop();
    m_bAsking = true;
    const int iAnswer =
        VexMessage(this, IDS_CANCEL_DISCOVERY, EMsgButtons::YesNo, EMsgIcon::Question);
    m_bAsking = false;
    if (iAnswer == eAnswerYes) {
        m_stopWorker();
        OnCloseDialog();
    } else if (m_bClosePending) {
        OnCloseDialog();
    } else {
        m_pTimer->start(kTimerMs);
    }
}

int CProcessingDlg::Position() const {
    return m_pProgress->value();
}
QString CProcessingDlg::StatusText() const {
    return m_pStatus->text();
}
bool CProcessingDlg::CancelEnabled() const {
    return m_pCancel->isEnabled();
}
bool CProcessingDlg::TimerRunning() const {
    return m_pTimer->isActive();
}
