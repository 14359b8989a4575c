#include "gui/DefaultValuesNotebook.h"

#include "gui/SettingsDriverTab.h"
#include "gui/SettingsSepPageTab.h"
#include "gui/SettingsSharingTab.h"

CDefaultValuesNotebook::CDefaultValuesNotebook(QWidget* pParent)
    : CSettingsSheet(5021, "defaultValuesNotebook", pParent) {
    AddTab(new CSettingsDriverTab(this));
    AddTab(new CSettingsSharingTab(this));
    AddTab(new CSettingsSepPageTab(this));
}
