// The service manager of the machine: a database of services, each a program
// that the manager starts detached and that reports its own status.
//
// Client side (any program): open the manager, create, open, delete, start and
// control services, query their status and configuration, list them and their
// active dependants. Service side (the service program): the dispatcher, the
// control handler and the status reports.
//
// The calls follow the Win32 service API and set its error numbers as the last
// error (platform/error.h): 1051 dependants running, 1052 invalid control,
// 1053 no answer in time, 1056 already running, 1058 disabled, 1060 no such
// service, 1061 cannot accept the control now, 1062 not active, 1063 not
// started by the manager, 1068 a dependency failed, 1072 marked for delete,
// 1073 exists, 1078 display name taken. Service names compare without regard to
// case. A service whose process has ended without reporting "stopped" reads as
// stopped with exit code 1067.
//
// Buffers of the enumerations count records, not bytes: the size asked for and
// the size given are numbers of ENUM_SERVICE_STATUS records.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct ServiceHandle;
using SC_HANDLE = ServiceHandle*;
struct ServiceStatusHandle;
using SERVICE_STATUS_HANDLE = ServiceStatusHandle*;

enum : uint32_t {
    // Access rights (kept for the calls' shape; the emulated machine grants all).
    SC_MANAGER_ALL_ACCESS = 0xF003F,
    SERVICE_ALL_ACCESS = 0xF01FF,
    SERVICE_QUERY_STATUS = 0x0004,

    SERVICE_WIN32_OWN_PROCESS = 0x10,

    SERVICE_AUTO_START = 2,
    SERVICE_DEMAND_START = 3,
    SERVICE_DISABLED = 4,

    SERVICE_ERROR_IGNORE = 0,
    SERVICE_ERROR_NORMAL = 1,

    SERVICE_NO_CHANGE = 0xFFFFFFFF,

    // Current states.
    SERVICE_STOPPED = 1,
    SERVICE_START_PENDING = 2,
    SERVICE_STOP_PENDING = 3,
    SERVICE_RUNNING = 4,
    SERVICE_CONTINUE_PENDING = 5,
    SERVICE_PAUSE_PENDING = 6,
    SERVICE_PAUSED = 7,

    // Controls accepted (bits).
    SERVICE_ACCEPT_STOP = 0x01,
    SERVICE_ACCEPT_PAUSE_CONTINUE = 0x02,
    SERVICE_ACCEPT_SHUTDOWN = 0x04,
    SERVICE_ACCEPT_PARAMCHANGE = 0x08,
    SERVICE_ACCEPT_NETBINDCHANGE = 0x10,

    // Control codes; 128..255 are the service's own.
    SERVICE_CONTROL_STOP = 1,
    SERVICE_CONTROL_PAUSE = 2,
    SERVICE_CONTROL_CONTINUE = 3,
    SERVICE_CONTROL_INTERROGATE = 4,
    SERVICE_CONTROL_SHUTDOWN = 5,
    SERVICE_CONTROL_PARAMCHANGE = 6,
    SERVICE_CONTROL_NETBINDADD = 7,
    SERVICE_CONTROL_NETBINDENABLE = 10,

    // States selected by the enumerations.
    SERVICE_ACTIVE = 1,
    SERVICE_INACTIVE = 2,
    SERVICE_STATE_ALL = 3,
};

struct SERVICE_STATUS {
    uint32_t dwServiceType;
    uint32_t dwCurrentState;
    uint32_t dwControlsAccepted;
    uint32_t dwWin32ExitCode;
    uint32_t dwServiceSpecificExitCode;
    uint32_t dwCheckPoint;
    uint32_t dwWaitHint;
};

struct ENUM_SERVICE_STATUS {
    std::string lpServiceName;
    std::string lpDisplayName;
    SERVICE_STATUS ServiceStatus;
};

struct QUERY_SERVICE_CONFIG {
    uint32_t dwServiceType;
    uint32_t dwStartType;
    uint32_t dwErrorControl;
    std::string lpBinaryPathName; // a command line: program path and arguments
    std::vector<std::string> dependencies;
    std::string lpServiceStartName; // "LocalSystem" when none was given
    std::string lpDisplayName;
};

// ---- client side ----

// Opens the manager of the local machine (lpMachineName null or empty) and its
// default database (lpDatabaseName null).
SC_HANDLE OpenSCManager(const char* lpMachineName, const char* lpDatabaseName,
                        uint32_t dwDesiredAccess);
// Closes a manager or service handle.
bool CloseServiceHandle(SC_HANDLE hSCObject);

