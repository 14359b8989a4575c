// The printer actions of the list: each checks that the spooler and the
// service run, asks what it must ask, sends one command per printer to the
// service, pauses while the service rewrites the list file, and refreshes.
#include "common/GtosPipeComm.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/Prompter.h"
#include "gui/app/VexApp.h"
#include "gui/app/WaitCursor.h"
#include "gui/core/CreationReport.h"
#include "gui/core/ManagedQueues.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"
#include "gui/printerdialogs/AddIconDlg.h"
#include "gui/printerdialogs/InfoItemDlg.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/PrinterView.h"
#include "platform/clock.h"

#include <QCursor>
#include <QEventLoop>
#include <QListView>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>

namespace {
// Holds the service's notifications back for one action. A "New Printer" that
// came meanwhile is not lost: its notice follows once the action is over.
class CHoldScope {
public:
    explicit CHoldScope(CPrinterView* pView) : m_pView(pView), m_flags(pView->Flags()) {
        m_flags.m_bHoldKplUpdates = true;
        m_flags.m_bHoldNewPrinters = true;
    }
    ~CHoldScope() {
        m_flags.m_bHoldKplUpdates = false;
        m_flags.m_bHoldNewPrinters = false;
        PostHeldNotice(m_pView);
    }

private:
    CPrinterView* m_pView;
    SNotifyFlags& m_flags;
};

// "1 printer", "3 printers".
std::string PrinterCount(int iCount) {
    return iCount == 1 ? LoadVexString(IDS_ONE_PRINTER)
                       : FormatVexString(IDS_N_PRINTERS, {std::to_string(iCount)});
}

// The queues of the address now; empty when the spooler cannot tell.
std::vector<std::string> QueuesNow(const std::string& csIpAddr) {
    CQueueNames queues;
    return queues.Load() ? queues.QueuesFor(csIpAddr) : std::vector<std::string>();
}

// The first queue of after that is not in before.
std::string NewQueue(const std::vector<std::string>& before,
                     const std::vector<std::string>& after) {
    for (const std::string& csQueue : after)
        if (std::find(before.begin(), before.end(), csQueue) == before.end())
            return csQueue;
    return std::string();
}

// One line per printer, its model and address, for the Remove question.
std::string PrinterList(const std::vector<CPrinter>& printers) {
    std::string csList;
    for (const CPrinter& printer : printers)
        csList += "  " + printer.m_csPrinterModel + " (" + printer.m_csIpAddr + ")\n";
    return csList;
}
} // namespace

void PostHeldNotice(CPrinterView* pView) {
    if (pView->Flags().m_bNewPrinterHeld.exchange(false))
        QMetaObject::invokeMethod(pView, "OnNewPrinter", Qt::QueuedConnection);
}

std::vector<SSelectedPrinter> CPrinterView::SelectionForRules(bool* pbMarkHasQueues) const {
    std::vector<SSelectedPrinter> selection;
    for (const QModelIndex& index : m_pIconView->selectionModel()->selectedRows()) {
        const CPrinter& printer = m_pModel->PrinterAt(index.row());
        selection.push_back({printer.m_VexState, !printer.m_csIconName.empty()});
    }
    const QModelIndex mark = m_pIconView->selectionModel()->currentIndex();
    *pbMarkHasQueues = mark.isValid() && !m_pModel->PrinterAt(mark.row()).m_csIconName.empty();
    return selection;
}

CPrinterView::SKplStamp CPrinterView::KplStamp() const {
    std::error_code ec;
    const std::filesystem::path path(m_printers.GetKplPath());
    SKplStamp stamp;
    stamp.time = std::filesystem::last_write_time(path, ec);
    stamp.size = ec ? 0 : std::filesystem::file_size(path, ec);
    stamp.bExists = !ec;
    return stamp;
}

