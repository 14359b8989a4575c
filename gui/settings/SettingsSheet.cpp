#include "gui/settings/SettingsSheet.h"

#include "common/Trace.h"
#include "gui/app/QtStrings.h"
#include "gui/settings/SettingsTab.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

CSettingsSheet::CSettingsSheet(uint32_t uiTitleId, const char* pszObjectName, QWidget* pParent)
    : QDialog(pParent), m_pTabs(new QTabWidget(this)) {
    setObjectName(pszObjectName);
    setWindowTitle(VexQString(uiTitleId));
    m_pTabs->setObjectName("tabs");
    auto* pButtons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_pApply = pButtons->button(QDialogButtonBox::Apply);
    m_pApply->setEnabled(false);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CSettingsSheet::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CSettingsSheet::reject);
    connect(m_pApply, &QPushButton::clicked, this, [this] { ApplyNow(); });
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CSettingsSheet::OnCurrentChanged);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabs);
    pLayout->addWidget(pButtons);
}

void CSettingsSheet::AddTab(CSettingsTab* pTab) {
    m_tabs.push_back(pTab);
    m_pTabs->addTab(pTab, pTab->Title());
    connect(pTab, &CSettingsTab::Modified, this, &CSettingsSheet::UpdateApplyButton);
}

void CSettingsSheet::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (m_iCurrent < 0)
        OnCurrentChanged(m_pTabs->currentIndex());
}

void CSettingsSheet::OnCurrentChanged(int iIndex) {
    if (m_bSwitchingBack || iIndex < 0)
        return;
    // A tab whose values fail the check keeps the front.
    if (m_iCurrent >= 0 && m_iCurrent != iIndex && !m_tabs[size_t(m_iCurrent)]->Validate()) {
        m_bSwitchingBack = true;
        m_pTabs->setCurrentIndex(m_iCurrent);
        m_bSwitchingBack = false;
        return;
    }
    m_iCurrent = iIndex;
    // A tab that cannot be used ends the notebook as Cancel would.
    if (!m_tabs[size_t(iIndex)]->Init())
        QTimer::singleShot(0, this, &CSettingsSheet::reject);
}

bool CSettingsSheet::ValidateShownTabs() {
    for (size_t i = 0; i < m_tabs.size(); ++i) {
        CSettingsTab* pTab = m_tabs[i];
        if (!pTab->Initialised() || pTab->Validate())
            continue;
        m_bSwitchingBack = true;
        m_pTabs->setCurrentIndex(int(i));
        m_iCurrent = int(i);
        m_bSwitchingBack = false;
        return false;
    }
    return true;
}

bool CSettingsSheet::ApplyShownTabs() {
    bool bApplied = true;
    for (CSettingsTab* pTab : m_tabs)
        bApplied &= pTab->Apply();
    UpdateApplyButton();
    return bApplied;
}

void CSettingsSheet::UpdateApplyButton() {
    bool bModified = false;
    for (const CSettingsTab* pTab : m_tabs)
        bModified |= pTab->IsModified();
    m_pApply->setEnabled(bModified);
}

bool CSettingsSheet::ApplyNow() {
    return ValidateShownTabs() && ApplyShownTabs();
}

void CSettingsSheet::accept() {
    // A tab whose write failed stays changed, so the user may try again.
    if (ApplyNow())
        QDialog::accept();
}
