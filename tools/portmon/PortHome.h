// Where the monitor's ports live in the spooler: the monitor they are created
// under and how a listed port is known as one of them. On the emulated machine
// the spooler hosts this monitor, which owns its ports; on Windows the spooler
// does not load this program, so its ports are the local monitor's.
#pragma once

#include <string>

struct SPort {
    std::string csName, csMonitor;
};

// The monitor that AddPortEx hands a new port to.
std::string PortCreationMonitor();
// Whether a port of the spooler's list is one this monitor made.
bool IsOwnPort(const SPort& port);
