// CDefaultValuesNotebook: "Default Values", what new printers get when they
// are created automatically or with the defaults, and what the create dialog
// proposes.
#pragma once

#include "gui/settings/SettingsSheet.h"

class CDefaultValuesNotebook : public CSettingsSheet {
    Q_OBJECT
public:
    explicit CDefaultValuesNotebook(QWidget* pParent = nullptr);
};
