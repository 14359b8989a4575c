// The ports of a printer whose address changed, moved with it.
#include "service/PortAddressMove.h"

#include "common/Trace.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/sockets.h"
#include "platform/spooler.h"

#include <cstring>
#include <strings.h>
#include <vector>

using namespace platform;

namespace {

// The move's steps write under its name.
constexpr CTraceName kTraceAsMovePortsToNewAddress("MovePortsToNewAddress");

// Where a monitor records a port's printer address: bytes 532..535 of the
// port's "configInfo" value, in network order.
constexpr size_t kConfigInfoAddress = 532;

std::string PortKey(const std::string& csMonitor, const std::string& csPort) {
    return "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + csMonitor + "\\Ports\\" +
           csPort;
}

struct SPort {
    std::string csName, csMonitor;
};

bool ReadPorts(std::vector<SPort>* pPorts) {
    uint32_t needed = 0, count = 0;
    EnumPorts(2, nullptr, 0, &needed, &count);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    if (!EnumPorts(2, bytes, needed, &needed, &count))
        return false;
    const auto* ports = reinterpret_cast<const PORT_INFO_2*>(bytes);
    for (uint32_t i = 0; i < count; ++i)
        pPorts->push_back({ports[i].pPortName, ports[i].pMonitorName});
    return true;
}

// Rewrites the port's record when it names the old address; whether it did.
bool MoveRecord(const SPort& port, const uint8_t* pOldAddr, const uint8_t* pNewAddr) {
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, PortKey(port.csMonitor, port.csName), &hKey) !=
        ERROR_SUCCESS)
        return false;
    std::vector<uint8_t> info(1024);
    uint32_t type = 0, size = uint32_t(info.size());
    bool bMoved = false;
    if (RegQueryValueEx(hKey, "configInfo", &type, info.data(), &size) == ERROR_SUCCESS &&
        size >= kConfigInfoAddress + 4 &&
        std::memcmp(info.data() + kConfigInfoAddress, pOldAddr, 4) == 0) {
        std::memcpy(info.data() + kConfigInfoAddress, pNewAddr, 4);
        uint32_t rc = RegSetValueEx(hKey, "configInfo", type, info.data(), size);
        bMoved = rc == ERROR_SUCCESS;
        if (!bMoved)
            kTraceAsMovePortsToNewAddress.Err("Cannot record the new address of port %s, error %d",
                                              port.csName.c_str(), int(rc));
    }
    RegCloseKey(hKey);
    return bMoved;
}

// Writes the queues on the port again, unchanged: the spooler takes the
// port's address anew.
void RefreshQueues(const std::string& csPort) {
    uint32_t needed = 0, count = 0;
    EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &count);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    if (!EnumPrinters(PRINTER_ENUM_LOCAL, 2, bytes, needed, &needed, &count)) {
        kTraceAsMovePortsToNewAddress.Err("EnumPrinters failed, GetLastError()=%d",
                                          int(GetLastError()));
        return;
    }
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2*>(bytes);
    for (uint32_t i = 0; i < count; ++i) {
        if (strcasecmp(printers[i].pPortName, csPort.c_str()) != 0)
            continue;
        HPRINTER hPrinter = nullptr;
        PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
        bool ok = OpenPrinter(printers[i].pPrinterName, &hPrinter, &all) &&
                  SetPrinter(hPrinter, 2, &printers[i], 0);
        if (ok)
            kTraceAsMovePortsToNewAddress.Inf("Queue '%s' follows port %s",
                                              printers[i].pPrinterName, csPort.c_str());
        else
            kTraceAsMovePortsToNewAddress.Err("Queue '%s' not moved, GetLastError()=%d",
                                              printers[i].pPrinterName, int(GetLastError()));
        if (hPrinter)
            ClosePrinter(hPrinter);
    }
}

} // namespace

int MovePortsToNewAddress(const std::string& csOldAddr, const std::string& csNewAddr) {
    CTraceScope scope("MovePortsToNewAddress");
    uint8_t oldAddr[4], newAddr[4];
    if (!ParseIPv4Address(csOldAddr, oldAddr) || !ParseIPv4Address(csNewAddr, newAddr)) {
        scope.Wrn("Not an IPv4 address change: '%s' to '%s'", csOldAddr.c_str(), csNewAddr.c_str());
        return 0;
    }
    std::vector<SPort> ports;
    if (!ReadPorts(&ports)) {
        scope.Err("EnumPorts failed, GetLastError()=%d", int(GetLastError()));
        return 0;
    }
    int iMoved = 0;
    for (const SPort& port : ports) {
        if (!MoveRecord(port, oldAddr, newAddr))
            continue;
        scope.Inf("Port %s moved from %s to %s", port.csName.c_str(), csOldAddr.c_str(),
                  csNewAddr.c_str());
        ++iMoved;
        RefreshQueues(port.csName);
    }
    return iMoved;
}
