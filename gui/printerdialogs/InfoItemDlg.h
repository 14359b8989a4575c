// CInfoItemDlg: "Manage printers", the workstation's printers that print to
// one network printer. Deletes them (handing the user's default printer on
// when it goes), makes one the default, opens the Modify dialog for one, or
// sends a test page to one.
// Kept current by a 100 ms timer, so queues made or deleted elsewhere appear
// and go while it is open.
#pragma once

#include "common/Printer.h"
#include "gui/core/QueueNames.h"

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

class CInfoItemDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTimerId = 7654;
    static constexpr int kTimerMs = 100;
    // Replaces the Modify dialog (CViewIconDlg) for tests; an empty runner
    // restores it.
    using ModifyRunner = std::function<int(const std::string&, const CPrinter&, QWidget*)>;
    static void SetModifyDialog(ModifyRunner runner);

    CInfoItemDlg(const CPrinter& printer, QWidget* pParent = nullptr);

    // Brings the rows in line with the spooler and the default printer,
    // keeping the selection.
    void Refresh();
    // A tick of the timer: the buttons' rules, then Refresh.
    void OnTimer();
    void OnRemove();
    void OnSetDefault();
    void OnModify();
    // Sends a test page to the selected printer and says in the dialog how
    // it went.
    void OnPrintTestPage();

    QTreeWidget* List() const { return m_pList; }
    QTimer* Timer() const { return m_pTimer; }

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    // A row's printer name, without the default marker.
    static std::string QueueName(const QTreeWidgetItem* pItem);
    void FitColumn();
    // After a removal with no default printer left: the row before the first
    // removed one (or the first row, or the first printer of the workstation)
    // becomes the default, and the user is told.
    void HandDefaultOn(int iFirstRemoved);

    CPrinter m_printer;
    CQueueNames m_queues; // read again only after the spooler or the registry changed
    QTreeWidget* m_pList;
    QPushButton* m_pSetDefault;
    QPushButton* m_pModify;
    QPushButton* m_pRemove;
    QPushButton* m_pTestPage;
    QLabel* m_pTestPageResult;
    QTimer* m_pTimer;
};
