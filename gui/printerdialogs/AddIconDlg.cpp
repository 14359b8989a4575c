#include "gui/printerdialogs/AddIconDlg.h"

#include "common/DriverSite.h"
#include "common/GtosPipeComm.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/Prompter.h"
#include "gui/app/QtStrings.h"
#include "gui/app/WaitCursor.h"
#include "gui/core/CreationReport.h"
#include "gui/core/IconDlgRules.h"
#include "gui/core/IconFieldChecks.h"
#include "gui/core/StringIds.h"
#include "gui/driverupdate/DriverUpdateDlg.h"
#include "gui/printerdialogs/DialogFit.h"
#include "gui/printerdialogs/IconSettingsForm.h"
#include "gui/printerdialogs/SepPageBrowseDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CAddIconDlg::CAddIconDlg(const CPrinter& printer, QWidget* pParent)
    : QDialog(pParent), m_printer(printer),
      m_pForm(new CIconSettingsForm(CIconSettingsForm::eNewQueue, ":/vexgui/create-145.png", this)),
      m_pInternetTimer(new QTimer(this)) {
    setObjectName("addIconDlg");
    setWindowTitle(VexQString(IDS_CREATE_TITLE));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pOk = pButtons->button(QDialogButtonBox::Ok);
    m_pOk->setObjectName("ok");
    connect(pButtons, &QDialogButtonBox::accepted, this, &CAddIconDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CAddIconDlg::reject);
    connect(m_pForm, &CIconSettingsForm::ShareToggled, this, &CAddIconDlg::OnSharePrinter);
    connect(m_pForm, &CIconSettingsForm::InstallAdditionalToggled, this,
            &CAddIconDlg::OnInstallAdditionalDrivers);
    connect(m_pForm, &CIconSettingsForm::BrowseClicked, this, &CAddIconDlg::OnBrowse);
    connect(m_pForm, &CIconSettingsForm::RequiredTextChanged, this, &CAddIconDlg::UpdateOkButton);
    m_pInternetTimer->setInterval(kInternetRuleMs);
    connect(m_pInternetTimer, &QTimer::timeout, this, &CAddIconDlg::UpdateCheckUpdates);
    auto* pLayout = new QVBoxLayout(this);
    // The form scrolls where the dialog is given less than it asks for.
    pLayout->addWidget(ScrollableForm(m_pForm, this));
    pLayout->addWidget(pButtons);
    FitDialog(this);
}

int CAddIconDlg::exec() {
    if (!OnInitDialog())
        return QDialog::Rejected;
    return QDialog::exec();
}

void CAddIconDlg::showEvent(QShowEvent* pEvent) {
    if (!OnInitDialog())
        QTimer::singleShot(0, this, &CAddIconDlg::reject);
    QDialog::showEvent(pEvent);
}

bool CAddIconDlg::OnInitDialog() {
    if (m_bInitDone)
        return m_bUsable;
    m_bInitDone = true;
    CTraceScope scope("CAddIconDlg::OnInitDialog");
    CVexData data;
    SIconInfo values;
    values.bInstallAddl = data.GetInstallAdditionalDrivers();
    values.bPublish = data.GetPublishActiveDir();
    values.bShare = data.GetSharePrinter();
    values.csComments = data.GetComments();
    values.csIconName = data.GetIconName(m_printer.m_csPrinterModel);
    values.csLocation = data.GetLocation();
    values.csPortName = data.GetPortName(m_printer.m_csHostName.empty() ? m_printer.m_csIpAddr
                                                                        : m_printer.m_csHostName);
    values.csSepPage = data.GetSeparatorPage();
    values.csShareName = data.GetShareName(m_printer.m_csPrinterModel, m_printer.m_csIpAddr);
    values.eUseExisting = data.GetUseExistingDriver();
    values.eUseExistingAddl = values.eUseExisting;
    values.eDriverType = data.GetValidDriverType();
    if (values.eDriverType == eDriverNone) {
        VexMessage(this, IDS_FILES_MISSING, EMsgButtons::Ok, EMsgIcon::Stop,
                   "CAddIconDlg::OnInitDialog", 208);
        scope.Err("Corrupted driver tree. No driver "
                  "types exist.");
        m_bUsable = false;
        scope.Result(false);
        return false;
    }
    // The types the model has no driver of are hidden; the choice moves to
    // one that is shown, so that no hidden button carries it.
    const std::array<bool, 3> installed = InstalledDriverTypes(m_printer.m_csPrinterModel);
    m_pForm->ShowDriverTypes(installed);
    const int32_t eShown = ShownDriverType(values.eDriverType, installed);
    if (eShown != eDriverNone)
        values.eDriverType = eShown;
    m_pForm->SetPublishVisible(data.GetOs() != eOsNT4);
    m_pForm->SetValues(values);
    setWindowTitle(QString::fromStdString(m_printer.m_csIpAddr) + " - " +
                   VexQString(IDS_CREATE_TITLE));
    OnSharePrinter();
    OnInstallAdditionalDrivers();
    UpdateOkButton();
    UpdateCheckUpdates();
    m_pInternetTimer->start();
    scope.Result(true);
    return true;
}

