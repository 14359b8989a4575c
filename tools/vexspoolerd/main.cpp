// vexspoolerd: the "Spooler" service of the emulated machine.
//
// The print spooler's calls work only while this service runs, as on Windows
// they fail with "RPC server unavailable" while the spooler is stopped. Started
// by the service manager only (`vexsys service start Spooler`); it runs until
// it is stopped. The port monitors registered with the spooler are hosted here
// while it runs.
#include "MonitorHost.h"
#include "platform/error.h"
#include "platform/service.h"
#include "platform/spooler.h"
#include "platform/sync.h"

#include <cstdio>
#include <mutex>

using namespace platform;

namespace {

const char* const kServiceName = "Spooler";

SERVICE_STATUS_HANDLE g_hStatus = nullptr;
std::mutex g_statusLock;
SERVICE_STATUS g_status{SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, 0, 0, 0, 0};
uint32_t g_dwCheckPoint = 1;
Event g_stopRequested(true, false);
CMonitorHost g_monitors;

void Report(uint32_t dwState, uint32_t dwWaitHint) {
    std::lock_guard lock(g_statusLock);
    g_status.dwCurrentState = dwState;
    g_status.dwControlsAccepted = dwState == SERVICE_START_PENDING || dwState == SERVICE_STOPPED
                                      ? 0u
                                      : uint32_t(SERVICE_ACCEPT_STOP);
    g_status.dwWaitHint = dwWaitHint;
    bool bPending = dwState != SERVICE_RUNNING && dwState != SERVICE_STOPPED;
    g_status.dwCheckPoint = bPending ? g_dwCheckPoint++ : 0;
    if (!SetServiceStatus(g_hStatus, &g_status))
        std::fprintf(stderr, "vexspoolerd: SetServiceStatus failed, error %u\n", GetLastError());
}

void SpoolerCtrl(uint32_t dwControl) {
    if (dwControl == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING, 1000);
        g_stopRequested.Set();
        return;
    }
    if (dwControl == SPOOLER_CONTROL_MONITORS_CHANGED)
        g_monitors.Sync();
    uint32_t dwState;
    {
        std::lock_guard lock(g_statusLock);
        dwState = g_status.dwCurrentState;
    }
    Report(dwState, 0);
}

void SpoolerMain(uint32_t, char**) {
    g_hStatus = RegisterServiceCtrlHandler(kServiceName, SpoolerCtrl);
    if (!g_hStatus)
        return;
    Report(SERVICE_START_PENDING, 2000);
    // On a root with a private CUPS scheduler, the scheduler is the spooler:
    // it runs while this service does.
    if (!StartPrivateScheduler()) {
        std::fprintf(stderr, "vexspoolerd: the root's CUPS scheduler cannot run: error %u (%s)\n",
                     GetLastError(), ErrorText(GetLastError()).c_str());
        {
            std::lock_guard lock(g_statusLock);
            g_status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
            g_status.dwServiceSpecificExitCode = GetLastError();
        }
        Report(SERVICE_STOPPED, 0);
        return;
    }
    // The monitors answer before the spooler does.
    g_monitors.Sync();
    Report(SERVICE_RUNNING, 0);
    g_stopRequested.Wait();
    g_monitors.StopAll();
    StopPrivateScheduler();
    Report(SERVICE_STOPPED, 0);
}

} // namespace

int main() {
    const SERVICE_TABLE_ENTRY table[] = {{kServiceName, SpoolerMain}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcher(table))
        return 0;
    uint32_t err = GetLastError();
    if (err == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
        std::fprintf(stderr, "vexspoolerd: runs as the Spooler service only; start it with "
                             "'vexsys service start Spooler'\n");
    else
        std::fprintf(stderr, "vexspoolerd: cannot run the Spooler service: error %u (%s)\n", err,
                     ErrorText(err).c_str());
    return 1;
}
