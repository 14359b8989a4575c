// CAddIconDlg: "Create printer", the settings of a new print queue for a known
// printer, prefilled from the default values and the free-name proposals. OK
// checks the fields, asks the service to create the queue ("Add Icon") and
// reports the outcome; the dialog then closes with OK whatever the outcome.
#pragma once

#include "common/Printer.h"

#include <QDialog>
#include <functional>

class CIconSettingsForm;
class QPushButton;
class QTimer;

class CAddIconDlg : public QDialog {
    Q_OBJECT
public:
    CAddIconDlg(const CPrinter& printer, QWidget* pParent = nullptr);

    // Fills the fields before the dialog shows; Rejected at once when no driver
    // type is installed at all.
    int exec() override;
    // Checks the fields and creates the queue; stays open when a check fails.
    void accept() override;

    // How often "Check for updated software" is looked at again.
    static constexpr int kInternetRuleMs = 100;
    // The existing-driver choice "Check for updated software": OK first runs
    // the driver update (CDriverUpdateDlg).
    static constexpr int kCheckForUpdates = 2;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    // False when the dialog cannot be used (no driver type installed).
    bool OnInitDialog();
    void OnSharePrinter();
    void OnInstallAdditionalDrivers();
    void OnBrowse();
    void UpdateOkButton();
    void UpdateCheckUpdates();

    CPrinter m_printer;
    CIconSettingsForm* m_pForm;
    QPushButton* m_pOk;
    QTimer* m_pInternetTimer;
    bool m_bInitDone = false;
    bool m_bUsable = true;
};
