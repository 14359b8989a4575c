#include "gui/settings/SettingsDriverTab.h"

#include "common/Trace.h"
#include "gui/app/Prompter.h"
#include "gui/core/StringIds.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <tuple>

namespace {
QGroupBox* RadioGroup(const char* pszTitle, QButtonGroup* pGroup,
                      std::initializer_list<std::tuple<int, const char*, const char*>> buttons,
                      QWidget* pParent) {
    auto* pBox = new QGroupBox(pszTitle, pParent);
    auto* pLayout = new QVBoxLayout(pBox);
    for (const auto& [iId, pszLabel, pszName] : buttons) {
        auto* pButton = new QRadioButton(pszLabel, pBox);
        pButton->setObjectName(pszName);
        pGroup->addButton(pButton, iId);
        pLayout->addWidget(pButton);
    }
    return pBox;
}
} // namespace

CSettingsDriverTab::CSettingsDriverTab(QWidget* pParent)
    : CSettingsTab("Driver", "settingsDriverTab", pParent), m_pTypes(new QButtonGroup(this)),
      m_pExisting(new QButtonGroup(this)) {
    auto* pIntro = new QLabel("The driver Ambrel installs for a new printer.", this);
    pIntro->setWordWrap(true);
    Body()->addWidget(pIntro);
    Body()->addWidget(RadioGroup("Driver type", m_pTypes,
                                 {{eDriverPcl6, "PCL &6", "radio1105"},
                                  {eDriverPcl5, "PCL &5", "radio1106"},
                                  {eDriverPostScript, "&PostScript", "radio1107"}},
                                 this));
    Body()->addWidget(RadioGroup("When the printer's driver is already installed", m_pExisting,
                                 {{eUseExistingKeep, "&Use existing driver", "radio1136"},
                                  {eUseExistingReplace, "&Replace existing driver", "radio1137"}},
                                 this));
    Body()->addStretch();
    connect(m_pTypes, &QButtonGroup::idClicked, this, [this] { SetModified(); });
    connect(m_pExisting, &QButtonGroup::idClicked, this, [this] { SetModified(); });
}

bool CSettingsDriverTab::OnInitDialog() {
    CTraceScope scope("CSettingsDriverTab::OnInitDialog");
    CVexData data;
    const eDriverType eType = data.GetValidDriverType();
    if (eType == eDriverNone) {
        VexMessage(this, IDS_FILES_MISSING, EMsgButtons::Ok, EMsgIcon::Stop,
                   "CSettingsDriverTab::OnInitDialog", 208);
        scope.Err("Corrupted driver tree. No driver types exist.");
        return false;
    }
    for (eDriverType eEach : {eDriverPcl6, eDriverPcl5, eDriverPostScript})
        m_pTypes->button(eEach)->setVisible(data.DoesDriverTypeExist(eEach));
    m_iStoredType = int(eType);
    m_pTypes->button(m_iStoredType)->setChecked(true);
    m_iStoredUseExisting = int(data.GetUseExistingDriver());
    if (QAbstractButton* pButton = m_pExisting->button(m_iStoredUseExisting))
        pButton->setChecked(true);
    return true;
}

bool CSettingsDriverTab::OnApply() {
    CTraceScope scope("CSettingsDriverTab::OnApply");
    CVexData data;
    bool bResult = true;
    const int iType = m_pTypes->checkedId();
    if (iType >= 0 && iType != m_iStoredType) {
        if (data.SetDriverType(eDriverType(iType)))
            m_iStoredType = iType;
        else
            bResult = false;
    }
    const int iUse = m_pExisting->checkedId();
    if (iUse >= 0 && iUse != m_iStoredUseExisting) {
        if (data.SetUseExistingDriver(eUseExisting(iUse)))
            m_iStoredUseExisting = iUse;
        else
            bResult = false;
    }
    scope.Result(bResult);
    return bResult;
}
