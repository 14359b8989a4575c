#include "gui/SettingsNotebook.h"

#include "gui/SettingsDiscoveryTab.h"
#include "gui/SettingsModeTab.h"

CSettingsNotebook::CSettingsNotebook(QWidget* pParent)
    : CSettingsSheet(5020, "settingsNotebook", pParent) {
    AddTab(new CSettingsModeTab(this));
    AddTab(new CSettingsDiscoveryTab(this));
}
