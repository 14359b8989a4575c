// The machine's log of system events: what an administrator must be able to
// read even with the trace off and no desktop to show a message box on.
//
// POSIX: syslog, facility daemon, with the process id. Windows: the
// application event log, through ReportEvent under the source's name.
#pragma once

#include <string>

namespace platform {

// Logs an error of the program csSource. Never fails the caller: a log that
// cannot be written loses the line.
void ReportErrorEvent(const std::string& csSource, const std::string& csText);

} // namespace platform
