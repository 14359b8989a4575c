// CPrinterView: the printer list of the main window. One item model shown as
// large icons or as a details table; the rows are the known printers of the
// chosen state, read again from the list file at every fill.
#pragma once

#include "common/Printers.h"
#include "gui/core/ActionRules.h"
#include "gui/core/QueueNames.h"
#include "gui/notifications/NotifyFlags.h"

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CColumnData;
class CGtosPipeComm;
class CPrinterListModel;
class CDiscoverThread;
class QListView;
class QMenu;
class QModelIndex;
class QStackedWidget;
class QTreeView;

class CPrinterView;
// Shows the notice of a "New Printer" held back while an action ran, once
// the window thread is free again.
void PostHeldNotice(CPrinterView* pView);

class CPrinterView : public QWidget {
    Q_OBJECT
public:
    enum EViewStyle { eStyleIcons = 0, eStyleDetails = 1 };
    // How the service took a correction of a printer's queue names.
    enum EUpdateAnswer { eUpdateDone, eUpdateFailed, eUpdateUnknown };
    using UpdateIconsSender = std::function<EUpdateAnswer(const CPrinter&)>;
    // Runs a modal dialog for a printer and gives its result (QDialog::Accepted
    // or Rejected).
    using PrinterDialogRunner = std::function<int(const CPrinter&, QWidget*)>;
    // The pause after the commands of an action, while the service rewrites
    // the list file.
    static constexpr uint32_t kActionPauseMs = 2000;
    static constexpr int kPausePollMs = 20;

    CPrinterView(CColumnData* pColumns, QWidget* pParent = nullptr);
    ~CPrinterView() override;

    // Points the list at the KPL file, fills it for the stored list kind and sorts it.
    void OnInitialUpdate();
    // Fills the list for a list kind (the filter's index) and remembers the kind.
    void ShowList(int iListKind);
    int ListKind() const { return m_iListKind; }
    // Reads the file again, keeping the selection by UUID.
    void RefreshView();
    // Sorts by the column shown at the display index.
    void SortPrinters(int iDisplayIndex);
    // Sorts by the stored sort column (the first column when it is hidden).
    void SortByStoredColumn();
    void OnColumnClick(int iDisplayIndex);
    void OnViewColumns();
    void OnViewSort();
    void SetViewStyle(int iStyle);
    int ViewStyle() const { return m_iStyle; }
    // Removes every column but the first and adds the shown ones again.
    void AddSelectedColumns();
    void SaveColumnWidths();

    // One tick of the reconciliation of queue names with the workstation.
    void ReconcileTick();
    void SetUpdateIconsSender(UpdateIconsSender sender) { m_updateSender = std::move(sender); }

    // The notifications, run on the window thread.
    Q_INVOKABLE void OnKplUpdated();
    Q_INVOKABLE void OnNewPrinter();
    void OnAppDiscover();

    // The printer actions (PrinterViewActions.cpp).
    void OnPrinterIgnore();
    void OnPrinterRestore();
    void OnPrinterRemove();
    void OnPrinterAddIcon();
    void OnPrinterAddIconDefaults();
    void OnPrinterManage();
    // Ctrl+Alt+Shift+S: the state menu at the mouse cursor.
    void OnStateMenu();
    // The selected rows as the actions' rules see them, and whether the row
    // at the selection mark has queue names.
    std::vector<SSelectedPrinter> SelectionForRules(bool* pbMarkHasQueues) const;
    // Replace the create-printer dialog (CAddIconDlg) and the printer
    // management dialog (CInfoItemDlg); an empty runner restores the dialog.
    void SetAddIconDialog(PrinterDialogRunner runner) { m_addIconDialog = std::move(runner); }
    void SetManageDialog(PrinterDialogRunner runner) { m_manageDialog = std::move(runner); }
    bool ManageBusy() const { return m_bManageBusy; }
    // Replaces the pause after an action's commands (tests rewrite the list
    // file there, as the service does meanwhile).
    void SetActionPause(std::function<void()> pause) { m_actionPause = std::move(pause); }
    QMenu* StateMenu() const { return m_pStateMenu; }

