#include "gui/settings/SettingsModeTab.h"

#include "common/Trace.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QLabel* Explanation(const QString& csText, QWidget* pParent) {
    auto* pLabel = new QLabel(csText, pParent);
    pLabel->setWordWrap(true);
    pLabel->setContentsMargins(20, 0, 0, 8);
    return pLabel;
}
} // namespace

CSettingsModeTab::CSettingsModeTab(QWidget* pParent)
    : CSettingsTab("Mode", "settingsModeTab", pParent), m_pModes(new QButtonGroup(this)) {
    const std::string csWaiting = LoadVexString(IDS_STATE_WAITING);
    auto* pIntro =
        new QLabel("Choose what Ambrel does when it discovers a new printer on the network.", this);
    pIntro->setWordWrap(true);
    Body()->addWidget(pIntro);
    const struct {
        eMode eValue;
        const char* pszLabel;
        const char* pszName;
        QString csText;
    } kModes[] = {
        {eModeAutomatic, "&Automatic", "radio1053",
         "Ambrel creates a printer on this workstation for every new printer that accepts jobs "
         "from it, using the default values."},
        {eModePrompt, "&Prompt", "radio1054",
         QString("Ambrel asks whether you want to see the new printers, and lists them in the "
                 "'%1' state until you create a printer for them or ignore them.")
             .arg(QString::fromStdString(csWaiting))},
        {eModeManual, "&Manual", "radio1103",
         QString("Ambrel lists new printers in the '%1' state without asking; open Ambrel to "
                 "create printers for them.")
             .arg(QString::fromStdString(csWaiting))},
    };
    for (const auto& mode : kModes) {
        auto* pButton = new QRadioButton(mode.pszLabel, this);
        pButton->setObjectName(mode.pszName);
        m_pModes->addButton(pButton, mode.eValue);
        Body()->addWidget(pButton);
        Body()->addWidget(Explanation(mode.csText, this));
    }
    Body()->addStretch();
    connect(m_pModes, &QButtonGroup::idClicked, this, [this] { SetModified(); });
}

bool CSettingsModeTab::OnInitDialog() {
    CTraceScope scope("CSettingsModeTab::OnInitDialog");
    m_iStoredMode = int(CVexData().GetOpMode());
    if (QAbstractButton* pButton = m_pModes->button(m_iStoredMode))
        pButton->setChecked(true);
    else
        scope.Wrn("Stored mode %d is no mode", m_iStoredMode);
    return true;
}

bool CSettingsModeTab::OnApply() {
    CTraceScope scope("CSettingsModeTab::OnApply");
    const int iMode = m_pModes->checkedId();
    bool bResult = true;
    if (iMode >= 0 && iMode != m_iStoredMode) {
        bResult = CVexData().SetOpMode(eMode(iMode));
        if (bResult)
            m_iStoredMode = iMode;
    }
    scope.Result(bResult);
    return bResult;
}
