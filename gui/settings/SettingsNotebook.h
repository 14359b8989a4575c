// CSettingsNotebook: "Vex Settings", the service's operating mode and the
// discovery's range.
#pragma once

#include "gui/settings/SettingsSheet.h"

class CSettingsNotebook : public CSettingsSheet {
    Q_OBJECT
public:
    explicit CSettingsNotebook(QWidget* pParent = nullptr);
};
