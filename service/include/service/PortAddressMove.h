// A known printer that comes back with another address (DHCP) keeps its
// queues: their ports are moved to the new address, in the port monitor's
// records, and each queue on such a port is written again so that the
// spooler (on CUPS: the queue's device) follows.
#pragma once

#include <string>

// Moves every port whose monitor records csOldAddr to csNewAddr and refreshes
// the queues printing to them; returns how many ports moved (traced).
int MovePortsToNewAddress(const std::string& csOldAddr, const std::string& csNewAddr);
