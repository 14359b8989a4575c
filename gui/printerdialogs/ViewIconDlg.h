// CViewIconDlg: "Modify", the settings of an existing print queue made for a
// known printer. It shows the queue's name, driver type (never changeable),
// sharing, port, comment, location and separator page, and changes the queue
// itself through the spooler: no service is involved.
#pragma once

#include "common/Printer.h"
#include "gui/core/QueueSettings.h"

#include <QDialog>
#include <string>

class CIconSettingsForm;
class QPushButton;

class CViewIconDlg : public QDialog {
    Q_OBJECT
public:
    CViewIconDlg(const std::string& csQueueName, const CPrinter& printer,
                 QWidget* pParent = nullptr);

    // Fills the fields from the queue before the dialog shows.
    int exec() override;
    // Checks the fields, writes them into the queue, reports what could not
    // be done as asked, and closes; stays open when a check fails.
    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnInitDialog();
    void OnSharePrinter();
    void OnBrowse();

    std::string m_csQueueName;
    CPrinter m_printer;
    CQueueSettings m_queue;
    CIconSettingsForm* m_pForm;
    QPushButton* m_pOk;
    bool m_bInitDone = false;
};
