// The emulated machine's spooler hosts the monitor: its ports are its own.
#include "PortHome.h"

#include "MonitorRegistry.h"

std::string PortCreationMonitor() {
    return MonitorName();
}

bool IsOwnPort(const SPort& port) {
    return port.csMonitor == MonitorName();
}
