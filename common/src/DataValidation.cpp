// Checks of a print queue's fields against the limits and against the
// spooler's printers and ports.
#include "common/DataValidation.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/spooler.h"

#include <cstdlib>
#include <strings.h>
#include <vector>

namespace {

// The enumeration failures name the queue-name check for every caller.
constexpr CTraceName kTraceAsIsIconNameValid("CDataValidation::IsIconNameValid");

} // namespace

using namespace platform;

namespace {

const char* const kBadIconChars = "!\\/:*?<>|,";
// Port names may hold a colon: the names proposed for new ports begin "ZANTOR:".
const char* const kBadPortChars = "!\\/*?<>|,";

bool HasAnyOf(const std::string& csText, const char* pszSet) {
    return csText.find_first_of(pszSet) != std::string::npos;
}

bool SameNoCase(const char* a, const std::string& b) {
    return a && strcasecmp(a, b.c_str()) == 0;
}

// Enumerates with the spooler's two-call protocol into a malloc'd buffer that
// the caller frees. False when there is nothing to look at: the first call did
// not ask for a buffer (nothing listed, or the spooler failed), the buffer
// could not be had, or the second call failed. The failure lines name the
// queue-name check for every caller: their texts are fixed.
template <class Enumerate>
bool EnumerateInto(Enumerate enumerate, const char* pszFailure, uint8_t** ppBuffer,
                   uint32_t* pcReturned) {
    *ppBuffer = nullptr;
    *pcReturned = 0;
    uint32_t cbNeeded = 0;
    if (enumerate(nullptr, 0, &cbNeeded, pcReturned) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    auto* pBuffer = static_cast<uint8_t*>(std::malloc(cbNeeded));
    if (!pBuffer) {
        kTraceAsIsIconNameValid.Err("malloc failed to allocate %d bytes", int(cbNeeded));
        return false;
    }
    if (!enumerate(pBuffer, cbNeeded, &cbNeeded, pcReturned)) {
        kTraceAsIsIconNameValid.Err("%s", pszFailure);
        std::free(pBuffer);
        return false;
    }
    *ppBuffer = pBuffer;
    return true;
}

} // namespace

uint32_t CDataValidation::IsIconNameValid(std::string csName, std::string csCurrentName) {
    CTraceScope scope("CDataValidation::IsIconNameValid");
    scope.Det("parameters (csName=%s, csCurrentName=%s)", csName.c_str(), csCurrentName.c_str());
    uint32_t rc = eValidOk;
    if (csName.size() > kMaxIconName) {
        rc = eValidTooLong;
    } else if (HasAnyOf(csName, kBadIconChars)) {
        rc = eValidBadChar;
    } else {
        bool bExists = false;
        if (csName != csCurrentName) {
            HPRINTER hPrinter = nullptr;
            if (OpenPrinter(csName, &hPrinter, nullptr)) {
                ClosePrinter(hPrinter);
                bExists = true;
                rc = eValidDuplicate;
            }
        }
        if (!bExists) {
            // The spooler judges the name itself: a record with nothing but the
            // name is always refused, and the reason tells whether the name is.
            PRINTER_INFO_2 info{};
            info.pPrinterName = csName.c_str();
            HPRINTER hAdded = AddPrinter(2, &info);
            if (hAdded) {
                // Never expected; a queue made by a check must not stay.
                DeletePrinter(hAdded);
                ClosePrinter(hAdded);
            } else if (GetLastError() == ERROR_INVALID_PRINTER_NAME) {
                rc = eValidRejected;
            }
        }
    }
    scope.Result("%u", rc);
    return rc;
}

uint32_t CDataValidation::IsPortNameValid(std::string csName) {
    CTraceScope scope("CDataValidation::IsPortNameValid");
    scope.Det("parameters (csName=%s)", csName.c_str());
    uint32_t rc = eValidOk;
    uint8_t* pBuffer = nullptr;
    uint32_t cReturned = 0;
    if (csName.size() > kMaxPortName) {
        rc = eValidTooLong;
    } else if (HasAnyOf(csName, kBadPortChars)) {
        rc = eValidBadChar;
    } else if (EnumerateInto(
                   [](uint8_t* p, uint32_t cb, uint32_t* needed, uint32_t* returned) {
                       return EnumPorts(2, p, cb, needed, returned);
                   },
                   "EnumPorts failed", &pBuffer, &cReturned)) {
        const auto* ports = reinterpret_cast<const PORT_INFO_2*>(pBuffer);
        for (uint32_t i = 0; i < cReturned; ++i) {
            if (!SameNoCase(ports[i].pPortName, csName))
                continue;
            // A port of the system's own monitor may be taken again.
            std::string csMonitor = ports[i].pMonitorName ? ports[i].pMonitorName : "";
            if (csMonitor.find("Zantor") == std::string::npos ||
                csMonitor.find("TCP") == std::string::npos)
                rc = eValidDuplicate;
            break;
        }
    }
    std::free(pBuffer);
    scope.Result("%u", rc);
    return rc;
}

uint32_t CDataValidation::IsShareNameValid(std::string csName, std::string csCurrentName) {
    CTraceScope scope("CDataValidation::IsShareNameValid");
    scope.Det("parameters (csName=%s, csCurrentName=%s)", csName.c_str(), csCurrentName.c_str());
    uint32_t rc = eValidOk;
    uint8_t* pBuffer = nullptr;
    uint32_t cReturned = 0;
    if (csName.size() > kMaxShareName) {
        rc = eValidTooLong;
    } else if (HasAnyOf(csName, kBadIconChars)) {
        rc = eValidBadChar;
    } else if (EnumerateInto(
                   [](uint8_t* p, uint32_t cb, uint32_t* needed, uint32_t* returned) {
                       return EnumPrinters(PRINTER_ENUM_LOCAL, 2, p, cb, needed, returned);
                   },
                   "EnumPrinters failed", &pBuffer, &cReturned)) {
        const auto* printers = reinterpret_cast<const PRINTER_INFO_2*>(pBuffer);
        for (uint32_t i = 0; i < cReturned; ++i) {
            if ((printers[i].Attributes & PRINTER_ATTRIBUTE_SHARED) &&
                SameNoCase(printers[i].pShareName, csName) && csName != csCurrentName) {
                rc = eValidDuplicate;
                break;
            }
        }
    }
    std::free(pBuffer);
    scope.Result("%u", rc);
    return rc;
}

uint32_t CDataValidation::AreCommentsValid(std::string csComments) {
    CTraceScope scope("CDataValidation::AreCommentsValid");
    uint32_t rc = csComments.size() > kMaxComment ? eValidTooLong : eValidOk;
    scope.Result("%u", rc);
    return rc;
}

uint32_t CDataValidation::IsLocationValid(std::string csLocation) {
    CTraceScope scope("CDataValidation::IsLocationValid");
    uint32_t rc = csLocation.size() > kMaxComment ? eValidTooLong : eValidOk;
    scope.Result("%u", rc);
    return rc;
}

uint32_t CDataValidation::IsSeparatorPageValid(std::string csSepPage) {
    CTraceScope scope("CDataValidation::IsSeparatorPageValid");
    scope.Det("parameters (csSepPage=%s)", csSepPage.c_str());
    uint32_t rc = eValidOk;
    if (!csSepPage.empty()) {
        std::vector<FindData> found;
        if (csSepPage == "." || csSepPage == ".." || !FindFiles(csSepPage, &found))
            rc = eValidBadSepPage;
    }
    scope.Result("%u", rc);
    return rc;
}

uint32_t CDataValidation::IsPublishedValid(bool bPublish) {
    CTraceScope scope("CDataValidation::IsPublishedValid");
    uint32_t rc = eValidOk;
    // There is no directory to publish in on Windows NT 4.0.
    if (bPublish && CVexData().GetOs() == eOsNT4)
        rc = eValidRejected;
    scope.Result("%u", rc);
    return rc;
}
