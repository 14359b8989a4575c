#include "gui/core/ManagedQueues.h"

#include "common/Trace.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"
#include "platform/error.h"
#include "platform/spooler.h"

#include <vector>

namespace {

// The queue actions write under the dialog commands that run them.
constexpr CTraceName kTraceAsOnSetDefault("CInfoItemDlg::OnSetDefault");
constexpr CTraceName kTraceAsOnRemove("CInfoItemDlg::OnRemove");

} // namespace

using namespace platform;

namespace managedqueues {

namespace {
constexpr uint32_t kProfileSize = 256;

// Level 2 of an open printer; false when it cannot be read.
bool ReadLevel2(HPRINTER hPrinter, std::vector<uint64_t>* pBuffer) {
    uint32_t cbNeeded = 0;
    GetPrinter(hPrinter, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0)
        return false;
    pBuffer->assign((cbNeeded + 7) / 8, 0);
    return GetPrinter(hPrinter, 2, reinterpret_cast<uint8_t*>(pBuffer->data()), cbNeeded,
                      &cbNeeded);
}
} // namespace

std::string DefaultMarker() {
    return LoadVexString(IDS_DEFAULT_MARKER);
}

std::string StripDefaultMarker(const std::string& csRowText) {
    const std::string csMarker = DefaultMarker();
    const size_t nAt = csRowText.rfind(csMarker);
    if (csMarker.empty() || nAt == std::string::npos)
        return csRowText;
    return csRowText.substr(0, nAt) + csRowText.substr(nAt + csMarker.size());
}

std::string DefaultPrinter() {
    std::string csDevice;
    GetProfileString("windows", "device", ",,,", &csDevice, kProfileSize);
    return csDevice.substr(0, csDevice.find(','));
}

bool SetDefaultPrinter(const std::string& csQueueName) {
    HPRINTER hPrinter = nullptr;
    if (!OpenPrinter(csQueueName, &hPrinter, nullptr)) {
        kTraceAsOnSetDefault.Err("OpenPrinter failed for '%s', GetLastError()=%u",
                                 csQueueName.c_str(), GetLastError());
        return false;
    }
    std::vector<uint64_t> buffer;
    bool bSet = false;
    if (ReadLevel2(hPrinter, &buffer)) {
        const auto* pInfo = reinterpret_cast<const PRINTER_INFO_2*>(buffer.data());
        const std::string csDevice =
            csQueueName + "," + pInfo->pDriverName + "," + pInfo->pPortName;
        bSet = WriteProfileString("windows", "device", csDevice.c_str());
    }
    if (!bSet)
        kTraceAsOnSetDefault.Err("'%s' could not be made the default printer", csQueueName.c_str());
    ClosePrinter(hPrinter);
    return bSet;
}

bool DeleteQueue(const std::string& csQueueName) {
    HPRINTER hPrinter = nullptr;
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    bool bDeleted = OpenPrinter(csQueueName, &hPrinter, &all);
    if (bDeleted) {
        bDeleted = DeletePrinter(hPrinter);
        ClosePrinter(hPrinter);
    }
    if (!bDeleted)
        kTraceAsOnRemove.Err("'%s' could not be deleted, GetLastError()=%u", csQueueName.c_str(),
                             GetLastError());
    return bDeleted;
}

std::string FirstLocalPrinter() {
    uint32_t cbNeeded = 0;
    uint32_t cReturned = 0;
    EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &cbNeeded, &cReturned);
    if (cbNeeded == 0)
        return "";
    std::vector<uint64_t> buffer((cbNeeded + 7) / 8);
    if (!EnumPrinters(PRINTER_ENUM_LOCAL, 2, reinterpret_cast<uint8_t*>(buffer.data()), cbNeeded,
                      &cbNeeded, &cReturned) ||
        cReturned == 0)
        return "";
    return reinterpret_cast<const PRINTER_INFO_2*>(buffer.data())->pPrinterName;
}

SInfoButtons InfoButtons(int iSelected, bool bSelectedIsDefault) {
    SInfoButtons buttons;
    buttons.bRemove = iSelected > 0;
    buttons.bModify = iSelected == 1;
    buttons.bSetDefault = iSelected == 1 && !bSelectedIsDefault;
    return buttons;
}

} // namespace managedqueues
