// CSettingsSharingTab: "Sharing", whether new printers are shared, published
// in the directory and given the drivers of other systems.
#pragma once

#include "gui/settings/SettingsTab.h"

class QCheckBox;

class CSettingsSharingTab : public CSettingsTab {
    Q_OBJECT
public:
    explicit CSettingsSharingTab(QWidget* pParent = nullptr);

protected:
    bool OnInitDialog() override;
    bool OnApply() override;

private:
    void OnShare();

    QCheckBox* m_pAdditional;
    QCheckBox* m_pShare;
    QCheckBox* m_pPublish;
    bool m_bStoredAdditional = false;
    bool m_bStoredShare = false;
    bool m_bStoredPublish = false;
};
