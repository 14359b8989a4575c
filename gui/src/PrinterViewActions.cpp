// The printer actions of the list: each checks that the spooler and the
// service run, asks what it must ask, sends one command per printer to the
// service, pauses while the service rewrites the list file, and refreshes.
#include "common/GtosPipeComm.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/AddIconDlg.h"
#include "gui/CreationReport.h"
#include "gui/InfoItemDlg.h"
#include "gui/PrinterListModel.h"
#include "gui/PrinterView.h"
#include "gui/Prompter.h"
#include "gui/StringTable.h"
#include "gui/VexApp.h"
#include "gui/WaitCursor.h"
#include "platform/clock.h"

#include <QCursor>
#include <QEventLoop>
#include <QListView>
#include <QMenu>
#include <QTimer>

namespace {
// Holds the service's notifications back for one action.
class CHoldScope {
public:
    explicit CHoldScope(SNotifyFlags& flags) : m_flags(flags) {
        m_flags.m_bHoldKplUpdates = true;
        m_flags.m_bHoldNewPrinters = true;
    }
    ~CHoldScope() {
        m_flags.m_bHoldKplUpdates = false;
        m_flags.m_bHoldNewPrinters = false;
    }

private:
    SNotifyFlags& m_flags;
};
} // namespace

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

void CPrinterView::ActionPause() {
    if (m_actionPause) {
        m_actionPause();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(int(platform::ScaledDelay(kActionPauseMs)), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void CPrinterView::SendToEach(bool (CGtosPipeComm::*send)(const CPrinter*),
                              uint32_t uiFailureMessage, const char* pszRoutine, int iVexNumber) {
    CHoldScope hold(m_flags);
    if (!CVexApp::ServiceCheck(this))
        return;
    bool bFailed = false;
    {
        CWaitCursor wait;
        CGtosPipeComm comm;
        for (const CPrinter& printer : SelectedPrinters())
            if (!(comm.*send)(&printer))
                bFailed = true;
    }
    if (bFailed)
        VexMessage(this, uiFailureMessage, EMsgButtons::Ok, EMsgIcon::Stop, pszRoutine, iVexNumber);
    ActionPause();
    RefreshView();
}

void CPrinterView::OnPrinterIgnore() {
    CTraceScope scope("CPrinterView::OnPrinterIgnore");
    SendToEach(&CGtosPipeComm::SendIgnorePrinterCmdToService, 5041, "CPrinterView::OnPrinterIgnore",
               209);
}

void CPrinterView::OnPrinterRestore() {
    CTraceScope scope("CPrinterView::OnPrinterRestore");
    SendToEach(&CGtosPipeComm::SendRestorePrinterCmdToService, 5042,
               "CPrinterView::OnPrinterRestore", 210);
}

void CPrinterView::OnPrinterRemove() {
    CTraceScope scope("CPrinterView::OnPrinterRemove");
    CHoldScope hold(m_flags);
    if (!CVexApp::ServiceCheck(this))
        return;
    const std::string csQuestion =
        FormatVexString(5035, {LoadVexString(5008), LoadVexString(5009), LoadVexString(5010)});
    if (VexMessageText(this, 5035, csQuestion, EMsgButtons::YesNo, EMsgIcon::Question,
                       "CPrinterView::OnPrinterRemove", 204) == eAnswerYes) {
        bool bFailed = false;
        {
            CWaitCursor wait;
            CGtosPipeComm comm;
            for (const CPrinter& printer : SelectedPrinters())
                if (!comm.SendRemovePrinterCmdToService(&printer))
                    bFailed = true;
        }
        if (bFailed)
            VexMessage(this, 5043, EMsgButtons::Ok, EMsgIcon::Stop, "CPrinterView::OnPrinterRemove",
                       211);
        ActionPause();
    }
    RefreshView();
}

bool CPrinterView::ConfirmCreation(const char* pszRoutine, CPrinter* pPrinter) {
    if (!CVexApp::ServiceCheck(this))
        return false;
    const std::vector<CPrinter> selected = SelectedPrinters();
    if (selected.empty())
        return false;
    *pPrinter = selected.front();
    if ((pPrinter->m_uiPrtConfig1Var & PRT_CONFIG1_CAN_PRINT_MASK) != PRT_CONFIG1_CAN_PRINT_MASK &&
        VexMessage(this, 132, EMsgButtons::YesNo, EMsgIcon::Exclamation) != eAnswerYes)
        return false;
    if (pPrinter->m_VexState == eVexAdded &&
        VexMessage(this, 5023, EMsgButtons::YesNo, EMsgIcon::Question, pszRoutine, 202) !=
            eAnswerYes) {
        RefreshView();
        return false;
    }
    return true;
}

void CPrinterView::OnPrinterAddIcon() {
    CTraceScope scope("CPrinterView::OnPrinterAddIcon");
    CHoldScope hold(m_flags);
    CPrinter printer;
    if (!ConfirmCreation("CPrinterView::OnPrinterAddIcon", &printer))
        return;
    // The dialog sends "Add Icon" and reports the outcome itself.
    int iResult = QDialog::Rejected;
    if (m_addIconDialog) {
        iResult = m_addIconDialog(printer, this);
    } else {
        CAddIconDlg dialog(printer, this);
        iResult = dialog.exec();
    }
    if (iResult == QDialog::Accepted) {
        CWaitCursor wait;
        ActionPause();
    }
    RefreshView();
}

void CPrinterView::OnPrinterAddIconDefaults() {
    CTraceScope scope("CPrinterView::OnPrinterAddIconDefaults");
    CHoldScope hold(m_flags);
    CPrinter printer;
    if (!ConfirmCreation("CPrinterView::OnPrinterAddIconDefaults", &printer))
        return;
    CVexData data;
    const std::string csIconName = data.GetIconName(printer.m_csPrinterModel);
    CGtosPipeComm comm;
    {
        CWaitCursor wait;
        comm.SendAddIconWithDefaultsCmdToService(&printer);
        ActionPause();
    }
    const bool bPublishMissing = PublishMissing(data.GetPublishActiveDir(), csIconName);
    RefreshView();
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
    {
        CWaitCursor wait;
        CGtosPipeComm comm;
        // A failure is not reported: the list shows what the service made of it.
        for (const CPrinter& printer : SelectedPrinters())
            comm.SendChangeStateCmdToService(&printer, iState);
    }
    ActionPause();
    RefreshView();
}
