#include "gui/settings/DefaultValuesNotebook.h"

#include "gui/settings/SettingsDriverTab.h"
#include "gui/settings/SettingsSepPageTab.h"
#include "gui/settings/SettingsSharingTab.h"

CDefaultValuesNotebook::CDefaultValuesNotebook(QWidget* pParent)
    : CSettingsSheet(5021, "defaultValuesNotebook", pParent) {
    AddTab(new CSettingsDriverTab(this));
    AddTab(new CSettingsSharingTab(this));
    AddTab(new CSettingsSepPageTab(this));
}
