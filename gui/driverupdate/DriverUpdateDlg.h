// CDriverUpdateDlg: the progress dialog of a driver update, opened by the
// create-printer dialog when the user asks to check for updated software. Its
// first worker connects to the download site and decides; when the site has a
// newer package, a second worker downloads and installs it. The workers touch
// no widget: they post to the dialog.
//
// exec() returns QDialog::Accepted after an installation (create the printer
// with the new drivers), QDialog::Rejected after a failure or a cancel (stay in
// the create dialog), or kNoNewerSoftware when the site has nothing newer.
#pragma once

#include "common/VexData.h"
#include "gui/core/DriverUpdate.h"
#include "gui/core/WorkerGate.h"

#include <QDialog>
#include <atomic>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

class CDriverUpdateDlg : public QDialog, private CDriverUpdateSink {
    Q_OBJECT
public:
    static constexpr int kNoNewerSoftware = 7563;

    // eDriverType: the driver type chosen in the create dialog.
    CDriverUpdateDlg(eDriverType eType, QWidget* pParent = nullptr);
    ~CDriverUpdateDlg() override;

    // Cancel and Escape: asks, pausing the running worker meanwhile.
    void reject() override;

    int Phase() const { return m_iPhase; }
    int Position() const;
    QString StatusText() const;
    QString SizeText() const;
    bool SizeTextVisible() const;
    bool CancelEnabled() const;
    // The work, for tests that look at what was decided.
    const CDriverUpdate& Update() const { return m_update; }
    // The worker's gate, for a picture taken while the download stands still.
    CWorkerGate& Gate() { return m_gate; }

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    // CDriverUpdateSink, called by the workers.
    void SetPhase(int iPhase) override;
    void SetProgress(int iPosition) override;
    void SetStatus(const std::string& csText) override;
    void BeginDownload() override;
    void SetDownloaded(uint64_t qwBytes, uint64_t qwTotal) override;
    void BeginInstall() override;
    bool AskToConnect() override;

    // Runs fn in the window's thread and waits for it, unless the work is stopped.
    void CallInWindow(std::function<void()> fn);
    void Work();
    void ShowDownloaded();
    void OnWorkerEnded(SUpdateEnd end);
    void Finish(const SUpdateEnd& end);

    CWorkerGate m_gate;
    CDriverUpdate m_update;
    QLabel* m_pStatus;
    QProgressBar* m_pProgress;
    QLabel* m_pSize;
    QPushButton* m_pCancel;
    std::thread m_worker;
    std::atomic<int> m_iPhase{0};
    std::atomic<uint64_t> m_qwDownloaded{0};
    std::atomic<uint64_t> m_qwTotal{0};
    std::atomic<bool> m_bDownloadShown{true};
    bool m_bStarted = false;
    bool m_bAsking = false;
    bool m_bCancelled = false;
    bool m_bEndPending = false;
    SUpdateEnd m_pendingEnd{EUpdateEnd::Stopped};
};
