// Ports and port monitors of the machine's spooler on Windows.
//
// A port is added through its monitor (AddPortEx, level 1: the name; the
// description and the type are the monitor's). The refusals of the interface
// that depend on the spooler's lists (a monitor that is not installed, a port
// name that exists, a port in use, a monitor that owns ports) are made here
// before the system is asked.
#include "platform/error.h"
#include "platform/spooler.h"
#include "spooler_records.h"

#include "spooler_api.h"

#include <algorithm>

namespace platform {

using namespace win32::spooler;

namespace {

struct SMonitor {
    std::string name, environment, dll;
};

// The port of the name, or null.
SPort* FindPort(std::vector<SPort>& ports, const std::string& csName) {
    for (SPort& port : ports)
        if (SameText(port.name, csName))
            return &port;
    return nullptr;
}

bool ReadMonitors(std::vector<SMonitor>* pMonitors) {
    std::vector<uint64_t> buffer;
    DWORD count = 0;
    if (!ReadSystemRecords(
            [](BYTE* p, DWORD cb, DWORD* pNeeded, DWORD* pReturned) {
                return ::EnumMonitorsA(nullptr, 2, p, cb, pNeeded, pReturned);
            },
            &buffer, &count))
        return false;
    auto* records = reinterpret_cast<MONITOR_INFO_2A*>(buffer.data());
    pMonitors->clear();
    for (DWORD i = 0; i < count; ++i)
        pMonitors->push_back(
            {Text(records[i].pName), Text(records[i].pEnvironment), Text(records[i].pDLLName)});
    return true;
}

bool IsInstalled(const std::vector<SMonitor>& monitors, const std::string& csName) {
    return std::any_of(monitors.begin(), monitors.end(),
                       [&](const SMonitor& m) { return SameText(m.name, csName); });
}

} // namespace

bool EnumPorts(uint32_t Level, uint8_t* pPorts, uint32_t cbBuf, uint32_t* pcbNeeded,
               uint32_t* pcReturned) {
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    std::vector<SPort> ports;
    if (!ReadSystemPorts(&ports))
        return false;
    return PackPorts(ports, pPorts, cbBuf, pcbNeeded, pcReturned);
}

bool AddPortEx(uint32_t Level, const PORT_INFO_2* pPort, const std::string& csMonitorName) {
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (!pPort || Text(pPort->pPortName).empty())
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<SMonitor> monitors;
    std::vector<SPort> ports;
    if (!ReadMonitors(&monitors) || !ReadSystemPorts(&ports))
        return false;
    if (!IsInstalled(monitors, csMonitorName))
        return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
    if (FindPort(ports, pPort->pPortName))
        return Fail(ERROR_ALREADY_EXISTS);
    PORT_INFO_1A info{const_cast<char*>(pPort->pPortName)};
    return ::AddPortExA(nullptr, 1, reinterpret_cast<BYTE*>(&info),
                        const_cast<char*>(csMonitorName.c_str())) ||
           SystemFail();
}

bool DeletePort(const std::string& csPortName) {
    std::vector<SPort> ports;
    std::vector<uint64_t> buffer;
    std::vector<PRINTER_INFO_2A*> printers;
    if (!ReadSystemPorts(&ports) || !ReadSystemPrinters(&buffer, &printers))
        return false;
    if (!FindPort(ports, csPortName))
        return Fail(ERROR_UNKNOWN_PORT);
    for (const PRINTER_INFO_2A* printer : printers)
        if (SameText(Text(printer->pPortName), csPortName))
            return Fail(ERROR_BUSY);
    return ::DeletePortA(nullptr, nullptr, const_cast<char*>(csPortName.c_str())) || SystemFail();
}

bool EnumMonitors(uint32_t Level, uint8_t* pMonitors, uint32_t cbBuf, uint32_t* pcbNeeded,
                  uint32_t* pcReturned) {
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    std::vector<SMonitor> monitors;
    if (!ReadMonitors(&monitors))
        return false;
    return PackMonitors(monitors, pMonitors, cbBuf, pcbNeeded, pcReturned);
}

bool AddMonitor(uint32_t Level, const MONITOR_INFO_2* pMonitor) {
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (!pMonitor || Text(pMonitor->pName).empty() || Text(pMonitor->pDLLName).empty())
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<SMonitor> monitors;
    if (!ReadMonitors(&monitors))
        return false;
    if (IsInstalled(monitors, pMonitor->pName))
        return Fail(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    const std::string csEnvironment =
        Text(pMonitor->pEnvironment).empty() ? kMachineEnvironment : pMonitor->pEnvironment;
    MONITOR_INFO_2A info{const_cast<char*>(pMonitor->pName),
                         const_cast<char*>(csEnvironment.c_str()),
                         const_cast<char*>(pMonitor->pDLLName)};
    return ::AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)) || SystemFail();
}

bool DeleteMonitor(const char* pEnvironment, const std::string& csMonitorName) {
    std::vector<SMonitor> monitors;
    std::vector<SPort> ports;
    if (!ReadMonitors(&monitors) || !ReadSystemPorts(&ports))
        return false;
    if (!IsInstalled(monitors, csMonitorName))
        return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
    for (const SPort& port : ports)
        if (SameText(port.monitor, csMonitorName))
            return Fail(ERROR_PRINT_MONITOR_IN_USE);
    return ::DeleteMonitorA(nullptr, const_cast<char*>(pEnvironment),
                            const_cast<char*>(csMonitorName.c_str())) ||
           SystemFail();
}

} // namespace platform
