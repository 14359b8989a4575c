#include "gui/core/StateFilter.h"

#include "common/Printer.h"
#include "gui/core/StringTable.h"

namespace {
struct SListKind {
    int32_t iState; // -1: every state
    uint32_t uiLabel;
    uint32_t uiBody;
};
const SListKind kKinds[kListKinds] = {
    {-1, 5032, 5033},           {eVexWaiting, 5008, 5027}, {eVexAdded, 5009, 5028},
    {eVexAddError, 5011, 5034}, {eVexIgnore, 5010, 5030},  {eVexUnsupported, 5007, 5029},
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
    if (kind.uiBody == 5033)
        csBody = FormatVexString(5033, {WithoutAmpersand(LoadVexString(5031))});
    else if (kind.uiBody == 5028)
        csBody = FormatVexString(5028, {LoadVexString(5022)});
    else
        csBody = LoadVexString(kind.uiBody);
    std::string csHeading = LoadVexString(kind.uiLabel);
    std::string csText = csHeading + "\n\n" + csBody + "\n\n\n" + LoadVexString(5025);
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
