#include "gui/settings/DefaultValuesNotebook.h"

#include "gui/core/StringIds.h"
#include "gui/settings/SettingsDriverTab.h"
#include "gui/settings/SettingsSepPageTab.h"
#include "gui/settings/SettingsSharingTab.h"

CDefaultValuesNotebook::CDefaultValuesNotebook(QWidget* pParent)
    : CSettingsSheet(IDS_DEFAULT_VALUES_TITLE, "defaultValuesNotebook", pParent) {
    AddTab(new CSettingsDriverTab(this));
    AddTab(new CSettingsSharingTab(this));
    AddTab(new CSettingsSepPageTab(this));
}