    std::vector<std::string> SelectedUuids() const;
    // The selected rows' printers, in row order.
    std::vector<CPrinter> SelectedPrinters() const;
    void SelectUuid(const std::string& csUUID, bool bClearFirst);
    int RowCount() const;
    CPrinterListModel* Model() const { return m_pModel; }
    QWidget* CurrentView() const;
    SNotifyFlags& Flags() { return m_flags; }
    CPrinters& Printers() { return m_printers; }
    // The pop-ups of the frame's menu shown by the context menu.
    void SetContextMenus(QMenu* pPrinterMenu, QMenu* pApplicationMenu);
    void ShowContextMenu(const QPoint& globalPos);
    // The context menu from the keyboard: at the current row, or the list's corner.
    void ShowContextMenuForKeyboard();
    void FocusList();
    // Whether a cell of the details table is too narrow for its text.
    bool CellCutOff(const QModelIndex& index) const;
    // A cell's tool tip: its whole text when cut off, else the row's summary.
    QString ToolTipFor(const QModelIndex& index) const;

signals:
    void RowCountChanged(int iRows);
    void StatusText(const QString& csText);
    // After a refresh: the status bar shows the service's state again.
    void ServiceStateMayHaveChanged();
    // What an action did, for the status bar.
    void Outcome(const QString& csText);
    // Delete and Enter in the list (and a double-click on a row), for the
    // frame's Remove command and the row's default action.
    void DeletePressed();
    void EnterPressed();
    // The selection or the rows changed: the actions' rules may give otherwise.
    void SelectionChanged();

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    // Fills the list again (from the file, or from the list in memory), sorts
    // it and selects the rows of the UUIDs selected before.
    void Redisplay(bool bReadFile);
    void FillList(int iListKind, bool bReadFile);
    QMenu* ContextMenuFor() const;
    // Sends the command for each printer under the wait cursor; how many the
    // service took, and whether any failed.
    int SendEach(bool (CGtosPipeComm::*send)(const CPrinter*),
                 const std::vector<CPrinter>& printers, bool* pbFailed);
    // The service check and the selected printers for Ignore and Restore;
    // uiOutcome names what was done in the status bar.
    void SendToEach(bool (CGtosPipeComm::*send)(const CPrinter*), uint32_t uiFailureMessage,
                    uint32_t uiOutcome, const char* pszRoutine, int iVexNumber);
    // Remove's "Also delete their print queues": the printers' queues, deleted
    // as Manage printers deletes them; how many went (the first failure stops).
    int DeleteQueuesOf(const std::vector<CPrinter>& printers);
    // "Created 'NAME' for ADDRESS" in the status bar for the queue that is new
    // since before.
    void ReportCreated(const CPrinter& printer, const std::vector<std::string>& before);
    // Steps of both creations before the creation itself: the service check,
    // the questions 132 and 5023. False: the action ends here.
    bool ConfirmCreation(const char* pszRoutine, CPrinter* pPrinter);
    // What the list file looks like now, to see the service's rewrite.
    struct SKplStamp {
        std::filesystem::file_time_type time{};
        uintmax_t size = 0;
        bool bExists = false;
        bool operator==(const SKplStamp&) const = default;
    };
    SKplStamp KplStamp() const;
    // The pause after an action's commands, until the service has rewritten
    // the list file (changed since before), for at most kActionPauseMs; the
    // window is repainted meanwhile but takes no input.
    void ActionPause(const SKplStamp& before);
    void CreateStateMenu();

    CColumnData* m_pColumns;
    CPrinters m_printers;
    CPrinterListModel* m_pModel;
    QStackedWidget* m_pStack;
    QListView* m_pIconView;
    QTreeView* m_pDetailsView;
    QMenu* m_pPrinterMenu = nullptr;
    QMenu* m_pApplicationMenu = nullptr;
    int m_iListKind = 0;
    int m_iStyle = eStyleIcons;
    SNotifyFlags m_flags;
    UpdateIconsSender m_updateSender;
    PrinterDialogRunner m_addIconDialog;
    PrinterDialogRunner m_manageDialog;
    std::function<void()> m_actionPause;
    bool m_bManageBusy = false;
    QMenu* m_pStateMenu = nullptr;
    // The workstation's queues as the last tick read them.
    CQueueNames m_queues;
};
