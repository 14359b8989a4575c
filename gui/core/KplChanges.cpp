#include "gui/core/KplChanges.h"

#include "common/Printers.h"
#include "gui/core/StringIds.h"

#include <unordered_map>

std::vector<CPrinter> TakeSnapshot(CPrinters& printers) {
    std::vector<CPrinter> snapshot;
    snapshot.reserve(size_t(printers.GetCount()));
    printers.ForEach([&](const CPrinter& printer) {
        if (printer.m_VexState != eVexIgnore)
            snapshot.push_back(printer);
    });
    return snapshot;
}

uint32_t FirstChangeMessage(const std::vector<CPrinter>& first, const std::vector<CPrinter>& second,
                            std::string* pcsUUID) {
    std::unordered_map<std::string, const CPrinter*> byUuid;
    byUuid.reserve(second.size());
    for (const CPrinter& printer : second)
        byUuid.emplace(printer.m_csUUID, &printer);
    for (const CPrinter& before : first) {
        auto it = byUuid.find(before.m_csUUID);
        if (it == byUuid.end())
            continue;
        const CPrinter& after = *it->second;
        uint32_t uiMessage = 0;
        if (before.m_csHostName != after.m_csHostName)
            uiMessage = IDS_HOST_NAME_CHANGED;
        else if (before.m_csIpAddr != after.m_csIpAddr)
            uiMessage = IDS_IP_ADDRESS_CHANGED;
        else if (before.m_csMicrocodeLevel != after.m_csMicrocodeLevel)
            uiMessage = IDS_MICROCODE_CHANGED;
        else if (before.m_uiPrtConfig1Var != after.m_uiPrtConfig1Var ||
                 before.m_VexState != after.m_VexState)
            uiMessage = IDS_STATE_CHANGED;
        if (uiMessage) {
            if (pcsUUID)
                *pcsUUID = before.m_csUUID;
            return uiMessage;
        }
    }
    return 0;
}
