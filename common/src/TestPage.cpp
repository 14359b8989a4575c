// The test page: one job of plain text through the spooler's job calls.
#include "common/TestPage.h"

#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/spooler.h"

#include <ctime>
#include <vector>

using namespace platform;

namespace {
// The level-2 record of an open printer into pStorage; null on failure.
const PRINTER_INFO_2* ReadPrinterInfo(HPRINTER hPrinter, std::vector<uint64_t>* pStorage) {
    uint32_t cbNeeded = 0;
    GetPrinter(hPrinter, 2, nullptr, 0, &cbNeeded);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || cbNeeded == 0)
        return nullptr;
    pStorage->assign(cbNeeded / sizeof(uint64_t) + 1, 0);
    auto* pBuffer = reinterpret_cast<uint8_t*>(pStorage->data());
    if (!GetPrinter(hPrinter, 2, pBuffer, uint32_t(pStorage->size() * sizeof(uint64_t)), &cbNeeded))
        return nullptr;
    return reinterpret_cast<const PRINTER_INFO_2*>(pBuffer);
}
} // namespace

std::string CTestPage::PageText(const std::string& csPrinterName, const std::string& csPortName,
                                const std::string& csDriverName) {
    char szTime[40] = "";
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    if (platform::ToUniversalTime(now, &utc))
        std::strftime(szTime, sizeof szTime, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return std::string(kDocumentName) + "\r\n\r\n" + "Printer: " + csPrinterName + "\r\n" +
           "Port:    " + csPortName + "\r\n" + "Driver:  " + csDriverName + "\r\n" +
           "Sent:    " + szTime + "\r\n\r\n" +
           "If you can read this page, the printer prints from this workstation.\r\n\f";
}

bool CTestPage::Print(const std::string& csPrinterName, uint32_t* puiJobId) {
    CTraceScope scope("CTestPage::Print");
    scope.Det("parameters (csPrinterName=%s)", csPrinterName.c_str());
    *puiJobId = 0;
    HPRINTER hPrinter = nullptr;
    if (!OpenPrinter(csPrinterName, &hPrinter, nullptr)) {
        scope.Err("OpenPrinter failed, GetLastError()=%u", GetLastError());
        scope.Result(false);
        return false;
    }
    std::vector<uint64_t> storage;
    const PRINTER_INFO_2* pInfo = ReadPrinterInfo(hPrinter, &storage);
    const std::string csPage =
        PageText(csPrinterName, pInfo ? pInfo->pPortName : "", pInfo ? pInfo->pDriverName : "");
    const DOC_INFO_1 doc{kDocumentName, nullptr, "RAW"};
    uint32_t uiWritten = 0;
    const uint32_t uiJob = StartDocPrinter(hPrinter, 1, &doc);
    bool bOk = uiJob != 0 &&
               WritePrinter(hPrinter, csPage.data(), uint32_t(csPage.size()), &uiWritten) &&
               uiWritten == csPage.size() && EndDocPrinter(hPrinter);
    const uint32_t dwError = GetLastError();
    if (!bOk)
        scope.Err("The test page was not printed, GetLastError()=%u", dwError);
    // An unfinished job is discarded with the handle.
    ClosePrinter(hPrinter);
    SetLastError(dwError);
    if (bOk)
        *puiJobId = uiJob;
    scope.Result("%s %u", bOk ? "success" : "failure", uiJob);
    return bOk;
}
