// The system log on POSIX: syslog.
#include "platform/event_log.h"

#include <syslog.h>

namespace platform {

void ReportErrorEvent(const std::string& csSource, const std::string& csText) {
    openlog(csSource.c_str(), LOG_PID, LOG_DAEMON);
    syslog(LOG_ERR, "%s", csText.c_str());
    closelog();
}

} // namespace platform
