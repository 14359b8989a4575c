// The string table's texts as the widgets take them.
#pragma once

#include "gui/core/StringTable.h"

#include <QString>

QString VexQString(uint32_t uiId);
// A menu command's status-bar help (the text before its "\n") and its tool tip
// (the text after it).
QString VexCommandHelp(uint32_t uiId);
QString VexCommandTip(uint32_t uiId);
