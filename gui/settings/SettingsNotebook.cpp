#include "gui/settings/SettingsNotebook.h"

#include "gui/settings/SettingsDiscoveryTab.h"
#include "gui/settings/SettingsModeTab.h"

CSettingsNotebook::CSettingsNotebook(QWidget* pParent)
    : CSettingsSheet(5020, "settingsNotebook", pParent) {
    AddTab(new CSettingsModeTab(this));
    AddTab(new CSettingsDiscoveryTab(this));
}
