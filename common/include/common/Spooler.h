// CSpooler: the few service operations the system needs from the service
// manager: is the print spooler running, start it, and stop and restart it
// together with the services that depend on it. The start and stop routines
// serve any service by name.
//
// The GUI uses IsSpoolerRunning, StartSpooler and VexStartService; the service
// uses every operation. Make one on the stack for each use; it has no state.
// Every operation opens the manager and the service with all access and closes
// both before it returns. Pauses go through platform::Sleep (platform/clock.h).
#pragma once

#include "platform/service.h"

#include <cstdint>
#include <string>

class CSpooler {
public:
    static const char* const kSpoolerServiceName; // "Spooler"

    // True when the spooler's current state is SERVICE_RUNNING.
    bool IsSpoolerRunning();
    // VexStartService("Spooler").
    bool StartSpooler();
    // True when the service runs at the end, also when it ran already. While it
    // is start-pending, waits its wait hint as long as its check point grows.
    bool VexStartService(const std::string& csServiceName);

    // True when the service is stopped at the end, also when it was not
    // running. Gives up after 30 attempts of one second.
    bool VexStopService(const std::string& csServiceName);
    // Stops every active dependant of the spooler, then the spooler. On success
    // the dependants that were stopped are handed out (none: null and 0); the
    // caller passes them to RestartSpooler and frees them with
    // FreeDependentServices after the last use.
    bool ShutdownSpooler(platform::ENUM_SERVICE_STATUS** ppDependentServices,
                         uint32_t* pdwNumDependentServices);
    // Starts the spooler, then the dependants in reverse order of the list.
    // The result is whether the spooler started; bDependencyProblem tells
    // whether a dependant did not. The list stays the caller's.
    bool RestartSpooler(const platform::ENUM_SERVICE_STATUS* pDependentServices,
                        uint32_t dwNumDependentServices, bool& bDependencyProblem);
    // The whole cycle: true only when the spooler stopped and started again and
    // every dependant started again.
    bool RestartSpooler();

    static void FreeDependentServices(platform::ENUM_SERVICE_STATUS* pDependentServices);
};
