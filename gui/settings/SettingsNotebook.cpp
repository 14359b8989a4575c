#include "gui/settings/SettingsNotebook.h"

#include "gui/core/StringIds.h"
#include "gui/settings/SettingsDiscoveryTab.h"
#include "gui/settings/SettingsModeTab.h"

CSettingsNotebook::CSettingsNotebook(QWidget* pParent)
    : CSettingsSheet(IDS_SETTINGS_TITLE, "settingsNotebook", pParent) {
    AddTab(new CSettingsModeTab(this));
    AddTab(new CSettingsDiscoveryTab(this));
}
