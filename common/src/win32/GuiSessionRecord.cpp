// The GUI's session on Windows is the machine's active console session, which
// the service finds itself (service/src/win32/): nothing is recorded.
#include "common/GuiSession.h"

#include "common/Trace.h"

bool RecordGuiSession() {
    return true;
}

bool LoadGuiSession(SGuiSession*, bool bMissingIsWarning) {
    const CTraceName trace("LoadGuiSession");
    if (bMissingIsWarning)
        trace.Wrn("No GUI session is recorded on Windows: the GUI runs in the "
                  "active console session");
    return false;
}