// Adds a service. csBinaryPathName is the command line that starts it; it is
// split as the system splits command lines, and never given to a shell.
// dependencies are the names of services that must run before this one starts.
// No load-order groups and no tags.
SC_HANDLE CreateService(SC_HANDLE hSCManager, const std::string& csServiceName,
                        const std::string& csDisplayName, uint32_t dwDesiredAccess,
                        uint32_t dwServiceType, uint32_t dwStartType, uint32_t dwErrorControl,
                        const std::string& csBinaryPathName,
                        const std::vector<std::string>& dependencies = {},
                        const char* lpServiceStartName = nullptr, const char* lpPassword = nullptr);
SC_HANDLE OpenService(SC_HANDLE hSCManager, const std::string& csServiceName,
                      uint32_t dwDesiredAccess);
// Removes a stopped service at once; a running one is marked for delete and
// goes when it stops (further starts, deletes and creates of the name: 1072).
bool DeleteService(SC_HANDLE hService);
// Changes the configuration; SERVICE_NO_CHANGE and null pointers leave a field.
bool ChangeServiceConfig(SC_HANDLE hService, uint32_t dwServiceType, uint32_t dwStartType,
                         uint32_t dwErrorControl, const char* lpBinaryPathName,
                         const char* lpDisplayName);
bool QueryServiceConfig(SC_HANDLE hService, QUERY_SERVICE_CONFIG* pConfig);

// Starts the service's program detached (after the services it depends on) and
// returns once its dispatcher has taken the start; the service then reports its
// own progress. Arguments reach the service main after the service name.
bool StartService(SC_HANDLE hService, uint32_t dwNumServiceArgs, const char** lpServiceArgVectors);
// Sends a control code and waits until the service's handler has run; the
// status afterwards is given in *lpServiceStatus (also when a refusal knows it).
bool ControlService(SC_HANDLE hService, uint32_t dwControl, SERVICE_STATUS* lpServiceStatus);
bool QueryServiceStatus(SC_HANDLE hService, SERVICE_STATUS* lpServiceStatus);

// The services that depend on hService, directly or through others, in the
// order in which they can be stopped (a service before those it depends on),
// selected by state (SERVICE_ACTIVE, SERVICE_INACTIVE, SERVICE_STATE_ALL).
// With too small a buffer: ERROR_MORE_DATA and *pcbBytesNeeded records needed.
bool EnumDependentServices(SC_HANDLE hService, uint32_t dwServiceState,
                           ENUM_SERVICE_STATUS* lpServices, uint32_t cbBufSize,
                           uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned);
// Every service of the database in name order, selected by state.
bool EnumServicesStatus(SC_HANDLE hSCManager, uint32_t dwServiceType, uint32_t dwServiceState,
                        ENUM_SERVICE_STATUS* lpServices, uint32_t cbBufSize,
                        uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned);

// True when the named service reports SERVICE_RUNNING: one look into the
// database and at the process, for callers that ask on every operation.
bool IsServiceRunning(const std::string& csServiceName);

// Ends the process of every service of the machine that still runs, without
// asking, and marks them stopped: the emulated machine's power switch, for
// test teardown and tools. Returns the number of processes ended.
int TerminateAllServices();

// The start manager of the machine, run by the system root's owner: starts the
// services that administrators who are not the owner ask StartService for, so
// that every service runs as the owner whoever starts it. Without a manager
// such a start fails with ERROR_ACCESS_DENIED. Serves until stop is set; false
// (last error set) at once when the caller is not a root owner or another
// manager listens. onListening runs once the manager can be reached.
bool ServeServiceStarts(const std::atomic<bool>& stop,
                        const std::function<void()>& onListening = {});

// ---- service side ----

using LPSERVICE_MAIN_FUNCTION = void (*)(uint32_t dwArgc, char** lpszArgv);
using LPHANDLER_FUNCTION = void (*)(uint32_t dwControl);

struct SERVICE_TABLE_ENTRY {
    const char* lpServiceName;
    LPSERVICE_MAIN_FUNCTION lpServiceProc;
};

// Connects the process to the manager and runs the service main of the entry
// whose name the manager started, in a thread of its own; the calling thread
// then carries out the control requests. Returns when the service has reported
// SERVICE_STOPPED. Fails with 1063 when the manager did not start the process
// (a program run from a console). The table ends with an entry of nulls.
bool StartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRY* lpServiceStartTable);
// Registers the control handler of the running service; null (last error set)
// outside a dispatcher or for another service's name.
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandler(const char* lpServiceName,
                                                 LPHANDLER_FUNCTION lpHandlerProc);
// Reports the service's status to the manager.
bool SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, const SERVICE_STATUS* lpServiceStatus);

} // namespace platform
