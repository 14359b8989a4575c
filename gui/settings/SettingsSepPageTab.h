// CSettingsSepPageTab: "Separator Page", the file printed before each job of a
// new printer (empty: none).
#pragma once

#include "gui/settings/SettingsTab.h"

#include <string>

class QLineEdit;
class QPushButton;

class CSettingsSepPageTab : public CSettingsTab {
    Q_OBJECT
public:
    explicit CSettingsSepPageTab(QWidget* pParent = nullptr);

    // A page that is not empty must be an existing file (5044 otherwise).
    bool Validate() override;

protected:
    bool OnInitDialog() override;
    bool OnApply() override;

private:
    // Puts the page chosen in the separator-page chooser into the edit.
    void OnBrowse();

    QLineEdit* m_pSepPage;
    QPushButton* m_pBrowse;
    std::string m_csStoredSepPage;
};
