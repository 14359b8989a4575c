// The service manager's client side that every program shares: the manager
// and one service opened as a pair and closed once, and the start that waits
// while the service reports progress.
//
// Callers keep their own failure texts (traces, console messages): the pair
// says which call failed and leaves the last error as that call set it.
#pragma once

#include "platform/service.h"

#include <cstdint>
#include <functional>
#include <string>

class CServiceHandles {
public:
    // The manager only (listing, creating).
    CServiceHandles();
    // The manager and csServiceName, both with all access.
    explicit CServiceHandles(const std::string& csServiceName);
    ~CServiceHandles();
    CServiceHandles(const CServiceHandles&) = delete;
    CServiceHandles& operator=(const CServiceHandles&) = delete;

    // Opens csServiceName under the open manager; false when either is not open.
    bool OpenService(const std::string& csServiceName);

    platform::SC_HANDLE Manager() const { return m_hManager; }
    platform::SC_HANDLE Service() const { return m_hService; }
    // "OpenSCManager" or "OpenService" after a failed open, else null.
    const char* FailedCall() const { return m_pszFailedCall; }

private:
    platform::SC_HANDLE m_hManager = nullptr;
    platform::SC_HANDLE m_hService = nullptr;
    const char* m_pszFailedCall = nullptr;
};

// How StartServiceAndWait ended. The status it was given holds the last one read.
enum class EServiceStart {
    eStartFailed,     // StartService failed
    eQueryFailed,     // the first status read after the start failed
    eWaitQueryFailed, // a status read while it was start-pending failed
    eStalled,         // still start-pending, the check point did not move on
    eOutOfTime,       // still start-pending when the limit came
    eLeftPending,     // no longer start-pending: the status tells how it stands
};

struct SServiceStartWait {
    // One round of the wait: waits out pStatus->dwWaitHint and reads the
    // status again into pStatus (false when the read fails). Unset: a plain
    // Sleep of the hint, then one read.
    std::function<bool(platform::SC_HANDLE hService, platform::SERVICE_STATUS* pStatus)> waitRound;
    // The whole wait's bound in milliseconds; 0 waits as long as it progresses.
    uint32_t dwLimitMs = 0;
};

// Starts hService and waits while it is start-pending, one wait hint at a
// time, as long as its check point grows between two reads.
EServiceStart StartServiceAndWait(platform::SC_HANDLE hService, platform::SERVICE_STATUS* pStatus,
                                  const SServiceStartWait& how = {});
// The plain round: Sleep(pStatus->dwWaitHint), then QueryServiceStatus.
bool SleepWaitHint(platform::SC_HANDLE hService, platform::SERVICE_STATUS* pStatus);
