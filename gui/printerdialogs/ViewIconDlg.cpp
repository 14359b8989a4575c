#include "gui/printerdialogs/ViewIconDlg.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/Prompter.h"
#include "gui/app/WaitCursor.h"
#include "gui/core/IconDlgRules.h"
#include "gui/core/IconFieldChecks.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"
#include "gui/printerdialogs/DialogFit.h"
#include "gui/printerdialogs/IconSettingsForm.h"
#include "gui/printerdialogs/SepPageBrowseDlg.h"
#include "platform/error.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

CViewIconDlg::CViewIconDlg(const std::string& csQueueName, const CPrinter& printer,
                           QWidget* pParent)
    : QDialog(pParent), m_csQueueName(csQueueName), m_printer(printer),
      m_pForm(new CIconSettingsForm(CIconSettingsForm::eExistingQueue, ":/vexgui/modify-160.png",
                                    this)) {
    setObjectName("viewIconDlg");
    setWindowTitle("Modify");
    auto* pButtons = new QDialogButtonBox(this);
    m_pOk = pButtons->addButton("&Modify", QDialogButtonBox::AcceptRole);
    m_pOk->setObjectName("ok");
    pButtons->addButton(QDialogButtonBox::Cancel);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CViewIconDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CViewIconDlg::reject);
    connect(m_pForm, &CIconSettingsForm::ShareToggled, this, &CViewIconDlg::OnSharePrinter);
    connect(m_pForm, &CIconSettingsForm::BrowseClicked, this, &CViewIconDlg::OnBrowse);
    auto* pLayout = new QVBoxLayout(this);
    // The form scrolls where the dialog is given less than it asks for.
    pLayout->addWidget(ScrollableForm(m_pForm, this));
    pLayout->addWidget(pButtons);
    FitDialog(this);
}

int CViewIconDlg::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CViewIconDlg::showEvent(QShowEvent* pEvent) {
    OnInitDialog();
    QDialog::showEvent(pEvent);
}

void CViewIconDlg::OnInitDialog() {
    if (m_bInitDone)
        return;
    m_bInitDone = true;
    CTraceScope scope("CViewIconDlg::OnInitDialog");
    m_pForm->SetDriverTypesEnabled(false);
    m_pForm->ShowDriverTypes(InstalledDriverTypes(m_printer.m_csPrinterModel));
    m_pForm->SetPublishVisible(CVexData().GetOs() != eOsNT4);
    // A queue that cannot be read shows empty fields.
    if (m_queue.Open(m_csQueueName))
        m_pForm->SetValues(m_queue.Values());
    setWindowTitle("Modify " + QString::fromStdString(m_csQueueName));
    OnSharePrinter();
}

void CViewIconDlg::OnSharePrinter() {
    m_pForm->ApplyShareRule(m_printer);
}

void CViewIconDlg::OnBrowse() {
    if (auto csPath = CSepPageBrowseDlg::Choose(this, m_pForm->SeparatorPage()))
        m_pForm->SetSeparatorPage(*csPath);
}

void CViewIconDlg::accept() {
    CTraceScope scope("CViewIconDlg::OnOK");
    CWaitCursor wait;
    SIconInfo values = m_pForm->Values();
    values.csIconName = CIconFieldChecks::TrimmedName(values.csIconName);
    m_pForm->SetIconName(QString::fromStdString(values.csIconName));
    // The queue's own names and port are no new names: they pass unchecked.
    const SIconInfo& current = m_queue.Values();
    if (auto failure = CIconFieldChecks::CheckAll(values, m_csQueueName, m_queue.ShareName(),
                                                  current.csPortName)) {
        if (failure->uiMessageId) {
            const std::string csRoutine = std::string("CViewIconDlg::") + failure->pszCheck;
            VexMessageText(this, failure->uiMessageId, failure->csText, EMsgButtons::Ok,
                           EMsgIcon::Exclamation, csRoutine.c_str(), failure->iVexNumber);
        }
        m_pForm->FocusField(failure->eField);
        scope.Result("invalid");
        return;
    }
    if (m_queue.IsOpen() && values.bShare && values.csShareName.empty()) {
        VexMessage(this, IDS_NO_SHARE_NAME, EMsgButtons::Ok, EMsgIcon::Exclamation);
        m_pForm->FocusField(EIconField::ShareName);
        scope.Result("no share name");
        return;
    }
    const bool bWasOpen = m_queue.IsOpen();
    const SQueueChange change = m_queue.Apply(values, CVexData().GetOs() != eOsNT4);
    if (bWasOpen && !change.bApplied)
        VexMessageText(
            this, IDS_NOT_CHANGED,
            FormatVexString(IDS_NOT_CHANGED, {m_csQueueName, platform::ErrorText(change.dwError)}),
            EMsgButtons::Ok, EMsgIcon::Stop);
    std::string csWarnings;
    if (change.bPortWarning)
        csWarnings += LoadVexString(IDS_WARN_OTHER_PORT);
    if (change.bPublishWarning)
        csWarnings += LoadVexString(IDS_WARN_NOT_PUBLISHED);
    if (!csWarnings.empty())
        VexMessageText(this, IDS_UPDATED_WITH_WARNINGS,
                       LoadVexString(IDS_UPDATED_WITH_WARNINGS) + csWarnings, EMsgButtons::Ok,
                       EMsgIcon::Exclamation);
    scope.Result("applied=%d", change.bApplied);
    QDialog::accept();
}
