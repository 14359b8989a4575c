#include "gui/app/QtStrings.h"

QString VexQString(uint32_t uiId) {
    return QString::fromStdString(LoadVexString(uiId));
}

QString VexCommandHelp(uint32_t uiId) {
    return VexQString(uiId).section('\n', 0, 0);
}

QString VexCommandTip(uint32_t uiId) {
    return VexQString(uiId).section('\n', 1, 1);
}
