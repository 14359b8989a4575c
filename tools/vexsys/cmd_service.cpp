// vexsys service: lists, queries, starts, stops, controls, creates and deletes
// the services of the emulated machine.
#include "Command.h"

#include "common/ServiceControl.h"

#include "platform/console.h"
#include "platform/error.h"
#include "platform/service.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace platform;

namespace {

// How long the tool waits for a service to leave a pending state.
constexpr auto kPendingDeadline = std::chrono::seconds(30);

const char* StateName(uint32_t dwState) {
    switch (dwState) {
    case SERVICE_STOPPED:
        return "STOPPED";
    case SERVICE_START_PENDING:
        return "START_PENDING";
    case SERVICE_STOP_PENDING:
        return "STOP_PENDING";
    case SERVICE_RUNNING:
        return "RUNNING";
    case SERVICE_CONTINUE_PENDING:
        return "CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING:
        return "PAUSE_PENDING";
    case SERVICE_PAUSED:
        return "PAUSED";
    default:
        return "UNKNOWN";
    }
}

const char* StartTypeName(uint32_t dwStartType) {
    switch (dwStartType) {
    case SERVICE_AUTO_START:
        return "auto";
    case SERVICE_DEMAND_START:
        return "demand";
    case SERVICE_DISABLED:
        return "disabled";
    default:
        return "unknown";
    }
}

int ServiceError(const std::string& what) {
    uint32_t err = GetLastError();
    return vexsys::Failure(what + ": error " + std::to_string(err) + " (" + ErrorText(err) + ")");
}

std::atomic<bool> g_stopManager{false};

bool StopManager(uint32_t dwCtrlType) {
    if (dwCtrlType != CTRL_C_EVENT && dwCtrlType != CTRL_SHUTDOWN_EVENT)
        return false;
    g_stopManager = true;
    return true;
}

// Starts services for the administrators who are not the root's owner until
// it is ended (Ctrl+C or shut-down: SIGINT, SIGTERM).
int RunStartManager() {
    SetConsoleCtrlHandler(StopManager, true);
    const auto announce = [] {
        std::printf("starting services for the administrators until ended\n");
        std::fflush(stdout);
    };
    return ServeServiceStarts(g_stopManager, announce) ? 0 : ServiceError("cannot serve starts");
}

void PrintStatus(const std::string& name, const SERVICE_STATUS& status) {
    std::printf("%s\t%s (%u)\tcontrols 0x%x\texit %u\tservice exit %u\tcheck point %u\t"
                "wait hint %u\n",
                name.c_str(), StateName(status.dwCurrentState), status.dwCurrentState,
                status.dwControlsAccepted, status.dwWin32ExitCode, status.dwServiceSpecificExitCode,
                status.dwCheckPoint, status.dwWaitHint);
}

// Waits while the service is in the given pending state.
bool WaitWhile(SC_HANDLE hService, uint32_t dwPending, SERVICE_STATUS* pStatus) {
    auto deadline = std::chrono::steady_clock::now() + kPendingDeadline;
    while (QueryServiceStatus(hService, pStatus)) {
        if (pStatus->dwCurrentState != dwPending || std::chrono::steady_clock::now() > deadline)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int List(SC_HANDLE hManager) {
    uint32_t needed = 0, returned = 0;
    std::vector<ENUM_SERVICE_STATUS> services;
    if (!EnumServicesStatus(hManager, SERVICE_WIN32_OWN_PROCESS, SERVICE_STATE_ALL, nullptr, 0,
                            &needed, &returned)) {
        if (GetLastError() != ERROR_MORE_DATA)
            return ServiceError("cannot list the services");
        services.resize(needed);
        if (!EnumServicesStatus(hManager, SERVICE_WIN32_OWN_PROCESS, SERVICE_STATE_ALL,
                                services.data(), needed, &needed, &returned))
            return ServiceError("cannot list the services");
        services.resize(returned);
    }
    for (const ENUM_SERVICE_STATUS& service : services)
        std::printf("%s\t%s\t%s\n", service.lpServiceName.c_str(),
                    StateName(service.ServiceStatus.dwCurrentState), service.lpDisplayName.c_str());
    return 0;
}

int Query(SC_HANDLE hService, const std::string& name) {
    SERVICE_STATUS status;
    QUERY_SERVICE_CONFIG config;
    if (!QueryServiceStatus(hService, &status))
        return ServiceError("cannot query " + name);
    if (!QueryServiceConfig(hService, &config))
        return ServiceError("cannot read the configuration of " + name);
    PrintStatus(name, status);
    std::printf("display name\t%s\ncommand line\t%s\nstart\t%s\naccount\t%s\n",
                config.lpDisplayName.c_str(), config.lpBinaryPathName.c_str(),
                StartTypeName(config.dwStartType), config.lpServiceStartName.c_str());
    for (const std::string& dependency : config.dependencies)
        std::printf("depends on\t%s\n", dependency.c_str());
    return 0;
}

int Start(SC_HANDLE hService, const std::string& name, const vexsys::Args& args) {
    std::vector<const char*> argv;
    for (size_t i = 2; i < args.size(); ++i)
        argv.push_back(args[i].c_str());
    if (!StartService(hService, uint32_t(argv.size()), argv.data()))
        return ServiceError("cannot start " + name);
    SERVICE_STATUS status;
    if (!WaitWhile(hService, SERVICE_START_PENDING, &status))
        return ServiceError("cannot query " + name);
    PrintStatus(name, status);
    return status.dwCurrentState == SERVICE_RUNNING ? 0 : 1;
}

int Stop(SC_HANDLE hService, const std::string& name) {
    SERVICE_STATUS status;
    if (!ControlService(hService, SERVICE_CONTROL_STOP, &status)) {
        if (GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
            return ServiceError("cannot stop " + name);
    } else if (!WaitWhile(hService, SERVICE_STOP_PENDING, &status)) {
        if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST)
            return ServiceError("cannot query " + name);
        // It was marked for delete and went when it stopped.
        std::printf("%s\tstopped and removed\n", name.c_str());
        return 0;
    }
    PrintStatus(name, status);
    return status.dwCurrentState == SERVICE_STOPPED ? 0 : 1;
}

int Create(SC_HANDLE hManager, const vexsys::Args& args) {
    if (args.size() < 4)
        return vexsys::UsageError("service create needs a name, a display name and a command line");
    uint32_t dwStartType = SERVICE_DEMAND_START;
    std::vector<std::string> dependencies;
    for (size_t i = 4; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            return vexsys::UsageError("option " + args[i] + " needs a value");
        const std::string& option = args[i];
        const std::string& value = args[++i];
        if (option == "--depend") {
            dependencies.push_back(value);
        } else if (option == "--start") {
            if (value == "auto")
                dwStartType = SERVICE_AUTO_START;
            else if (value == "demand")
                dwStartType = SERVICE_DEMAND_START;
            else if (value == "disabled")
                dwStartType = SERVICE_DISABLED;
            else
                return vexsys::UsageError("--start takes auto, demand or disabled");
        } else {
            return vexsys::UsageError("unknown option '" + option + "'");
        }
    }
    SC_HANDLE hService =
        CreateService(hManager, args[1], args[2], SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                      dwStartType, SERVICE_ERROR_NORMAL, args[3], dependencies);
    if (!hService)
        return ServiceError("cannot create " + args[1]);
    CloseServiceHandle(hService);
    std::printf("%s created\n", args[1].c_str());
    return 0;
}

} // namespace

VEXSYS_COMMAND(service, "service",
               "service list\n"
               "service query NAME\n"
               "service start NAME [ARGS...]   (waits while it is start-pending)\n"
               "service stop NAME              (waits while it is stop-pending)\n"
               "service control NAME CODE      (1 stop, 4 interrogate, 128..255 the service's)\n"
               "service create NAME DISPLAY-NAME COMMAND-LINE [--start auto|demand|disabled] "
               "[--depend NAME]...\n"
               "service delete NAME\n"
               "service manager                (starts services for administrators who are "
               "not the root's owner, until ended)") {
    using namespace vexsys;
    if (args.empty())
        return UsageError("service needs an action");
    const std::string& action = args[0];
    if (action == "manager" && args.size() == 1)
        return RunStartManager();
    CServiceHandles handles;
    if (!handles.Manager())
        return ServiceError("cannot open the service manager");
    if (action == "list" && args.size() == 1)
        return List(handles.Manager());
    if (action == "create")
        return Create(handles.Manager(), args);
    bool bKnown = action == "query" || action == "start" || action == "stop" ||
                  action == "control" || action == "delete";
    if (!bKnown || args.size() < 2)
        return UsageError("bad arguments for service " + action);
    const std::string& name = args[1];
    bool bArgsOk = action == "start" || (action == "control" ? args.size() == 3 : args.size() == 2);
    if (!bArgsOk)
        return UsageError("bad arguments for service " + action);
    unsigned long long code = 0;
    if (action == "control" && !ParseNumber(args[2], 0xFFFFFFFFull, &code))
        return UsageError("the control code must be a number, not '" + args[2] + "'");
    if (!handles.OpenService(name))
        return ServiceError("cannot open " + name);
    if (action == "query")
        return Query(handles.Service(), name);
    if (action == "start")
        return Start(handles.Service(), name, args);
    if (action == "stop")
        return Stop(handles.Service(), name);
    if (action == "delete") {
        if (!DeleteService(handles.Service()))
            return ServiceError("cannot delete " + name);
        std::printf("%s deleted\n", name.c_str());
        return 0;
    }
    SERVICE_STATUS status;
    if (!ControlService(handles.Service(), uint32_t(code), &status))
        return ServiceError("control " + args[2] + " to " + name + " failed");
    PrintStatus(name, status);
    return 0;
}
