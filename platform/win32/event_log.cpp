// The system log on Windows: the application event log.
#include "platform/event_log.h"

#include "windows_api.h"

namespace platform {

void ReportErrorEvent(const std::string& csSource, const std::string& csText) {
    HANDLE hLog = ::RegisterEventSourceA(nullptr, csSource.c_str());
    if (!hLog)
        return;
    const char* strings[] = {csText.c_str()};
    ::ReportEventA(hLog, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
    ::DeregisterEventSource(hLog);
}

} // namespace platform
