#include "gui/settings/SettingsSharingTab.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/settings/SettingsFields.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

CSettingsSharingTab::CSettingsSharingTab(QWidget* pParent)
    : CSettingsTab("Sharing", "settingsSharingTab", pParent),
      m_pAdditional(new QCheckBox("&Install additional drivers", this)),
      m_pShare(new QCheckBox("&Share the printer", this)),
      m_pPublish(new QCheckBox("&Publish in the Active Directory", this)) {
    m_pAdditional->setObjectName("check1109");
    m_pShare->setObjectName("check1077");
    m_pPublish->setObjectName("check1078");
    auto* pIntro = new QLabel("How Ambrel offers a new printer to the other computers of the "
                              "network.  The additional drivers let computers running other "
                              "systems print to a shared printer.",
                              this);
    pIntro->setWordWrap(true);
    Body()->addWidget(pIntro);
    Body()->addSpacing(8);
    Body()->addWidget(m_pShare);
    auto* pPublishRow = new QVBoxLayout;
    pPublishRow->setContentsMargins(20, 0, 0, 0);
    pPublishRow->addWidget(m_pPublish);
    Body()->addLayout(pPublishRow);
    Body()->addWidget(m_pAdditional);
    Body()->addStretch();
    connect(m_pShare, &QCheckBox::clicked, this, &CSettingsSharingTab::OnShare);
    connect(m_pAdditional, &QCheckBox::clicked, this, [this] { SetModified(); });
    connect(m_pPublish, &QCheckBox::clicked, this, [this] { SetModified(); });
}

bool CSettingsSharingTab::OnInitDialog() {
    CTraceScope scope("CSettingsSharingTab::OnInitDialog");
    CVexData data;
    m_bStoredAdditional = data.GetInstallAdditionalDrivers();
    m_bStoredShare = data.GetSharePrinter();
    m_bStoredPublish = data.GetPublishActiveDir();
    m_pAdditional->setChecked(m_bStoredAdditional);
    m_pShare->setChecked(m_bStoredShare);
    m_pPublish->setChecked(m_bStoredPublish);
    // Windows NT 4.0 has no directory to publish in.
    m_pPublish->setVisible(data.GetOs() != eOsNT4);
    const SPublishBox publish = PublishBoxForShare(m_bStoredShare, m_bStoredPublish);
    m_pPublish->setEnabled(publish.bEnabled);
    m_pPublish->setChecked(publish.bChecked);
    return true;
}

void CSettingsSharingTab::OnShare() {
    const SPublishBox publish = PublishBoxForShare(m_pShare->isChecked(), m_pPublish->isChecked());
    m_pPublish->setEnabled(publish.bEnabled);
    m_pPublish->setChecked(publish.bChecked);
    if (m_pShare->isChecked() != m_bStoredShare)
        SetModified();
}

bool CSettingsSharingTab::OnApply() {
    CTraceScope scope("CSettingsSharingTab::OnApply");
    CVexData data;
    bool bResult = true;
    auto write = [&](QCheckBox* pBox, bool& bStored, bool (CVexData::*pfnSet)(bool)) {
        const bool bNow = pBox->isChecked();
        if (bNow == bStored)
            return;
        if ((data.*pfnSet)(bNow))
            bStored = bNow;
        else
            bResult = false;
    };
    write(m_pAdditional, m_bStoredAdditional, &CVexData::SetInstallAdditionalDrivers);
    write(m_pShare, m_bStoredShare, &CVexData::SetSharePrinter);
    write(m_pPublish, m_bStoredPublish, &CVexData::SetPublishActiveDir);
    scope.Result(bResult);
    return bResult;
}
