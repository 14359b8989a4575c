// CSpooler: starting, stopping and restarting the spooler and its dependants
// through the service manager.
#include "common/Spooler.h"

#include "common/ServiceControl.h"
#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/spooler.h"

using namespace platform;

const char* const CSpooler::kSpoolerServiceName = "Spooler";

namespace {

// A stop is given this many attempts, each one this long.
constexpr int kStopAttempts = 30;
constexpr uint32_t kStopAttemptMs = 1000;

// The pair of an operation; a failure to open is traced with its name.
void TraceOpenFailure(const CTraceName& operation, const CServiceHandles& handles) {
    if (handles.FailedCall())
        operation.Err("%s failed, GetLastError()=%d", handles.FailedCall(), int(GetLastError()));
}

} // namespace

bool CSpooler::IsSpoolerRunning() {
    CTraceScope scope("CSpooler::IsSpoolerRunning");
    bool bRunning = false;
    CServiceHandles handles(kSpoolerServiceName);
    TraceOpenFailure(scope, handles);
    if (handles.Service()) {
        SERVICE_STATUS status;
        if (QueryServiceStatus(handles.Service(), &status))
            bRunning = status.dwCurrentState == SERVICE_RUNNING;
        else
            scope.Err("QueryServiceStatus failed, GetLastError()=%d", int(GetLastError()));
    }
    scope.Result("%s", bRunning ? "true" : "false");
    return bRunning;
}

bool CSpooler::StartSpooler() {
    CTraceScope scope("CSpooler::StartSpooler");
    bool bStarted = VexStartService(kSpoolerServiceName);
    scope.Result(bStarted);
    return bStarted;
}

bool CSpooler::VexStartService(const std::string& csServiceName) {
    CTraceScope scope("CSpooler::VexStartService");
    bool bStarted = false;
    CServiceHandles handles(csServiceName);
    TraceOpenFailure(scope, handles);
    if (!handles.Service()) {
        scope.Result(false);
        return false;
    }
    SServiceStartWait how;
    how.waitRound = [&scope](SC_HANDLE hService, SERVICE_STATUS* pStatus) {
        scope.Inf("Start pending, about to sleep for %d ms", int(pStatus->dwWaitHint));
        return SleepWaitHint(hService, pStatus);
    };
    SERVICE_STATUS status{};
    const EServiceStart eStart = StartServiceAndWait(handles.Service(), &status, how);
    if (eStart == EServiceStart::eStartFailed) {
        if (GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) {
            scope.Inf("Service already started");
            bStarted = true;
        } else {
            scope.Err("StartService failed, GetLastError()=%d", int(GetLastError()));
        }
        scope.Result(bStarted);
        return bStarted;
    }
    if (eStart == EServiceStart::eQueryFailed || eStart == EServiceStart::eWaitQueryFailed)
        scope.Err("QueryServiceStatus failed, GetLastError()=%d", int(GetLastError()));
    if (eStart == EServiceStart::eQueryFailed) {
        scope.Result(false);
        return false;
    }
    if (eStart == EServiceStart::eStalled)
        scope.Inf("Checkpoint hasn't been incremented");
    bStarted = status.dwCurrentState == SERVICE_RUNNING;
    if (!bStarted)
        scope.Err("Service not started, state=%d", int(status.dwCurrentState));
    scope.Result(bStarted);
    return bStarted;
}

bool CSpooler::VexStopService(const std::string& csServiceName) {
    CTraceScope scope("CSpooler::VexStopService");
    CServiceHandles handles(csServiceName);
    TraceOpenFailure(scope, handles);
    if (!handles.Service()) {
        scope.Result(false);
        return false;
    }
    bool bStopped = false;
    bool bAccepted = false;
    int iAttempts = 0;
    while (!bStopped && iAttempts < kStopAttempts) {
        SERVICE_STATUS status;
        if (!bAccepted) {
            if (ControlService(handles.Service(), SERVICE_CONTROL_STOP, &status)) {
                scope.Inf("Service accepted stop command");
                bAccepted = true;
            } else if (GetLastError() == ERROR_SERVICE_NOT_ACTIVE) {
                scope.Inf("Service already stopped");
                bStopped = true;
                continue;
            } else {
                scope.Err("Service didn't accept stop command, "
                          "GetLastError()=%d",
                          int(GetLastError()));
            }
        }
        Sleep(kStopAttemptMs);
        ++iAttempts;
        if (!QueryServiceStatus(handles.Service(), &status)) {
            scope.Err("QueryServiceStatus failed, GetLastError()=%d", int(GetLastError()));
        } else if (status.dwCurrentState == SERVICE_STOPPED) {
            bStopped = true;
        } else {
            scope.Inf("Service not stopped, state=%d", int(status.dwCurrentState));
        }
    }
    scope.Result(bStopped);
    return bStopped;
}

