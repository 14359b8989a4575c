#include "gui/CreationReport.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/StringTable.h"
#include "platform/spooler.h"

#include <vector>

namespace {
// Result codes and warning bits of the service's creation.
enum : int {
    kRcOk = 0,
    kRcSpoolerDown = 3,
    kRcModelUnsupported = 7,
    kRcPrinterSilent = 12,
};
enum : uint32_t {
    kWarnOtherPortName = 0x004,
    kWarnReadOnlyCommunity = 0x008,
    kWarnAdditionalDrivers = 0x0F0,
};
} // namespace

SCreationReport ReportCreationResult(int iResultCode, uint32_t uWarnings, bool bPublishMissing,
                                     bool bWithPortWarning) {
    SCreationReport report;
    report.eIcon = EMsgIcon::Stop;
    switch (iResultCode) {
    case kRcOk: {
        report.bSuccess = true;
        std::string csLines;
        if (bWithPortWarning && (uWarnings & kWarnOtherPortName))
            csLines += LoadVexString(5051);
        if (uWarnings & kWarnReadOnlyCommunity)
            csLines += LoadVexString(5055);
        if (uWarnings & kWarnAdditionalDrivers)
            csLines += LoadVexString(5050);
        if (bPublishMissing)
            csLines += LoadVexString(145);
        if (!csLines.empty()) {
            report.iMessageId = 5056;
            report.csText = LoadVexString(5056) + csLines;
            report.eIcon = EMsgIcon::Exclamation;
            report.iVexNumber = 224;
        }
        return report;
    }
    case kRcSpoolerDown:
        report.iMessageId = 5053;
        report.iVexNumber = 221;
        break;
    case kRcModelUnsupported:
        report.iMessageId = 5054;
        report.iVexNumber = 222;
        break;
    case kRcPrinterSilent:
        report.iMessageId = 5052;
        report.iVexNumber = 220;
        break;
    default:
        // A code beyond the known ones has no message of its own.
        if (iResultCode < 0 || iResultCode > kRcPrinterSilent)
            return report;
        report.iMessageId = 5049;
        report.iVexNumber = 217;
        break;
    }
    report.csText = LoadVexString(uint32_t(report.iMessageId));
    return report;
}

bool PublishMissing(bool bPublishRequested, const std::string& csQueueName) {
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
            TraceErr("(PublishMissing)GetPrinter failed for '%s'", csQueueName.c_str());
    }
    platform::ClosePrinter(hPrinter);
    return !bPublished;
}
