#include "gui/core/QueueSettings.h"

#include "common/Trace.h"
#include "gui/core/IconDlgRules.h"
#include "platform/error.h"

#include <strings.h>
#include <vector>

using namespace platform;

namespace {
// Reads a level-2 record of an open printer, sizing the buffer first.
bool GetPrinterInfo2(HPRINTER hPrinter, std::vector<uint8_t>* pBuffer) {
    uint32_t cbNeeded = 0;
    if (GetPrinter(hPrinter, 2, nullptr, 0, &cbNeeded) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    pBuffer->assign(cbNeeded, 0);
    return GetPrinter(hPrinter, 2, pBuffer->data(), cbNeeded, &cbNeeded);
}

std::string Text(const char* psz) {
    return psz ? psz : "";
}
} // namespace

CQueueSettings::~CQueueSettings() {
    Close();
}

void CQueueSettings::Close() {
    if (m_hPrinter)
        ClosePrinter(m_hPrinter);
    m_hPrinter = nullptr;
}

bool CQueueSettings::Open(const std::string& csQueueName) {
    CTraceScope scope("CQueueSettings::Open");
    Close();
    m_csQueueName = csQueueName;
    m_values = SIconInfo();
    PRINTER_DEFAULTS defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    std::vector<uint8_t> buffer;
    if (!OpenPrinter(csQueueName, &m_hPrinter, &defaults)) {
        scope.Err("OpenPrinter failed for '%s', GetLastError()=%u", csQueueName.c_str(),
                  GetLastError());
        m_hPrinter = nullptr;
        scope.Result(false);
        return false;
    }
    if (!GetPrinterInfo2(m_hPrinter, &buffer)) {
        scope.Err("GetPrinter failed for '%s', GetLastError()=%u", csQueueName.c_str(),
                  GetLastError());
        Close();
        scope.Result(false);
        return false;
    }
    const auto* pInfo = reinterpret_cast<const PRINTER_INFO_2*>(buffer.data());
    m_dwAttributes = pInfo->Attributes;
    m_csDriverName = Text(pInfo->pDriverName);
    m_values.csIconName = csQueueName;
    m_values.csPortName = Text(pInfo->pPortName);
    m_values.eDriverType = DriverTypeFromDriverName(m_csDriverName);
    m_values.bShare = (m_dwAttributes & PRINTER_ATTRIBUTE_SHARED) != 0;
    m_csShareName = m_values.bShare ? Text(pInfo->pShareName) : std::string();
    m_values.csShareName = m_csShareName;
    m_values.bPublish = (m_dwAttributes & PRINTER_ATTRIBUTE_PUBLISHED) != 0;
    m_values.csComments = Text(pInfo->pComment);
    m_values.csLocation = Text(pInfo->pLocation);
    m_values.csSepPage = Text(pInfo->pSepFile);
    scope.Result(true);
    return true;
}

SQueueChange CQueueSettings::Apply(const SIconInfo& values, bool bPublishPossible) {
    CTraceScope scope("CQueueSettings::Apply");
    SQueueChange change;
    std::string csPort = m_values.csPortName;
    if (IsOwnMonitorPort(values.csPortName))
        csPort = values.csPortName;
    else if (values.csPortName != m_values.csPortName)
        // Left as it was; a port name unchanged from the queue's own asks for nothing.
        change.bPortWarning = true;
    if (m_hPrinter) {
        uint32_t dwAttributes =
            m_dwAttributes & ~(PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED);
        if (values.bShare)
            dwAttributes |= PRINTER_ATTRIBUTE_SHARED;
        if (values.bShare && values.bPublish)
            dwAttributes |= PRINTER_ATTRIBUTE_PUBLISHED;
        const std::string csShareName = values.bShare ? values.csShareName : std::string();
        const PRINTER_INFO_2 info{values.csIconName.c_str(),
                                  csShareName.c_str(),
                                  csPort.c_str(),
                                  m_csDriverName.c_str(),
                                  values.csComments.c_str(),
                                  values.csLocation.c_str(),
                                  values.csSepPage.c_str(),
                                  dwAttributes};
        change.bApplied = SetPrinter(m_hPrinter, 2, &info, 0);
        if (!change.bApplied) {
            change.dwError = GetLastError();
            scope.Err("SetPrinter failed for '%s', GetLastError()=%u", m_csQueueName.c_str(),
                      change.dwError);
        }
    }
    bool bPublished = false;
    std::vector<uint8_t> buffer;
    if (m_hPrinter && change.bApplied && GetPrinterInfo2(m_hPrinter, &buffer))
        bPublished = (reinterpret_cast<const PRINTER_INFO_2*>(buffer.data())->Attributes &
                      PRINTER_ATTRIBUTE_PUBLISHED) != 0;
    Close();
    change.bPublishWarning = values.bShare && values.bPublish && bPublishPossible && !bPublished;
    scope.Result("applied=%d port warning=%d publish warning=%d", change.bApplied,
                 change.bPortWarning, change.bPublishWarning);
    return change;
}

bool IsOwnMonitorPort(const std::string& csPortName) {
    const CTraceName trace("IsOwnMonitorPort");
    std::vector<uint8_t> buffer;
    uint32_t cbNeeded = 0;
    uint32_t cReturned = 0;
    // Ports may be added between the sizing call and the read: ask again then.
    for (int iTry = 0; iTry < 3; ++iTry) {
        if (EnumPorts(2, buffer.data(), uint32_t(buffer.size()), &cbNeeded, &cReturned))
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            trace.Err("EnumPorts failed, GetLastError()=%u", GetLastError());
            return false;
        }
        buffer.resize(cbNeeded);
        cReturned = 0;
    }
    const auto* ports = reinterpret_cast<const PORT_INFO_2*>(buffer.data());
    for (uint32_t i = 0; i < cReturned; ++i) {
        if (strcasecmp(Text(ports[i].pPortName).c_str(), csPortName.c_str()) != 0)
            continue;
        const std::string csMonitor = Text(ports[i].pMonitorName);
        if (csMonitor.find("Zantor") != std::string::npos &&
            csMonitor.find("TCP") != std::string::npos)
            return true;
    }
    return false;
}
