// CProcessingDlg: the progress dialog of a discovery. The bar shows activity,
// not a share of work done; the discovery thread closes the dialog when the
// service has answered.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class CProcessingDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSteps = 26;
    static constexpr int kTimerMs = 500;
    // The pause with the full bar before the list is refreshed.
    static constexpr uint32_t kClosePauseMs = 2000;

    // refresh: refreshes the printer list; stopWorker: ends the discovery's
    // exchange at once (a confirmed Cancel).
    CProcessingDlg(std::function<void()> refresh, std::function<void()> stopWorker,
                   QWidget* pParent = nullptr);

    Q_INVOKABLE void OnAddingIcons();
    Q_INVOKABLE void OnCloseDialog();
    // Cancel and Escape.
    void reject() override;

    int Position() const;
    QString StatusText() const;
    bool CancelEnabled() const;
    bool TimerRunning() const;

private:
    void OnTimer();

    std::function<void()> m_refresh;
    std::function<void()> m_stopWorker;
    QLabel* m_pStatus;
    QProgressBar* m_pProgress;
    QPushButton* m_pCancel;
    QTimer* m_pTimer;
    bool m_bClosing = false;
    bool m_bAsking = false;       // the Cancel question is open: the worker counts as suspended
    bool m_bClosePending = false; // the worker finished while the question was open
};
