// When the printer actions of the list are enabled, from the selected
// printers' states and queue names; and the states the hidden state menu sets.
#pragma once

#include <cstdint>
#include <vector>

enum class EPrinterAction { Ignore, Remove, Restore, Create, CreateDefaults, Manage };

struct SSelectedPrinter {
    int32_t iState = 0;
    bool bHasQueues = false; // the printer's queue names are not empty
};

// selection: the selected rows in row order. bMarkHasQueues: the row at the
// selection mark (the current row) has queue names. No selection disables all.
bool ActionEnabled(EPrinterAction eAction, const std::vector<SSelectedPrinter>& selection,
                   bool bMarkHasQueues);

// What Enter and a double-click on a row do: Manage printers where it is
// enabled (a created printer), else Create printer for one printer awaiting
// user action. False: nothing.
bool DefaultAction(const std::vector<SSelectedPrinter>& selection, bool bMarkHasQueues,
                   EPrinterAction* peAction);

// The entries of the hidden state menu, in menu order.
struct SStateMenuEntry {
    int iCommand;
    const char* pszText;
    int32_t iState;
};
extern const SStateMenuEntry kStateMenuEntries[5];
