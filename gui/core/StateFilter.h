// The state filter of the main window: the six list kinds, which printers each
// shows, and the side panel's description of each.
#pragma once

#include <cstdint>
#include <string>

enum EListKind {
    eListAll = 0,
    eListAction = 1,      // awaiting user action
    eListIcon = 2,        // printer created
    eListError = 3,       // error creating printer
    eListIgnore = 4,      // ignored by user
    eListUnsupported = 5, // unsupported printer model
};
constexpr int kListKinds = 6;

// A stored list kind outside 0..5 is taken as "All printers".
int ValidListKind(uint32_t dwStored);
// Whether a printer of the state belongs to the list kind.
bool ListKindShows(int iListKind, int32_t iState);
// The filter's entry text (and the side panel's heading) of a list kind.
uint32_t ListKindStringId(int iListKind);

// The side panel's text: the heading, "\n\n", the body, "\n\n\n" and the
// "(Can't print)" note, with the first "&" after the first character removed.
// *pnHeadingLength receives the heading's length, which is set in bold.
std::string SidePanelText(int iListKind, size_t* pnHeadingLength);
