#include "gui/settings/TraceDlg.h"

#include "common/ServiceControl.h"
#include "common/Trace.h"
#include "gui/app/VexApp.h"
#include "gui/settings/SettingsFields.h"
#include "platform/service.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace platform;

namespace {
const char* const kLevelNames[kTraceLevelBoxes] = {"Error",   "Warning", "Information", "Flow",
                                                   "Details", "Debug",   "Log"};

QString ControlName(const char* pszKind, int iId) {
    return QString("%1%2").arg(pszKind).arg(iId);
}

// An off/on pair of radio buttons in a row of their own.
QWidget* OffOnPair(QRadioButton** ppOff, QRadioButton** ppOn, int iOffId, int iOnId,
                   QWidget* pParent) {
    auto* pPair = new QWidget(pParent);
    auto* pLayout = new QHBoxLayout(pPair);
    pLayout->setContentsMargins(0, 0, 0, 0);
    *ppOff = new QRadioButton("Off", pPair);
    *ppOn = new QRadioButton("On", pPair);
    (*ppOff)->setObjectName(ControlName("radio", iOffId));
    (*ppOn)->setObjectName(ControlName("radio", iOnId));
    auto* pGroup = new QButtonGroup(pPair);
    pGroup->addButton(*ppOff);
    pGroup->addButton(*ppOn);
    pLayout->addWidget(*ppOff);
    pLayout->addWidget(*ppOn);
    pLayout->addStretch();
    return pPair;
}
} // namespace

CTraceDlg::CTraceDlg(QWidget* pParent) : QDialog(pParent) {
    setObjectName("traceDlg");
    setWindowTitle("Trace Configuration");
    auto* pNote = new QLabel("Tracing must be off in order to change the settings.", this);
    BuildGroup(m_service, "Service tracing", {1021, 1022, 1023, 1041, 1042, 1044, 1048});
    BuildGroup(m_gui, "Gui tracing", {1030, 1031, 1032, 1045, 1046, 1047, 1049});
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CTraceDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CTraceDlg::reject);
    auto* pGroups = new QHBoxLayout;
    pGroups->addWidget(m_service.pBox);
    pGroups->addWidget(m_gui.pBox);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pNote);
    pLayout->addLayout(pGroups);
    pLayout->addWidget(pButtons);
    OnInitDialog();
}

void CTraceDlg::BuildGroup(SGroup& group, const char* pszTitle, const SIds& ids) {
    group.pBox = new QGroupBox(pszTitle, this);
    auto* pForm = new QFormLayout(group.pBox);
    pForm->addRow("Tracing:", OffOnPair(&group.pOff, &group.pOn, ids.iOff, ids.iOn, group.pBox));
    auto* pLevels = new QWidget(group.pBox);
    auto* pLevelsLayout = new QVBoxLayout(pLevels);
    pLevelsLayout->setContentsMargins(0, 0, 0, 0);
    pLevelsLayout->setSpacing(2);
    for (int i = 0; i < kTraceLevelBoxes; ++i) {
        group.levels[size_t(i)] = new QCheckBox(kLevelNames[i], pLevels);
        group.levels[size_t(i)]->setObjectName(ControlName("check", ids.iFirstLevel + i));
        pLevelsLayout->addWidget(group.levels[size_t(i)]);
    }
    pForm->addRow("Levels:", pLevels);
    pForm->addRow(
        "Wrap:", OffOnPair(&group.pWrapOff, &group.pWrapOn, ids.iWrapOff, ids.iWrapOn, group.pBox));
    group.pWrapSize = new QLineEdit(group.pBox);
    group.pWrapSize->setObjectName(ControlName("edit", ids.iWrapSize));
    pForm->addRow("Wrap size:", group.pWrapSize);
    group.pFile = new QLineEdit(group.pBox);
    group.pFile->setObjectName(ControlName("edit", ids.iFile));
    pForm->addRow("File name:", group.pFile);
}

void CTraceDlg::OnInitDialog() {
    CTraceScope scope("CTraceDlg::OnInitDialog");
    for (SGroup* pGroup : {&m_service, &m_gui}) {
        pGroup->read = STraceSettings::Read(pGroup->exe);
        Fill(*pGroup);
        // While a program traces, its settings stay as they are: switch the
        // trace off, confirm, and open the dialog again to change them.
        if (pGroup->read.bOn)
            EnableControls(*pGroup, false);
    }
}

void CTraceDlg::Fill(SGroup& group) {
    const STraceSettings& read = group.read;
    (read.bOn ? group.pOn : group.pOff)->setChecked(true);
    for (int i = 0; i < kTraceLevelBoxes; ++i)
        group.levels[size_t(i)]->setChecked((read.uiLevel & (1u << i)) != 0);
    (read.bWrapOn ? group.pWrapOn : group.pWrapOff)->setChecked(true);
    group.pWrapSize->setText(QString::number(read.iWrapSize));
    group.pFile->setText(QString::fromStdString(read.csFile));
}

void CTraceDlg::EnableControls(SGroup& group, bool bEnable) {
    for (QCheckBox* pLevel : group.levels)
        pLevel->setEnabled(bEnable);
    for (QWidget* pControl : std::initializer_list<QWidget*>{group.pWrapOff, group.pWrapOn,
                                                             group.pWrapSize, group.pFile})
        pControl->setEnabled(bEnable);
}

bool CTraceDlg::Edited(SGroup& group, STraceSettings* pSettings) {
    *pSettings = group.read;
    pSettings->bOn = group.pOn->isChecked();
    if (!group.pFile->isEnabled())
        return true;
    uint32_t uiBoxes = 0;
    for (int i = 0; i < kTraceLevelBoxes; ++i)
        if (group.levels[size_t(i)]->isChecked())
            uiBoxes |= 1u << i;
    pSettings->uiLevel = TraceLevelFromBoxes(group.read.uiLevel, uiBoxes);
    pSettings->bWrapOn = group.pWrapOn->isChecked();
    pSettings->csFile = group.pFile->text().toStdString();
    const auto iWrapSize =
        ParseWholeNumber(group.pWrapSize->text().toStdString(), kMinWrapSize, kMaxWrapSize);
    if (!iWrapSize) {
        ShowNumberRangeMessage(this, kMinWrapSize, kMaxWrapSize);
        group.pWrapSize->setFocus();
        group.pWrapSize->selectAll();
        return false;
    }
    pSettings->iWrapSize = int32_t(*iWrapSize);
    return true;
}

void CTraceDlg::accept() {
    CTraceScope scope("CTraceDlg::OnOK");
    STraceSettings service, gui;
    if (!Edited(m_service, &service) || !Edited(m_gui, &gui)) {
        scope.Result(false);
        return;
    }
    if (WriteTraceChanges(eExeService, m_service.read, service).bOnChanged)
        RestartServiceTrace();
    if (WriteTraceChanges(eExeGui, m_gui.read, gui).bOnChanged)
        TraceRestart();
    scope.Result(true);
    QDialog::accept();
}

bool CTraceDlg::RestartServiceTrace() {
    CTraceScope scope("CTraceDlg::RestartServiceTrace");
    CServiceHandles handles(CVexApp::kServiceName);
    if (!handles.Manager()) {
        scope.Err("OpenSCManager failed");
        scope.Result(false);
        return false;
    }
    bool bSent = false;
    if (!handles.Service()) {
        scope.Err("OpenService failed");
    } else {
        SERVICE_STATUS status{};
        bSent = ControlService(handles.Service(), kRestartTraceControl, &status);
        if (!bSent)
            scope.Err("ControlService failed");
    }
    scope.Result(bSent);
    return bSent;
}