bool CSpooler::ShutdownSpooler(ENUM_SERVICE_STATUS** ppDependentServices,
                               uint32_t* pdwNumDependentServices) {
    CTraceScope scope("CSpooler::ShutdownSpooler");
    // A shared print scheduler serves every user's jobs: only the Spooler
    // service (its port monitors) stops, the scheduler stays up.
    if (platform::IsCupsSchedulerShared())
        scope.Inf("The shared CUPS scheduler at %s is not restarted",
                  platform::CupsServer().c_str());
    *ppDependentServices = nullptr;
    *pdwNumDependentServices = 0;
    ENUM_SERVICE_STATUS* pList = nullptr;
    uint32_t dwCount = 0;
    bool bOk = false;
    {
        CServiceHandles handles(kSpoolerServiceName);
        TraceOpenFailure(scope, handles);
        if (!handles.Service()) {
            scope.Result(false);
            return false;
        }
        uint32_t dwNeeded = 0;
        if (EnumDependentServices(handles.Service(), SERVICE_ACTIVE, nullptr, 0, &dwNeeded,
                                  &dwCount)) {
            scope.Inf("No dependent services");
            bOk = true;
        } else if (GetLastError() == ERROR_MORE_DATA) {
            pList = new ENUM_SERVICE_STATUS[dwNeeded];
            bOk = EnumDependentServices(handles.Service(), SERVICE_ACTIVE, pList, dwNeeded,
                                        &dwNeeded, &dwCount);
            if (!bOk)
                scope.Err("EnumDependentServices failed, "
                          "GetLastError()=%d",
                          int(GetLastError()));
        } else {
            scope.Err("EnumDependentServices failed, GetLastError()=%d", int(GetLastError()));
        }
        for (uint32_t i = 0; bOk && i < dwCount; ++i) {
            scope.Inf("About to try to stop dependent service '%s'",
                      pList[i].lpDisplayName.c_str());
            bOk = VexStopService(pList[i].lpServiceName);
        }
        if (bOk)
            bOk = VexStopService(kSpoolerServiceName);
    }
    if (bOk) {
        *ppDependentServices = pList;
        *pdwNumDependentServices = dwCount;
    } else {
        FreeDependentServices(pList);
    }
    scope.Result(bOk);
    return bOk;
}

bool CSpooler::RestartSpooler(const ENUM_SERVICE_STATUS* pDependentServices,
                              uint32_t dwNumDependentServices, bool& bDependencyProblem) {
    CTraceScope scope("CSpooler::RestartSpooler");
    bDependencyProblem = false;
    bool bStarted = VexStartService(kSpoolerServiceName);
    if (bStarted && dwNumDependentServices != 0) {
        if (!pDependentServices) {
            scope.Err("Num dependent services=%d, but pointer to them "
                      "NULL",
                      int(dwNumDependentServices));
            bDependencyProblem = true;
        } else {
            // The last one stopped is the first one started.
            for (uint32_t i = dwNumDependentServices; i-- > 0;) {
                if (!VexStartService(pDependentServices[i].lpServiceName))
                    bDependencyProblem = true;
            }
        }
    }
    scope.Result(bStarted);
    return bStarted;
}

bool CSpooler::RestartSpooler() {
    CTraceScope scope("CSpooler::RestartSpooler");
    ENUM_SERVICE_STATUS* pList = nullptr;
    uint32_t dwCount = 0;
    if (!ShutdownSpooler(&pList, &dwCount)) {
        TraceErr("CSpooler::RestartSpooler - ShutdownSpooler failed");
        scope.Result(false);
        return false;
    }
    bool bDependencyProblem = false;
    bool bStarted = RestartSpooler(pList, dwCount, bDependencyProblem);
    FreeDependentServices(pList);
    if (!bStarted) {
        TraceErr("CSpooler::RestartSpooler - RestartSpooler failed");
        scope.Result(false);
        return false;
    }
    if (bDependencyProblem) {
        TraceErr("CSpooler::RestartSpooler - Dependencies problem");
        scope.Result(false);
        return false;
    }
    scope.Result(true);
    return true;
}

void CSpooler::FreeDependentServices(ENUM_SERVICE_STATUS* pDependentServices) {
    CTraceScope scope("CSpooler::FreeDependentServices");
    delete[] pDependentServices;
}
