#include "gui/core/PrinterRowText.h"

#include "common/VexData.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"

namespace {
uint32_t StateStringId(int32_t iState) {
    switch (iState) {
    case eVexWaiting:
        return IDS_STATE_WAITING;
    case eVexAdded:
        return IDS_STATE_ADDED;
    case eVexIgnore:
        return IDS_STATE_IGNORED;
    case eVexAddError:
        return IDS_STATE_ADD_ERROR;
    case eVexUnsupported:
        return IDS_STATE_UNSUPPORTED;
    default:
        return IDS_STATE_UNKNOWN;
    }
}
} // namespace

std::string StateText(const CPrinter& printer) {
    std::string csText = LoadVexString(StateStringId(printer.m_VexState));
    if ((printer.m_uiPrtConfig1Var & PRT_CONFIG1_CAN_PRINT_MASK) != PRT_CONFIG1_CAN_PRINT_MASK)
        csText += LoadVexString(IDS_CANT_PRINT);
    return csText;
}

std::string ShownIconNames(const std::string& csIconNames) {
    if (csIconNames.size() < kMaxIconNamesShown)
        return csIconNames;
    return csIconNames.substr(0, kMaxIconNamesShown) + "...";
}

std::string ColumnText(const CPrinter& printer, int iColumnId) {
    switch (iColumnId) {
    case eColumnIpAddress:
        return printer.m_csIpAddr;
    case eColumnDnsName:
        return printer.m_csHostName;
    case eColumnModel:
        return printer.m_csPrinterModel;
    case eColumnUuid:
        return printer.m_csUUID;
    case eColumnState:
        return StateText(printer);
    case eColumnMicrocode:
        return printer.m_csMicrocodeLevel;
    case eColumnIconNames:
        return ShownIconNames(printer.m_csIconName);
    default:
        return "";
    }
}

std::string ColumnHeader(int iColumnId) {
    static const uint32_t kHeaders[] = {
        IDS_COLUMN_IP_ADDRESS, IDS_COLUMN_DOMAIN_NAME, IDS_COLUMN_MODEL,     IDS_COLUMN_UUID,
        IDS_COLUMN_STATE,      IDS_COLUMN_MICROCODE,   IDS_COLUMN_ICON_NAMES};
    if (iColumnId < eColumnIpAddress || iColumnId > eColumnIconNames)
        return "";
    return LoadVexString(kHeaders[iColumnId - 1]);
}
