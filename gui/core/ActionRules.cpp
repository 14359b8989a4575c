#include "gui/core/ActionRules.h"

#include "common/Printer.h"

#include <algorithm>

const SStateMenuEntry kStateMenuEntries[5] = {
    {32804, "&Awaiting user action", eVexWaiting},
    {32805, "&Ignore", eVexIgnore},
    {32806, "I&con added", eVexAdded},
    {32807, "&Error adding", eVexAddError},
    {32808, "&Unsupported", eVexUnsupported},
};

namespace {
bool Creatable(int32_t iState) {
    return iState >= eVexWaiting && iState <= eVexAddError;
}
} // namespace

bool ActionEnabled(EPrinterAction eAction, const std::vector<SSelectedPrinter>& selection,
                   bool bMarkHasQueues) {
    if (selection.empty())
        return false;
    auto every = [&](auto predicate) {
        return std::all_of(selection.begin(), selection.end(), predicate);
    };
    switch (eAction) {
    case EPrinterAction::Ignore:
        return every([](const SSelectedPrinter& p) {
            return p.iState == eVexWaiting || p.iState == eVexAddError;
        });
    case EPrinterAction::Remove:
        return true;
    case EPrinterAction::Restore:
        // A created printer whose queues are all gone may be restored too.
        return every([](const SSelectedPrinter& p) {
            return p.iState == eVexIgnore || p.iState == eVexAddError ||
                   (p.iState == eVexAdded && !p.bHasQueues);
        });
    case EPrinterAction::Create:
    case EPrinterAction::CreateDefaults:
        return selection.size() == 1 && Creatable(selection[0].iState);
    case EPrinterAction::Manage:
        return selection.size() == 1 && Creatable(selection[0].iState) && bMarkHasQueues;
    }
    return false;
}

bool DefaultAction(const std::vector<SSelectedPrinter>& selection, bool bMarkHasQueues,
                   EPrinterAction* peAction) {
    if (ActionEnabled(EPrinterAction::Manage, selection, bMarkHasQueues)) {
        *peAction = EPrinterAction::Manage;
        return true;
    }
    if (selection.size() == 1 && selection[0].iState == eVexWaiting &&
        ActionEnabled(EPrinterAction::Create, selection, bMarkHasQueues)) {
        *peAction = EPrinterAction::Create;
        return true;
    }
    return false;
}
