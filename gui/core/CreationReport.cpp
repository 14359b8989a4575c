#include "gui/core/CreationReport.h"

#include "common/IconInfo.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"
#include "platform/spooler.h"

#include <vector>

namespace {
// The additional drivers' warnings, one message for all of them.
constexpr uint32_t kWarnAdditionalDrivers = ICON_WARN_ADDL_9X_FAILED | ICON_WARN_ADDL_NT_FAILED |
                                            ICON_WARN_ADDL_2000_FAILED |
                                            ICON_WARN_ADDL_OTHER_FAILED;
} // namespace

SCreationReport ReportCreationResult(int iResultCode, uint32_t uWarnings, bool bPublishMissing,
                                     bool bWithPortWarning) {
    SCreationReport report;
    report.eIcon = EMsgIcon::Stop;
    switch (iResultCode) {
    case ICON_OK: {
        report.bSuccess = true;
        std::string csLines;
        if (bWithPortWarning && (uWarnings & ICON_WARN_OTHER_PORT_NAME))
            csLines += LoadVexString(IDS_WARN_OTHER_PORT);
        if (uWarnings & ICON_WARN_READ_ONLY_COMMUNITY)
            csLines += LoadVexString(IDS_WARN_NO_SNMP_WRITE);
        if (uWarnings & kWarnAdditionalDrivers)
            csLines += LoadVexString(IDS_WARN_DRIVERS_MISSING);
        if (bPublishMissing)
            csLines += LoadVexString(IDS_WARN_NOT_PUBLISHED);
        if (!csLines.empty()) {
            report.iMessageId = IDS_CREATED_WITH_WARNINGS;
            report.csText = LoadVexString(IDS_CREATED_WITH_WARNINGS) + csLines;
            report.eIcon = EMsgIcon::Exclamation;
            report.iVexNumber = 224;
        }
        return report;
    }
    case ICON_SPOOLER_DOWN:
        report.iMessageId = IDS_CREATE_SPOOLER_DOWN;
        report.iVexNumber = 221;
        break;
    case ICON_MODEL_UNSUPPORTED:
        report.iMessageId = IDS_CREATE_MODEL_UNSUPPORTED;
        report.iVexNumber = 222;
        break;
    case ICON_PRINTER_SILENT:
        report.iMessageId = IDS_CREATE_NOT_RESPONDING;
        report.iVexNumber = 220;
        break;
    default:
        // A code beyond the known ones has no message of its own.
        if (iResultCode < 0 || iResultCode > int(ICON_PRINTER_SILENT))
            return report;
        report.iMessageId = IDS_CREATE_FAILED;
        report.iVexNumber = 217;
        break;
    }
    report.csText = LoadVexString(uint32_t(report.iMessageId));
    return report;
}

bool PublishMissing(bool bPublishRequested, const std::string& csQueueName) {
    const CTraceName trace("PublishMissing");
    if (!bPublishRequested || CVexData().GetOs() == eOsNT4)
        return false;
    platform::HPRINTER hPrinter = nullptr;
    if (!platform::OpenPrinter(csQueueName, &hPrinter, nullptr))
        return true; // no queue of that name: it is certainly not published
    bool bPublished = false;
    uint32_t cbNeeded = 0;
    platform::GetPrinter(hPrinter, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded > 0) {
        std::vector<uint64_t> buffer((cbNeeded + 7) / 8);
        auto* pInfo = reinterpret_cast<platform::PRINTER_INFO_2*>(buffer.data());
        if (platform::GetPrinter(hPrinter, 2, reinterpret_cast<uint8_t*>(pInfo), cbNeeded,
                                 &cbNeeded))
            bPublished = (pInfo->Attributes & platform::PRINTER_ATTRIBUTE_PUBLISHED) != 0;
        else
            trace.Err("GetPrinter failed for '%s'", csQueueName.c_str());
    }
    platform::ClosePrinter(hPrinter);
    return !bPublished;
}
