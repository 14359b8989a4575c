#include "gui/settings/SettingsDiscoveryTab.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/settings/SettingsFields.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CSettingsDiscoveryTab::CSettingsDiscoveryTab(QWidget* pParent)
    : CSettingsTab("Discovery", "settingsDiscoveryTab", pParent), m_pTTL(new QLineEdit(this)) {
    auto* pIntro = new QLabel(
        "Ambrel discovers printers with multicast search requests.  The time to live (TTL) is the "
        "number of routers a request may pass on its way: 1 keeps it on the local network, 0 on "
        "this workstation.",
        this);
    pIntro->setWordWrap(true);
    Body()->addWidget(pIntro);
    m_pTTL->setObjectName("edit1149");
    m_pTTL->setMaxLength(kTTLChars);
    m_pTTL->setFixedWidth(m_pTTL->fontMetrics().horizontalAdvance("0000") + 16);
    auto* pLabel = new QLabel("&Time to live (TTL):", this);
    pLabel->setBuddy(m_pTTL);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(pLabel);
    pRow->addWidget(m_pTTL);
    pRow->addStretch();
    Body()->addSpacing(8);
    Body()->addLayout(pRow);
    Body()->addStretch();
    connect(m_pTTL, &QLineEdit::textEdited, this, [this] { SetModified(); });
}

bool CSettingsDiscoveryTab::OnInitDialog() {
    CTraceScope scope("CSettingsDiscoveryTab::OnInitDialog");
    m_dwStoredTTL = CVexData().GetTTL();
    m_pTTL->setText(QString::number(m_dwStoredTTL));
    return true;
}

bool CSettingsDiscoveryTab::Validate() {
    if (ParseWholeNumber(m_pTTL->text().toStdString(), kMinTTL, kMaxTTL))
        return true;
    ShowNumberRangeMessage(this, kMinTTL, kMaxTTL);
    m_pTTL->setFocus();
    m_pTTL->selectAll();
    return false;
}

bool CSettingsDiscoveryTab::OnApply() {
    CTraceScope scope("CSettingsDiscoveryTab::OnApply");
    const auto iTTL = ParseWholeNumber(m_pTTL->text().toStdString(), kMinTTL, kMaxTTL);
    bool bResult = iTTL.has_value();
    if (bResult && uint32_t(*iTTL) != m_dwStoredTTL) {
        bResult = CVexData().SetTTL(uint32_t(*iTTL));
        if (bResult)
            m_dwStoredTTL = uint32_t(*iTTL);
    }
    scope.Result(bResult);
    return bResult;
}
