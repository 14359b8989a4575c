// On Windows the ports are made through the local monitor "Local Port", which
// every Windows (and wine) has and which takes any port name; the monitor's
// own record of a port (its address under the monitor's key, as the maker's
// monitor keeps it) tells its ports from the machine's other local ports. The
// local monitor's ports name their monitor "Local Port" on Windows and "Local
// Monitor" under wine, so that name is not asked.
#include "PortHome.h"

#include "MonitorRegistry.h"

#include <cstdint>

std::string PortCreationMonitor() {
    return "Local Port";
}

bool IsOwnPort(const SPort& port) {
    uint8_t address[4];
    return RecordedAddress(port.csName, address);
}
