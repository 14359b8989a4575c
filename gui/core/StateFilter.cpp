#include "gui/core/StateFilter.h"

#include "common/Printer.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"

namespace {
struct SListKind {
    int32_t iState; // -1: every state
    uint32_t uiLabel;
    uint32_t uiBody;
};
const SListKind kKinds[kListKinds] = {
    {-1, IDS_ALL_PRINTERS, IDS_LIST_ALL},
    {eVexWaiting, IDS_STATE_WAITING, IDS_LIST_WAITING},
    {eVexAdded, IDS_STATE_ADDED, IDS_LIST_ADDED},
    {eVexAddError, IDS_STATE_ADD_ERROR, IDS_LIST_ADD_ERROR},
    {eVexIgnore, IDS_STATE_IGNORED, IDS_LIST_IGNORED},
    {eVexUnsupported, IDS_STATE_UNSUPPORTED, IDS_LIST_UNSUPPORTED},
};

std::string WithoutAmpersand(std::string csText) {
    const size_t nAmp = csText.find('&');
    if (nAmp != std::string::npos)
        csText.erase(nAmp, 1);
    return csText;
}
} // namespace

int ValidListKind(uint32_t dwStored) {
    return dwStored < kListKinds ? int(dwStored) : eListAll;
}

bool ListKindShows(int iListKind, int32_t iState) {
    const int32_t iWanted = kKinds[ValidListKind(uint32_t(iListKind))].iState;
    return iWanted < 0 || iWanted == iState;
}

uint32_t ListKindStringId(int iListKind) {
    return kKinds[ValidListKind(uint32_t(iListKind))].uiLabel;
}

std::string SidePanelText(int iListKind, size_t* pnHeadingLength) {
    const SListKind& kind = kKinds[ValidListKind(uint32_t(iListKind))];
    std::string csBody;
    if (kind.uiBody == IDS_LIST_ALL)
        csBody =
            FormatVexString(IDS_LIST_ALL, {WithoutAmpersand(LoadVexString(IDS_SHOW_STATE_LABEL))});
    else if (kind.uiBody == IDS_LIST_ADDED)
        csBody = FormatVexString(IDS_LIST_ADDED, {LoadVexString(IDS_COLUMN_ICON_NAMES)});
    else
        csBody = LoadVexString(kind.uiBody);
    std::string csHeading = LoadVexString(kind.uiLabel);
    std::string csText =
        csHeading + "\n\n" + csBody + "\n\n\n" + LoadVexString(IDS_CANT_PRINT_EXPLAINED);
    const size_t nAmp = csText.find('&', 1);
    if (nAmp != std::string::npos) {
        csText.erase(nAmp, 1);
        if (nAmp < csHeading.size())
            csHeading.erase(nAmp, 1);
    }
    if (pnHeadingLength)
        *pnHeadingLength = csHeading.size();
    return csText;
}
