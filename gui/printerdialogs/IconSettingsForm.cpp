#include "gui/printerdialogs/IconSettingsForm.h"

#include "common/VexData.h"
#include "gui/core/IconDlgRules.h"

#include <QBitmap>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QLineEdit* Edit(QWidget* pParent, const char* pszName, int iMaxLength) {
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setObjectName(pszName);
    if (iMaxLength > 0)
        pEdit->setMaxLength(iMaxLength);
    return pEdit;
}

QRadioButton* Radio(QWidget* pParent, const char* pszName, const QString& csText) {
    auto* pButton = new QRadioButton(csText, pParent);
    pButton->setObjectName(pszName);
    return pButton;
}

void SetLabelColour(QLabel* pLabel, const QColor& colour) {
    QPalette palette = pLabel->palette();
    palette.setColor(QPalette::WindowText, colour);
    pLabel->setPalette(palette);
}
} // namespace

const QColor& CIconSettingsForm::RequiredColour() {
    static const QColor blue(0, 0, 255);
    return blue;
}

QLabel* CIconSettingsForm::RequiredLabel(const QString& csText, QWidget* pBuddy) {
    auto* pLabel = new QLabel(csText, this);
    if (pBuddy)
        pLabel->setBuddy(pBuddy);
    SetLabelColour(pLabel, RequiredColour());
    return pLabel;
}

