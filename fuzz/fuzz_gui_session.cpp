// Feeds arbitrary bytes to the reader of the GUI session record, which any
// local user can write into the shared run folder. A record that reads must
// write out again into a text that reads to the same record.
#include "FuzzTrace.h"
#include "common/GuiSession.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzStartTrace();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string csText(reinterpret_cast<const char*>(pData), nSize);
    SGuiSession session;
    if (!ParseGuiSession(csText, &session))
        return 0;
    SGuiSession again;
    if (!ParseGuiSession(FormatGuiSession(session), &again) || again.uiUserId != session.uiUserId ||
        again.uiGroupId != session.uiGroupId || again.vEnv != session.vEnv)
        std::abort();
    return 0;
}
