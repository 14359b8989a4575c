// The monitor's port creation.
#include "SetNewPort.h"

#include "Log.h"
#include "MonitorRegistry.h"
#include "PortHome.h"
#include "PrinterProbe.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/sockets.h"
#include "platform/spooler.h"

#include <algorithm>
#include <mutex>
#include <strings.h>
#include <vector>

using namespace platform;

namespace {

// One port at a time: the choice of a free name and its creation are one step.
std::mutex g_portLock;

bool Resolve(const std::string& csAddr, uint8_t abAddress[4]) {
    return ParseIPv4Address(csAddr, abAddress) || LookUpHostsFile(csAddr, abAddress);
}

bool ListPorts(std::vector<SPort>* pPorts) {
    uint32_t needed = 0, count = 0;
    if (EnumPorts(2, nullptr, 0, &needed, &count))
        return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::vector<uint64_t> buffer((needed + 7) / 8);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    if (!EnumPorts(2, bytes, needed, &needed, &count))
        return false;
    auto* ports = reinterpret_cast<const PORT_INFO_2*>(bytes);
    for (uint32_t i = 0; i < count; ++i)
        pPorts->push_back({ports[i].pPortName, ports[i].pMonitorName});
    return true;
}

const SPort* FindPort(const std::vector<SPort>& ports, const std::string& csName) {
    for (const SPort& port : ports) {
        if (strcasecmp(port.csName.c_str(), csName.c_str()) == 0)
            return &port;
    }
    return nullptr;
}

} // namespace

int32_t SetNewPort(char16_t szPortName[kMonPortNameChars], const std::u16string& csAddr16,
                   uint8_t) {
    std::u16string name16(szPortName);
    std::string name = Utf16ToAnsi(name16.data(), name16.size());
    std::string address = Utf16ToAnsi(csAddr16.data(), csAddr16.size());
    szPortName[0] = 0; // empty unless a port exists at the end
    uint8_t addr[4] = {};
    if (address.empty() || !Resolve(address, addr)) {
        Log("cannot use the address '" + address + "'");
        return address.empty() || address.find_first_of(" \t\r\n") != std::string::npos ? 50 : 151;
    }
    if (name.empty() || name.size() > 128 || name.find_first_of("!\\/*?<>|,") != std::string::npos)
        return 52;
    SPrinterFacts facts;
    if (int32_t code = ProbePrinter(addr, &facts))
        return code;
    if (IsModelRefused(facts.csModel))
        return 152;

    std::lock_guard guard(g_portLock);
    std::vector<SPort> ports;
    if (!ListPorts(&ports))
        return 70;
    std::string chosen = name;
    int32_t code = 0;
    if (const SPort* taken = FindPort(ports, name)) {
        if (!IsOwnPort(*taken))
            return 60;
        uint8_t recorded[4] = {};
        bool bSamePrinter =
            RecordedAddress(taken->csName, recorded) && std::equal(addr, addr + 4, recorded);
        if (!bSamePrinter) {
            code = 51;
            for (int i = 2; FindPort(ports, chosen = name + " (" + std::to_string(i) + ")"); ++i) {
            }
        } else {
            chosen = taken->csName;
        }
    }
    if (!FindPort(ports, chosen)) {
        const std::string monitor = PortCreationMonitor();
        PORT_INFO_2 port{chosen.c_str(), monitor.c_str(), "Zantor TCP/IP Network Port",
                         PORT_TYPE_WRITE | PORT_TYPE_READ};
        if (!AddPortEx(2, &port, monitor)) {
            Log("the spooler refused the port '" + chosen + "': " + ErrorText(GetLastError()));
            return 70;
        }
    }
    if (!RecordAddress(chosen, addr))
        Log("cannot record the printer's address of the port '" + chosen + "'");
    std::u16string chosen16;
    AnsiToUtf16(chosen, &chosen16);
    if (chosen16.size() >= kMonPortNameChars)
        chosen16.resize(kMonPortNameChars - 1);
    std::copy(chosen16.begin(), chosen16.end(), szPortName);
    szPortName[chosen16.size()] = 0;
    if (code == 0 && facts.bReadOnly)
        code = 100;
    return code;
}
