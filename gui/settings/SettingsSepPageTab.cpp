#include "gui/settings/SettingsSepPageTab.h"

#include "common/DataValidation.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/Prompter.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"
#include "gui/printerdialogs/SepPageBrowseDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSettingsSepPageTab::CSettingsSepPageTab(QWidget* pParent)
    : CSettingsTab("Separator Page", "settingsSepPageTab", pParent),
      m_pSepPage(new QLineEdit(this)), m_pBrowse(new QPushButton("&Browse...", this)) {
    m_pSepPage->setObjectName("edit1112");
    m_pBrowse->setObjectName("button1111");
    auto* pIntro = new QLabel("A separator page is printed before each document, so that "
                              "documents are easy to tell apart at the printer.  Leave the field "
                              "empty to print none.",
                              this);
    pIntro->setWordWrap(true);
    Body()->addWidget(pIntro);
    auto* pLabel = new QLabel("&Separator page:", this);
    pLabel->setBuddy(m_pSepPage);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pSepPage, 1);
    pRow->addWidget(m_pBrowse);
    Body()->addSpacing(8);
    Body()->addWidget(pLabel);
    Body()->addLayout(pRow);
    Body()->addStretch();
    connect(m_pSepPage, &QLineEdit::textEdited, this, [this] { SetModified(); });
    connect(m_pBrowse, &QPushButton::clicked, this, &CSettingsSepPageTab::OnBrowse);
}

void CSettingsSepPageTab::OnBrowse() {
    if (const auto csChosen = CSepPageBrowseDlg::Choose(this, m_pSepPage->text())) {
        m_pSepPage->setText(*csChosen);
        SetModified();
    }
}

bool CSettingsSepPageTab::OnInitDialog() {
    CTraceScope scope("CSettingsSepPageTab::OnInitDialog");
    m_csStoredSepPage = CVexData().GetSeparatorPage();
    m_pSepPage->setText(QString::fromStdString(m_csStoredSepPage));
    return true;
}

bool CSettingsSepPageTab::Validate() {
    const std::string csSepPage = m_pSepPage->text().toStdString();
    if (csSepPage.empty() || CDataValidation().IsSeparatorPageValid(csSepPage) == eValidOk)
        return true;
    VexMessageText(this, IDS_BAD_SEPARATOR_PAGE,
                   FormatVexString(IDS_BAD_SEPARATOR_PAGE, {csSepPage}), EMsgButtons::Ok,
                   EMsgIcon::Exclamation, "CSettingsSepPageTab::DDV_ValidSeparatorPage", 212);
    m_pSepPage->setFocus();
    m_pSepPage->selectAll();
    return false;
}

bool CSettingsSepPageTab::OnApply() {
    CTraceScope scope("CSettingsSepPageTab::OnApply");
    const std::string csSepPage = m_pSepPage->text().toStdString();
    bool bResult = true;
    if (csSepPage != m_csStoredSepPage) {
        bResult = CVexData().SetSeparatorPage(csSepPage);
        if (bResult)
            m_csStoredSepPage = csSepPage;
    }
    scope.Result(bResult);
    return bResult;
}
