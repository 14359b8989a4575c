// CIconSettingsForm: the fields of a print queue shared by the create-printer
// and Modify dialogs (name, driver type, sharing, port, comment, location,
// separator page) and, for a new queue only, the existing-driver and
// additional-driver choices. It shows values and hands them back; the rules
// that enable fields live in IconDlgRules and are applied by the dialogs.
#pragma once

#include "common/IconInfo.h"
#include "common/Printer.h"
#include "gui/core/IconFieldChecks.h"

#include <QString>
#include <QWidget>
#include <array>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CIconSettingsForm : public QWidget {
    Q_OBJECT
public:
    enum EKind { eNewQueue, eExistingQueue };
    // bitmap: the resource painted at the top left (cyan is transparent).
    CIconSettingsForm(EKind eKind, const QString& csBitmap, QWidget* pParent = nullptr);

    // Shows the values (the driver choices only exist for a new queue).
    void SetValues(const SIconInfo& values);
    // The values shown; texts as typed.
    SIconInfo Values() const;

    // Hides the driver type buttons of types not installed for the model.
    void ShowDriverTypes(const std::array<bool, 3>& installed);
    void SetDriverTypesEnabled(bool bEnabled);
    void SetPublishVisible(bool bVisible);
    // The share rule's outcome: share name and Publish enabled, the label's colour.
    void SetShareControls(bool bShareNameEnabled, bool bPublishEnabled, bool bLabelBlue);
    // Applies the share rule to the shown values; an empty share name is refilled
    // with the proposal for the printer.
    void ApplyShareRule(const CPrinter& printer);
    void SetShareName(const QString& csName);
    void SetPublish(bool bPublish);
    void SetAdditionalChoicesEnabled(bool bEnabled);
    void SetCheckUpdatesEnabled(bool bEnabled);
    void SetSeparatorPage(const QString& csPath);
    void SetIconName(const QString& csName);
    // Puts the focus into a field, its text selected.
    void FocusField(EIconField eField);

    bool IsInstallingAdditional() const;
    QString SeparatorPage() const;

    static const QColor& RequiredColour();

signals:
    void ShareToggled();
    void InstallAdditionalToggled();
    void BrowseClicked();
    // The printer name, port name or share name changed.
    void RequiredTextChanged();

private:
    QLabel* RequiredLabel(const QString& csText, QWidget* pBuddy = nullptr);

    QLineEdit* m_pIconName;
    std::array<QRadioButton*, 3> m_driverTypes{};
    QButtonGroup* m_pDriverGroup;
    QButtonGroup* m_pExistingGroup = nullptr;
    QRadioButton* m_pCheckUpdates = nullptr;
    QCheckBox* m_pShare;
    QLabel* m_pShareLabel;
    QLineEdit* m_pShareName;
    QCheckBox* m_pPublish;
    QCheckBox* m_pInstallAddl = nullptr;
    QButtonGroup* m_pAddlGroup = nullptr;
    std::array<QRadioButton*, 2> m_addlChoices{};
    QLineEdit* m_pPortName;
    QLineEdit* m_pComments;
    QLineEdit* m_pLocation;
    QLineEdit* m_pSepPage;
};
