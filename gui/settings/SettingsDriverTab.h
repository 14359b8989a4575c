// CSettingsDriverTab: "Driver", the driver type of new printers (only the
// types the drivers package installs are offered) and whether a driver that is
// already installed is kept or replaced.
#pragma once

#include "common/VexData.h"
#include "gui/settings/SettingsTab.h"

class QButtonGroup;

class CSettingsDriverTab : public CSettingsTab {
    Q_OBJECT
public:
    explicit CSettingsDriverTab(QWidget* pParent = nullptr);

protected:
    // Reports a drivers package without any driver type (5040) and fails.
    bool OnInitDialog() override;
    bool OnApply() override;

private:
    QButtonGroup* m_pTypes;
    QButtonGroup* m_pExisting;
    int m_iStoredType = -1;
    int m_iStoredUseExisting = -1;
};
