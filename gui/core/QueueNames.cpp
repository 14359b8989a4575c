#include "gui/core/QueueNames.h"

#include "common/Trace.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <cstdio>
#include <vector>

namespace {

// The ports' reading is a step of the load.
constexpr CTraceName kTraceAsLoad("CQueueNames::Load");

} // namespace

using namespace platform;

const char* const CQueueNames::kPortsKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Zantor TCP/IP Network Port\\Ports";

namespace {
// Port name -> printer address of every port of the monitor, in one read of
// the ports' data, so that a tick's cost does not grow with a read per port.
std::unordered_map<std::string, std::string> PortAddresses() {
    std::unordered_map<std::string, std::string> addresses;
    HKEY hPorts = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, CQueueNames::kPortsKey, &hPorts) != ERROR_SUCCESS)
        return addresses;
    std::vector<SSubkeyValue> configs;
    if (RegQuerySubkeyValues(hPorts, "configInfo", &configs) != ERROR_SUCCESS)
        kTraceAsLoad.Err("The ports' configInfo could not be read");
    RegCloseKey(hPorts);
    addresses.reserve(configs.size());
    for (const SSubkeyValue& config : configs) {
        if (config.data.size() < CQueueNames::kConfigInfoAddress + 4)
            continue;
        const uint8_t* b = config.data.data() + CQueueNames::kConfigInfoAddress;
        char szAddress[20];
        std::snprintf(szAddress, sizeof szAddress, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
        addresses[config.csSubkey] = szAddress;
    }
    return addresses;
}
} // namespace

bool CQueueNames::Load() {
    const CTraceName trace("CQueueNames::Load");
    m_queuesByAddress.clear();
    std::vector<uint8_t> buffer;
    uint32_t cbNeeded = 0;
    uint32_t cReturned = 0;
    // The list may grow between the sizing call and the read: ask again then.
    for (int iTry = 0; iTry < 3; ++iTry) {
        if (EnumPrinters(PRINTER_ENUM_LOCAL, 2, buffer.data(), uint32_t(buffer.size()), &cbNeeded,
                         &cReturned))
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            trace.Err("EnumPrinters failed, GetLastError()=%u", GetLastError());
            return false;
        }
        buffer.resize(cbNeeded);
        cReturned = 0;
    }
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2*>(buffer.data());
    if (cReturned == 0)
        return true;
    const auto ports = PortAddresses();
    for (uint32_t i = 0; i < cReturned; ++i) {
        if (!printers[i].pPortName || !printers[i].pPrinterName)
            continue;
        auto it = ports.find(printers[i].pPortName);
        if (it != ports.end())
            AddQueue(it->second, printers[i].pPrinterName);
    }
    return true;
}

bool CQueueNames::Refresh() {
    // The stamps come first, so that a change during the read makes the next
    // Refresh read again.
    const ChangeStamp spooler = SpoolerChangeStamp();
    const ChangeStamp registry = RegChangeStamp();
    if (!spooler.Valid() || !registry.Valid() || spooler != m_spoolerStamp ||
        registry != m_registryStamp) {
        m_spoolerStamp = ChangeStamp{};
        m_registryStamp = ChangeStamp{};
        if (!Load())
            return false;
        m_spoolerStamp = spooler;
        m_registryStamp = registry;
    }
    return true;
}

std::string CQueueNames::NamesFor(const std::string& csIpAddr) const {
    std::string csNames;
    for (const std::string& csQueue : QueuesFor(csIpAddr))
        csNames += (csNames.empty() ? "" : ", ") + csQueue;
    return csNames;
}

std::vector<std::string> CQueueNames::QueuesFor(const std::string& csIpAddr) const {
    auto it = m_queuesByAddress.find(csIpAddr);
    return it == m_queuesByAddress.end() ? std::vector<std::string>() : it->second;
}

void CQueueNames::AddQueue(const std::string& csIpAddr, const std::string& csQueueName) {
    m_queuesByAddress[csIpAddr].push_back(csQueueName);
}