void CPrinterView::ActionPause(const SKplStamp& before) {
    // The window is painted but takes no input meanwhile: the cursor says so.
    CWaitCursor wait;
    if (m_actionPause) {
        m_actionPause();
        return;
    }
    // The pause is for the service's rewrite of the list file: once the file
    // has changed it has nothing more to wait for.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(platform::ScaledDelay(kActionPauseMs));
    while (KplStamp() == before) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        QEventLoop loop;
        QTimer::singleShot(int(std::min<int64_t>(left.count(), kPausePollMs)), &loop,
                           &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

int CPrinterView::SendEach(bool (CGtosPipeComm::*send)(const CPrinter*),
                           const std::vector<CPrinter>& printers, bool* pbFailed) {
    CWaitCursor wait;
    CGtosPipeComm comm;
    int iDone = 0;
    *pbFailed = false;
    for (const CPrinter& printer : printers) {
        if ((comm.*send)(&printer))
            ++iDone;
        else
            *pbFailed = true;
    }
    return iDone;
}

void CPrinterView::SendToEach(bool (CGtosPipeComm::*send)(const CPrinter*),
                              uint32_t uiFailureMessage, uint32_t uiOutcome, const char* pszRoutine,
                              int iVexNumber) {
    CHoldScope hold(this);
    if (!CVexApp::ServiceCheck(this))
        return;
    bool bFailed = false;
    const SKplStamp before = KplStamp();
    const int iDone = SendEach(send, SelectedPrinters(), &bFailed);
    if (bFailed)
        VexMessage(this, uiFailureMessage, EMsgButtons::Ok, EMsgIcon::Stop, pszRoutine, iVexNumber);
    ActionPause(before);
    RefreshView();
    if (iDone > 0)
        emit Outcome(QString::fromStdString(FormatVexString(uiOutcome, {PrinterCount(iDone)})));
}

void CPrinterView::OnPrinterIgnore() {
    CTraceScope scope("CPrinterView::OnPrinterIgnore");
    SendToEach(&CGtosPipeComm::SendIgnorePrinterCmdToService, IDS_IGNORE_FAILED,
               IDS_OUTCOME_IGNORED, "CPrinterView::OnPrinterIgnore", 209);
}

void CPrinterView::OnPrinterRestore() {
    CTraceScope scope("CPrinterView::OnPrinterRestore");
    SendToEach(&CGtosPipeComm::SendRestorePrinterCmdToService, IDS_RESTORE_FAILED,
               IDS_OUTCOME_RESTORED, "CPrinterView::OnPrinterRestore", 210);
}

void CPrinterView::OnPrinterRemove() {
    CTraceScope scope("CPrinterView::OnPrinterRemove");
    CHoldScope hold(this);
    if (!CVexApp::ServiceCheck(this))
        return;
    const std::vector<CPrinter> printers = SelectedPrinters();
    // The described question, then the printers it is about.
    const std::string csQuestion =
        FormatVexString(IDS_REMOVE_QUESTION,
                        {LoadVexString(IDS_STATE_WAITING), LoadVexString(IDS_STATE_ADDED),
                         LoadVexString(IDS_STATE_IGNORED)}) +
        "\n\n" + FormatVexString(IDS_PRINTERS_TO_REMOVE, {PrinterList(printers)});
    bool bDeleteQueues = false;
    if (VexMessageWithCheckBox(this, IDS_REMOVE_QUESTION, csQuestion,
                               LoadVexString(IDS_ALSO_DELETE_QUEUES), &bDeleteQueues,
                               "CPrinterView::OnPrinterRemove", 204) == eAnswerYes) {
        // The queues go first, as Manage printers deletes them, while the
        // printers' addresses are still known.
        int iQueues = 0;
        if (bDeleteQueues)
            iQueues = DeleteQueuesOf(printers);
        bool bFailed = false;
        const SKplStamp before = KplStamp();
        const int iDone =
            SendEach(&CGtosPipeComm::SendRemovePrinterCmdToService, printers, &bFailed);
        if (bFailed)
            VexMessage(this, IDS_REMOVE_FAILED, EMsgButtons::Ok, EMsgIcon::Stop,
                       "CPrinterView::OnPrinterRemove", 211);
        ActionPause(before);
        RefreshView();
        if (iDone > 0)
            emit Outcome(QString::fromStdString(
                bDeleteQueues ? FormatVexString(IDS_OUTCOME_REMOVED_AND_DELETED,
                                                {PrinterCount(iDone), std::to_string(iQueues)})
                              : FormatVexString(IDS_OUTCOME_REMOVED, {PrinterCount(iDone)})));
        return;
    }
    RefreshView();
}

int CPrinterView::DeleteQueuesOf(const std::vector<CPrinter>& printers) {
    CWaitCursor wait;
    int iDeleted = 0;
    for (const CPrinter& printer : printers) {
        for (const std::string& csQueue : QueuesNow(printer.m_csIpAddr)) {
            if (managedqueues::DeleteQueue(csQueue)) {
                ++iDeleted;
            } else {
                VexMessageText(this, IDS_QUEUE_NOT_DELETED,
                               FormatVexString(IDS_QUEUE_NOT_DELETED, {csQueue}), EMsgButtons::Ok,
                               EMsgIcon::Stop);
                return iDeleted;
            }
        }
    }
    return iDeleted;
}

bool CPrinterView::ConfirmCreation(const char* pszRoutine, CPrinter* pPrinter) {
    if (!CVexApp::ServiceCheck(this))
        return false;
    const std::vector<CPrinter> selected = SelectedPrinters();
    if (selected.empty())
        return false;
    *pPrinter = selected.front();
    if ((pPrinter->m_uiPrtConfig1Var & PRT_CONFIG1_CAN_PRINT_MASK) != PRT_CONFIG1_CAN_PRINT_MASK &&
        VexMessage(this, IDS_PRINTING_NOT_ALLOWED, EMsgButtons::YesNo, EMsgIcon::Exclamation) !=
            eAnswerYes)
        return false;
    if (pPrinter->m_VexState == eVexAdded &&
        VexMessage(this, IDS_CREATE_ANOTHER, EMsgButtons::YesNo, EMsgIcon::Question, pszRoutine,
                   202) != eAnswerYes) {
        RefreshView();
        return false;
    }
    return true;
}

void CPrinterView::OnPrinterAddIcon() {
    CTraceScope scope("CPrinterView::OnPrinterAddIcon");
    CHoldScope hold(this);
    CPrinter printer;
    if (!ConfirmCreation("CPrinterView::OnPrinterAddIcon", &printer))
        return;
    const std::vector<std::string> before = QueuesNow(printer.m_csIpAddr);
    const SKplStamp kplBefore = KplStamp();
    // The dialog sends "Add Icon" and reports the outcome itself.
    int iResult = QDialog::Rejected;
    if (m_addIconDialog) {
        iResult = m_addIconDialog(printer, this);
    } else {
        CAddIconDlg dialog(printer, this);
        iResult = dialog.exec();
    }
    if (iResult == QDialog::Accepted)
        ActionPause(kplBefore);
    RefreshView();
    if (iResult == QDialog::Accepted)
        ReportCreated(printer, before);
}

void CPrinterView::ReportCreated(const CPrinter& printer, const std::vector<std::string>& before) {
    const std::string csQueue = NewQueue(before, QueuesNow(printer.m_csIpAddr));
    if (!csQueue.empty())
        emit Outcome(QString::fromStdString(
            FormatVexString(IDS_OUTCOME_CREATED, {csQueue, printer.m_csIpAddr})));
}

void CPrinterView::OnPrinterAddIconDefaults() {
    CTraceScope scope("CPrinterView::OnPrinterAddIconDefaults");
    CHoldScope hold(this);
    CPrinter printer;
    if (!ConfirmCreation("CPrinterView::OnPrinterAddIconDefaults", &printer))
        return;
    const std::vector<std::string> before = QueuesNow(printer.m_csIpAddr);
    CVexData data;
    const std::string csIconName = data.GetIconName(printer.m_csPrinterModel);
    CGtosPipeComm comm;
    {
        CWaitCursor wait;
        const SKplStamp kplBefore = KplStamp();
        comm.SendAddIconWithDefaultsCmdToService(&printer);
        ActionPause(kplBefore);
    }
    const bool bPublishMissing = PublishMissing(data.GetPublishActiveDir(), csIconName);
    RefreshView();
    ReportCreated(printer, before);
    const SCreationReport report =
        ReportCreationResult(comm.m_iRc, comm.m_uiWarnings, bPublishMissing, false);
    if (report.iMessageId)
        VexMessageText(this, uint32_t(report.iMessageId), report.csText, EMsgButtons::Ok,
                       report.eIcon, "CPrinterView::OnPrinterAddIconDefaults", report.iVexNumber);
}

void CPrinterView::OnPrinterManage() {
    const QModelIndex mark = m_pIconView->selectionModel()->currentIndex();
    if (m_bManageBusy || SelectedUuids().empty() || !mark.isValid())
        return;
    const CPrinter printer = m_pModel->PrinterAt(mark.row());
    if (printer.m_csIconName.empty())
        return;
    m_bManageBusy = true;
    m_flags.m_bHoldNewPrinters = true;
    if (CVexApp::ServiceCheck(this)) {
        if (m_manageDialog) {
            m_manageDialog(printer, this);
        } else {
            CInfoItemDlg dialog(printer, this);
            dialog.exec();
        }
        RefreshView();
    }
    m_flags.m_bHoldNewPrinters = false;
    m_bManageBusy = false;
    PostHeldNotice(this);
}

void CPrinterView::CreateStateMenu() {
    m_pStateMenu = new QMenu(this);
    m_pStateMenu->setObjectName("stateMenu");
    for (const SStateMenuEntry& entry : kStateMenuEntries) {
        QAction* pAction = m_pStateMenu->addAction(entry.pszText);
        pAction->setObjectName(QString("command%1").arg(entry.iCommand));
        pAction->setData(entry.iState);
    }
}

void CPrinterView::OnStateMenu() {
    if (!CVexApp::ServiceCheck(this) || SelectedUuids().empty())
        return;
    int32_t iState = -1;
    auto chosen = connect(m_pStateMenu, &QMenu::triggered, this,
                          [&iState](QAction* pAction) { iState = pAction->data().toInt(); });
    m_pStateMenu->exec(QCursor::pos());
    disconnect(chosen);
    if (iState < 0)
        return;
    const SKplStamp before = KplStamp();
    {
        CWaitCursor wait;
        CGtosPipeComm comm;
        // A failure is not reported: the list shows what the service made of it.
        for (const CPrinter& printer : SelectedPrinters())
            comm.SendChangeStateCmdToService(&printer, iState);
    }
    ActionPause(before);
    RefreshView();
}