void CAddIconDlg::OnSharePrinter() {
    m_pForm->ApplyShareRule(m_printer);
}

void CAddIconDlg::OnInstallAdditionalDrivers() {
    m_pForm->SetAdditionalChoicesEnabled(m_pForm->IsInstallingAdditional());
}

void CAddIconDlg::OnBrowse() {
    if (auto csPath = CSepPageBrowseDlg::Choose(this, m_pForm->SeparatorPage()))
        m_pForm->SetSeparatorPage(*csPath);
}

void CAddIconDlg::UpdateOkButton() {
    const SIconInfo values = m_pForm->Values();
    m_pOk->setEnabled(IsOkAllowed(values.csIconName, values.csPortName, values.csShareName));
}

void CAddIconDlg::UpdateCheckUpdates() {
    m_pForm->SetCheckUpdatesEnabled(IsInternetUsable(InternetSessionOpens));
}

void CAddIconDlg::accept() {
    CTraceScope scope("CAddIconDlg::OnOK");
    SIconInfo values = m_pForm->Values();
    values.csIconName = CIconFieldChecks::TrimmedName(values.csIconName);
    m_pForm->SetIconName(QString::fromStdString(values.csIconName));
    if (auto failure = CIconFieldChecks::CheckAll(values, "", "")) {
        if (failure->uiMessageId) {
            const std::string csRoutine = std::string("CAddIconDlg::") + failure->pszCheck;
            VexMessageText(this, failure->uiMessageId, failure->csText, EMsgButtons::Ok,
                           EMsgIcon::Exclamation, csRoutine.c_str(), failure->iVexNumber);
        }
        scope.Inf("data validation failed, returning to dialog");
        m_pForm->FocusField(failure->eField);
        scope.Result("invalid");
        return;
    }
    scope.Inf("data validation succeeded");
    if (values.eUseExisting == kCheckForUpdates) {
        // A newer driver package first: Cancel stays here, "no newer
        // software" ends the creation.
        CDriverUpdateDlg update(eDriverType(values.eDriverType), this);
        const int iUpdate = update.exec();
        if (iUpdate == QDialog::Rejected) {
            scope.Result("update cancelled");
            return;
        }
        if (iUpdate == CDriverUpdateDlg::kNoNewerSoftware) {
            scope.Result("no newer software");
            QDialog::done(QDialog::Rejected);
            return;
        }
    }

    SIconInfo request;
    request.csUUID = m_printer.m_csUUID;
    request.csPortName = values.csPortName;
    request.eDriverType = values.eDriverType;
    request.eUseExisting = values.eUseExisting;
    request.eUseExistingAddl = values.eUseExistingAddl;
    request.csIconName = values.csIconName;
    request.bShare = values.bShare;
    request.csShareName = values.bShare ? values.csShareName : std::string();
    request.bPublish = values.bShare && values.bPublish;
    request.csLocation = values.csLocation;
    request.csComments = values.csComments;
    request.csSepPage = values.csSepPage;
    request.bInstallAddl = values.bInstallAddl;
    int iRc = 1;
    uint32_t uiWarnings = 0;
    bool bPublishMissing = false;
    {
        CWaitCursor wait;
        CGtosPipeComm comm;
        comm.SendAddIconCmdToService(&m_printer, request);
        iRc = comm.m_iRc;
        uiWarnings = comm.m_uiWarnings;
        bPublishMissing = PublishMissing(request.bPublish, request.csIconName);
    }
    const SCreationReport report =
        ReportCreationResult(iRc, uiWarnings, bPublishMissing, /*bWithPortWarning=*/true);
    if (report.iMessageId)
        VexMessageText(this, uint32_t(report.iMessageId), report.csText, EMsgButtons::Ok,
                       report.eIcon, "CAddIconDlg::OnOK", report.iVexNumber);
    if (!report.bSuccess)
        VexMessage(this, IDS_STATE_ADD_ERROR, EMsgButtons::Ok, EMsgIcon::Stop);
    scope.Result("rc=%d warnings=%08x", iRc, uiWarnings);
    QDialog::accept();
}
