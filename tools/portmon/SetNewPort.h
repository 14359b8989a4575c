// monSetNewPort, the monitor's one procedure, apart from the RPC serving that
// hands it its calls:
//   - looks at the printer (PrinterProbe.h);
//   - creates the port (PortHome.h) and records the printer's IPv4 address in
//     the port's "configInfo" value (MonitorRegistry.h).
// Codes: 0 created (or the same port for the same printer again), 51 created
// under "name (N)" because the name is taken, 50 bad address, 52 bad port
// name, 60 the name belongs to another monitor's port, 70 the spooler refused
// the port, 100 created but the community is read-only, 150 the printer
// refuses the connection, 151 it does not answer (or lies off this machine),
// 152 the model is listed in the monitor's "Unsupported models" value.
// szPortName brings the wished name and takes back the port's (empty when no
// port exists at the end). An address is a dotted IPv4 address or a name of
// the machine's hosts file (no name service: nothing may ask the network).
#pragma once

#include "common/PortMonitorRpc.h"

#include <cstdint>
#include <string>

int32_t SetNewPort(char16_t szPortName[kMonPortNameChars], const std::u16string& csAddr16,
                   uint8_t cFlag);
