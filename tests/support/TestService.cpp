// The test binary as a service: see TestService.h.
#include "TestService.h"

#include "TestSupport.h"
#include "platform/error.h"
#include "platform/root.h"
#include "platform/service.h"
#include "platform/sync.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace vextest {

namespace {

std::string g_name;
std::string g_mode;
SERVICE_STATUS_HANDLE g_hStatus = nullptr;
std::mutex g_lock;
SERVICE_STATUS g_status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0};
uint32_t g_checkPoint = 1;
Event g_stop(true, false);

void Report(uint32_t state, uint32_t waitHint, uint32_t exitCode = 0, uint32_t specific = 0) {
    std::lock_guard lock(g_lock);
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted =
        state == SERVICE_START_PENDING ? 0u : uint32_t(SERVICE_ACCEPT_STOP);
    g_status.dwWin32ExitCode = exitCode;
    g_status.dwServiceSpecificExitCode = specific;
    g_status.dwWaitHint = waitHint;
    bool bPending = state != SERVICE_RUNNING && state != SERVICE_STOPPED;
    g_status.dwCheckPoint = bPending ? g_checkPoint++ : 0;
    SetServiceStatus(g_hStatus, &g_status);
}

void Handler(uint32_t code) {
    if (code == 200)
        ::_exit(3);
    if (code >= 128 && code <= 255)
        WriteFile(TestServiceMarker(g_name, code), "x");
    if (code == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING, 1000);
        if (g_mode != "stuckstop")
            g_stop.Set();
        return;
    }
    uint32_t state;
    {
        std::lock_guard lock(g_lock);
        state = g_status.dwCurrentState;
    }
    Report(state, 0);
}

void ServiceMain(uint32_t argc, char** argv) {
    std::string args;
    for (uint32_t i = 0; i < argc; ++i)
        args += std::string(argv[i]) + "\n";
    WriteFile(RootPath("args-" + g_name), args);
    if (FILE* log = std::fopen(RootPath("service-starts").c_str(), "a")) {
        std::fprintf(log, "%s\n", g_name.c_str());
        std::fclose(log);
    }
    g_hStatus = RegisterServiceCtrlHandler(g_name.c_str(), Handler);
    if (!g_hStatus)
        return;
    std::string started = RootPath("started-" + g_name);
    bool bAgain = !ReadFile(started).empty();
    WriteFile(started, "x");
    if (g_mode == "refuse" || (g_mode == "once" && bAgain)) {
        Report(SERVICE_STOPPED, 0, 1066, 42);
        return;
    }
    Report(SERVICE_START_PENDING, 2000);
    if (g_mode == "hang")
        return; // the dispatcher keeps the process, the status stays pending
    if (g_mode == "slowstart") {
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Report(SERVICE_START_PENDING, 1000);
        }
    }
    Report(SERVICE_RUNNING, 0);
    g_stop.Wait();
    Report(SERVICE_STOPPED, 0);
}

} // namespace

VEX_TEST_HELPER(test_service) {
    if (args.size() != 2)
        return 2;
    g_name = args[0];
    g_mode = args[1];
    if (g_mode == "quit")
        return 0;
    const SERVICE_TABLE_ENTRY table[] = {{g_name.c_str(), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcher(table) ? 0 : 1;
}

std::string TestServiceCommandLine(const std::string& name, const std::string& mode) {
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, size_t(n)) : std::string();
    return "\"" + path + "\" --vex-helper=test_service " + name + " " + mode;
}

bool CreateTestService(const std::string& name, const std::string& mode,
                       const std::vector<std::string>& dependencies) {
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!hManager)
        return false;
    SC_HANDLE hService =
        CreateService(hManager, name, name + " (test)", SERVICE_ALL_ACCESS,
                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                      TestServiceCommandLine(name, mode), dependencies);
    if (hService)
        CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
    return hService != nullptr;
}

std::string TestServiceMarker(const std::string& name, unsigned code) {
    return RootPath("ctl-" + name + "-" + std::to_string(code));
}

std::vector<std::string> StartLog() {
    return Lines(ReadFile(RootPath("service-starts")));
}

unsigned ServiceState(const std::string& name) {
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE hService = hManager ? OpenService(hManager, name, SERVICE_ALL_ACCESS) : nullptr;
    SERVICE_STATUS status{};
    bool ok = hService && QueryServiceStatus(hService, &status);
    if (hService)
        CloseServiceHandle(hService);
    if (hManager)
        CloseServiceHandle(hManager);
    return ok ? status.dwCurrentState : 0;
}

bool StartAndWait(const std::string& name, unsigned* pState) {
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE hService = hManager ? OpenService(hManager, name, SERVICE_ALL_ACCESS) : nullptr;
    bool ok = hService && StartService(hService, 0, nullptr);
    if (hService)
        CloseServiceHandle(hService);
    if (hManager)
        CloseServiceHandle(hManager);
    unsigned state = 0;
    if (ok)
        WaitFor([&] { return (state = ServiceState(name)) != SERVICE_START_PENDING; });
    if (pState)
        *pState = state;
    return ok;
}

bool StartSpoolerService() {
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!hManager)
        return false;
    SC_HANDLE hService = CreateService(
        hManager, "Spooler", "Print Spooler", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, "\"" + ProgramPath("vexspoolerd") + "\"");
    if (hService)
        CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
    if (!hService && GetLastError() != ERROR_SERVICE_EXISTS)
        return false;
    unsigned state = 0;
    return (StartAndWait("Spooler", &state) && state == SERVICE_RUNNING) ||
           ServiceState("Spooler") == SERVICE_RUNNING;
}

bool StopSpoolerService() {
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE hService = hManager ? OpenService(hManager, "Spooler", SERVICE_ALL_ACCESS) : nullptr;
    SERVICE_STATUS status{};
    if (hService)
        ControlService(hService, SERVICE_CONTROL_STOP, &status);
    if (hService)
        CloseServiceHandle(hService);
    if (hManager)
        CloseServiceHandle(hManager);
    return WaitFor([] { return ServiceState("Spooler") == SERVICE_STOPPED; });
}

} // namespace vextest
