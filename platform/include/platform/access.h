// Who may act on the emulated machine.
//
// The system root belongs to one owner (root on a real machine; the user who
// laid a private root for a demo or a test), and its files to the machine
// administrators' group. Members of that group stand for the administrators of
// the emulated machine: they may read and change its settings, start and
// control services and talk to the service. Everybody else is refused.
//
// The group is named by the environment variable VEX_ADMIN_GROUP (a group name
// or a decimal group id), "lpadmin" when it is not set.
#pragma once

#include <string>

namespace platform {

// The administrators' group as configured (a name or a decimal id).
std::string AdministratorsGroupName();

// True when the calling process is root, the system root's owner, or a member
// of the administrators' group.
bool IsMachineAdministrator();

} // namespace platform
