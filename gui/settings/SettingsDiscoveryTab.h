// CSettingsDiscoveryTab: "Discovery", the time to live of the discovery's
// multicast searches.
#pragma once

#include "gui/settings/SettingsTab.h"

#include <cstdint>

class QLineEdit;

class CSettingsDiscoveryTab : public CSettingsTab {
    Q_OBJECT
public:
    explicit CSettingsDiscoveryTab(QWidget* pParent = nullptr);

    // The TTL must be a whole number 0 to 250.
    bool Validate() override;

protected:
    bool OnInitDialog() override;
    bool OnApply() override;

private:
    QLineEdit* m_pTTL;
    uint32_t m_dwStoredTTL = 0;
};
