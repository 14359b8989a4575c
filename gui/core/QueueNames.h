// The names of the workstation's print queues that print to each printer
// address: the spooler's local printers, their ports, and the address the port
// monitor keeps for each of its ports (bytes 532..535 of "configInfo").
//
// Read once per reconciliation tick, so that a tick costs one spooler
// enumeration and one read of the port data however many printers are known,
// and only after the spooler or the registry has changed.
#pragma once

#include "platform/change_stamp.h"

#include <string>
#include <unordered_map>
#include <vector>

class CQueueNames {
public:
    // The port monitor's ports under HKEY_LOCAL_MACHINE.
    static const char* const kPortsKey;
    // Where the printer's address lies in a port's "configInfo" value.
    static constexpr size_t kConfigInfoAddress = 532;

    // Enumerates the local printers and the monitor's ports. False when the
    // spooler cannot be enumerated; the names are then unknown, not empty.
    bool Load();
    // Loads again only when the spooler's or the registry's contents may have
    // changed since the last Refresh of the calling thread; false, as Load,
    // when the spooler does not run or cannot be enumerated.
    bool Refresh();
    // The names of the queues printing to the address, joined by ", " in the
    // spooler's enumeration order; "" when none does.
    std::string NamesFor(const std::string& csIpAddr) const;
    // The same names one by one.
    std::vector<std::string> QueuesFor(const std::string& csIpAddr) const;

    // For tests and Load: adds a queue printing to an address.
    void AddQueue(const std::string& csIpAddr, const std::string& csQueueName);

private:
    std::unordered_map<std::string, std::vector<std::string>> m_queuesByAddress;
    platform::ChangeStamp m_spoolerStamp;
    platform::ChangeStamp m_registryStamp;
};
