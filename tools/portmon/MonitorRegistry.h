// What the monitor keeps in the registry under its own key
// (...\Control\Print\Monitors\<monitor name>): the models it refuses and, per
// port, the printer's address in the port's "configInfo" value.
#pragma once

#include <cstdint>
#include <string>

// The name the monitor is registered under; set once at the start.
void SetMonitorName(const std::string& csName);
const std::string& MonitorName();

// Whether csModel is listed in the monitor's "Unsupported models" value
// (models separated by ";"); an empty model never is.
bool IsModelRefused(const std::string& csModel);

// The IPv4 address recorded for the port (bytes 532..535 of its "configInfo",
// network order); false when the port has no such record.
bool RecordedAddress(const std::string& csPort, uint8_t abAddress[4]);
// Records the port: its name in UTF-16 at the start of "configInfo", the
// address at bytes 532..535.
bool RecordAddress(const std::string& csPort, const uint8_t abAddress[4]);
