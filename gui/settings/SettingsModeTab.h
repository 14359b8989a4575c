// CSettingsModeTab: "Mode", the operating mode of the service (automatic,
// prompt, manual).
#pragma once

#include "common/VexData.h"
#include "gui/settings/SettingsTab.h"

class QButtonGroup;

class CSettingsModeTab : public CSettingsTab {
    Q_OBJECT
public:
    explicit CSettingsModeTab(QWidget* pParent = nullptr);

protected:
    bool OnInitDialog() override;
    bool OnApply() override;

private:
    QButtonGroup* m_pModes;
    int m_iStoredMode = -1;
};
