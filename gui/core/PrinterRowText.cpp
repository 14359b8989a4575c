#include "gui/core/PrinterRowText.h"

#include "common/VexData.h"
#include "gui/core/StringTable.h"

namespace {
uint32_t StateStringId(int32_t iState) {
    switch (iState) {
    case eVexWaiting:
        return 5008;
    case eVexAdded:
        return 5009;
    case eVexIgnore:
        return 5010;
    case eVexAddError:
        return 5011;
    case eVexUnsupported:
        return 5007;
    default:
        return 5013;
    }
}
} // namespace

std::string StateText(const CPrinter& printer) {
    std::string csText = LoadVexString(StateStringId(printer.m_VexState));
    if ((printer.m_uiPrtConfig1Var & PRT_CONFIG1_CAN_PRINT_MASK) != PRT_CONFIG1_CAN_PRINT_MASK)
        csText += LoadVexString(5018);
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
    static const uint32_t kHeaders[] = {5001, 5002, 5003, 5004, 5005, 5006, 5022};
    if (iColumnId < eColumnIpAddress || iColumnId > eColumnIconNames)
        return "";
    return LoadVexString(kHeaders[iColumnId - 1]);
}