CIconSettingsForm::CIconSettingsForm(EKind eKind, const QString& csBitmap, QWidget* pParent)
    : QWidget(pParent), m_pIconName(Edit(this, "iconName", 78)),
      m_pDriverGroup(new QButtonGroup(this)), m_pShare(new QCheckBox("S&hare the printer", this)),
      m_pShareName(Edit(this, "shareName", 78)),
      m_pPublish(new QCheckBox("Pu&blish in the Active Directory", this)),
      m_pPortName(Edit(this, "portName", 128)), m_pComments(Edit(this, "comments", 255)),
      m_pLocation(Edit(this, "location", 255)), m_pSepPage(Edit(this, "separatorPage", 0)) {
    m_pShare->setObjectName("share");
    m_pPublish->setObjectName("publish");

    // The picture in the top left corner; cyan marks its transparent parts.
    QPixmap picture(csBitmap);
    picture.setMask(picture.createMaskFromColor(QColor(0, 255, 255)));
    auto* pPicture = new QLabel(this);
    pPicture->setObjectName("picture");
    pPicture->setPixmap(picture);
    auto* pRequired = RequiredLabel("* Required fields");
    pRequired->setObjectName("requiredLabel");

    auto* pDriverBox = new QGroupBox("Driver type", this);
    const char* const kDriverNames[] = {"pcl6", "pcl5", "postScript"};
    const char* const kDriverTexts[] = {"PCL &6", "PCL &5", "Po&stScript"};
    auto* pDriverRow = new QVBoxLayout(pDriverBox);
    for (int i = 0; i < 3; ++i) {
        m_driverTypes[size_t(i)] = Radio(pDriverBox, kDriverNames[i], kDriverTexts[i]);
        m_pDriverGroup->addButton(m_driverTypes[size_t(i)], i);
        pDriverRow->addWidget(m_driverTypes[size_t(i)]);
    }
    pDriverRow->addStretch();

    auto* pShareBox = new QGroupBox("Sharing", this);
    m_pShareLabel = RequiredLabel("* Sh&are name:", m_pShareName);
    m_pShareLabel->setObjectName("shareNameLabel");
    auto* pShareGrid = new QGridLayout(pShareBox);
    pShareGrid->addWidget(m_pShare, 0, 0, 1, 2);
    pShareGrid->addWidget(m_pShareLabel, 1, 0);
    pShareGrid->addWidget(m_pShareName, 1, 1);
    pShareGrid->addWidget(m_pPublish, 2, 0, 1, 2);

    auto* pTop = new QGridLayout;
    pTop->addWidget(pPicture, 0, 0, 2, 1, Qt::AlignLeft | Qt::AlignTop);
    pTop->addWidget(pRequired, 0, 1, Qt::AlignRight | Qt::AlignTop);
    pTop->setColumnStretch(1, 1);

    auto* pFields = new QGridLayout;
    int iRow = 0;
    pFields->addWidget(RequiredLabel("* &Printer name:", m_pIconName), iRow, 0);
    pFields->addWidget(m_pIconName, iRow++, 1, 1, 2);
    // The choices in two columns: the driver on the left, sharing and the
    // additional drivers on the right.
    auto* pGroups = new QGridLayout;
    pGroups->addWidget(pDriverBox, 0, 0);
    pGroups->addWidget(pShareBox, 0, 1);
    pFields->addLayout(pGroups, iRow++, 0, 1, 3);

    if (eKind == eNewQueue) {
        auto* pExistingBox = new QGroupBox("When the driver is already installed", this);
        m_pExistingGroup = new QButtonGroup(this);
        auto* pExistingColumn = new QVBoxLayout(pExistingBox);
        m_pCheckUpdates = Radio(pExistingBox, "checkUpdates", "&Check for updated software");
        QRadioButton* const existing[] = {
            Radio(pExistingBox, "useExisting", "&Use existing driver"),
            Radio(pExistingBox, "replaceExisting", "&Replace existing driver"), m_pCheckUpdates};
        for (int i = 0; i < 3; ++i) {
            m_pExistingGroup->addButton(existing[i], i);
            pExistingColumn->addWidget(existing[i]);
        }
        pGroups->addWidget(pExistingBox, 1, 0);
    }
    if (eKind == eNewQueue) {
        auto* pAddlBox = new QGroupBox("Additional drivers", this);
        m_pInstallAddl = new QCheckBox("I&nstall additional drivers", pAddlBox);
        m_pInstallAddl->setObjectName("installAdditional");
        m_pAddlGroup = new QButtonGroup(this);
        m_addlChoices = {Radio(pAddlBox, "addlUseExisting", "Use e&xisting driver"),
                         Radio(pAddlBox, "addlReplaceExisting", "Replace existing dri&ver")};
        auto* pAddlGrid = new QGridLayout(pAddlBox);
        pAddlGrid->addWidget(m_pInstallAddl, 0, 0, 1, 2);
        for (int i = 0; i < 2; ++i) {
            m_pAddlGroup->addButton(m_addlChoices[size_t(i)], i);
            pAddlGrid->addWidget(m_addlChoices[size_t(i)], 1, i);
        }
        pGroups->addWidget(pAddlBox, 1, 1);
        connect(m_pInstallAddl, &QCheckBox::toggled, this,
                &CIconSettingsForm::InstallAdditionalToggled);
    }
    auto addTextRow = [&](QLabel* pLabel, QLineEdit* pEdit, QWidget* pButton = nullptr) {
        pLabel->setBuddy(pEdit);
        pFields->addWidget(pLabel, iRow, 0);
        pFields->addWidget(pEdit, iRow, 1, 1, pButton ? 1 : 2);
        if (pButton)
            pFields->addWidget(pButton, iRow, 2);
        ++iRow;
    };
    auto* pBrowse = new QPushButton("Bro&wse...", this);
    pBrowse->setObjectName("browse");
    pBrowse->setAutoDefault(false);
    addTextRow(RequiredLabel("* Por&t name:"), m_pPortName);
    addTextRow(new QLabel("Co&mments:", this), m_pComments);
    addTextRow(new QLabel("&Location:", this), m_pLocation);
    addTextRow(new QLabel("S&eparator Page:", this), m_pSepPage, pBrowse);
    pFields->setColumnStretch(1, 1);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addLayout(pTop);
    pLayout->addLayout(pFields);

    connect(m_pShare, &QCheckBox::clicked, this, &CIconSettingsForm::ShareToggled);
    connect(pBrowse, &QPushButton::clicked, this, &CIconSettingsForm::BrowseClicked);
    for (QLineEdit* pEdit : {m_pIconName, m_pPortName, m_pShareName})
        connect(pEdit, &QLineEdit::textChanged, this, &CIconSettingsForm::RequiredTextChanged);
}

void CIconSettingsForm::SetValues(const SIconInfo& values) {
    m_pIconName->setText(QString::fromStdString(values.csIconName));
    // No button stays checked for a type that has none (999).
    m_pDriverGroup->setExclusive(false);
    for (QRadioButton* pButton : m_driverTypes)
        pButton->setChecked(false);
    m_pDriverGroup->setExclusive(true);
    if (values.eDriverType >= 0 && values.eDriverType < 3)
        m_driverTypes[size_t(values.eDriverType)]->setChecked(true);
    if (m_pExistingGroup)
        if (QAbstractButton* pButton = m_pExistingGroup->button(values.eUseExisting))
            pButton->setChecked(true);
    m_pShare->setChecked(values.bShare);
    m_pShareName->setText(QString::fromStdString(values.csShareName));
    m_pPublish->setChecked(values.bPublish);
    if (m_pInstallAddl) {
        m_pInstallAddl->setChecked(values.bInstallAddl);
        if (QAbstractButton* pButton = m_pAddlGroup->button(values.eUseExistingAddl))
            pButton->setChecked(true);
    }
    m_pPortName->setText(QString::fromStdString(values.csPortName));
    m_pComments->setText(QString::fromStdString(values.csComments));
    m_pLocation->setText(QString::fromStdString(values.csLocation));
    m_pSepPage->setText(QString::fromStdString(values.csSepPage));
}

SIconInfo CIconSettingsForm::Values() const {
    SIconInfo values;
    values.csIconName = m_pIconName->text().toStdString();
    values.eDriverType = m_pDriverGroup->checkedId() >= 0 ? m_pDriverGroup->checkedId() : 999;
    if (m_pExistingGroup)
        values.eUseExisting = std::max(0, m_pExistingGroup->checkedId());
    values.bShare = m_pShare->isChecked();
    values.csShareName = m_pShareName->text().toStdString();
    values.bPublish = m_pPublish->isChecked();
    if (m_pInstallAddl) {
        values.bInstallAddl = m_pInstallAddl->isChecked();
        values.eUseExistingAddl = std::max(0, m_pAddlGroup->checkedId());
    }
    values.csPortName = m_pPortName->text().toStdString();
    values.csComments = m_pComments->text().toStdString();
    values.csLocation = m_pLocation->text().toStdString();
    values.csSepPage = m_pSepPage->text().toStdString();
    return values;
}

void CIconSettingsForm::ShowDriverTypes(const std::array<bool, 3>& installed) {
    for (size_t i = 0; i < 3; ++i)
        m_driverTypes[i]->setVisible(installed[i]);
}

void CIconSettingsForm::SetDriverTypesEnabled(bool bEnabled) {
    for (QRadioButton* pButton : m_driverTypes)
        pButton->setEnabled(bEnabled);
}

void CIconSettingsForm::SetPublishVisible(bool bVisible) {
    m_pPublish->setVisible(bVisible);
}

void CIconSettingsForm::SetShareControls(bool bShareNameEnabled, bool bPublishEnabled,
                                         bool bLabelBlue) {
    m_pShareName->setEnabled(bShareNameEnabled);
    m_pPublish->setEnabled(bPublishEnabled);
    SetLabelColour(m_pShareLabel,
                   bLabelBlue ? RequiredColour() : palette().color(QPalette::ButtonText));
}

void CIconSettingsForm::SetShareName(const QString& csName) {
    m_pShareName->setText(csName);
}

void CIconSettingsForm::SetPublish(bool bPublish) {
    m_pPublish->setChecked(bPublish);
}

void CIconSettingsForm::SetAdditionalChoicesEnabled(bool bEnabled) {
    for (QRadioButton* pButton : m_addlChoices)
        if (pButton)
            pButton->setEnabled(bEnabled);
}

void CIconSettingsForm::SetCheckUpdatesEnabled(bool bEnabled) {
    if (m_pCheckUpdates)
        m_pCheckUpdates->setEnabled(bEnabled);
}

void CIconSettingsForm::SetSeparatorPage(const QString& csPath) {
    m_pSepPage->setText(csPath);
}

void CIconSettingsForm::SetIconName(const QString& csName) {
    m_pIconName->setText(csName);
}

void CIconSettingsForm::FocusField(EIconField eField) {
    QLineEdit* pEdit = m_pIconName;
    switch (eField) {
    case EIconField::IconName:
        break;
    case EIconField::PortName:
        pEdit = m_pPortName;
        break;
    case EIconField::ShareName:
        pEdit = m_pShareName;
        break;
    case EIconField::SeparatorPage:
        pEdit = m_pSepPage;
        break;
    }
    pEdit->setFocus();
    pEdit->selectAll();
}

bool CIconSettingsForm::IsInstallingAdditional() const {
    return m_pInstallAddl && m_pInstallAddl->isChecked();
}

QString CIconSettingsForm::SeparatorPage() const {
    return m_pSepPage->text();
}

void CIconSettingsForm::ApplyShareRule(const CPrinter& printer) {
    const SIconInfo values = Values();
    const SShareState state =
        ::ApplyShareRule(values.bShare, values.csShareName, values.bPublish, [&printer] {
            return CVexData().GetShareName(printer.m_csPrinterModel, printer.m_csIpAddr);
        });
    SetShareName(QString::fromStdString(state.csShareName));
    SetPublish(state.bPublish);
    SetShareControls(state.bShareNameEnabled, state.bPublishEnabled, state.bShareLabelBlue);
}
