// zantornpmon.exe: the "Zantor TCP/IP Network Port" monitor's stand-in on
// Windows, a program of its own (the maker's monitor DLL, which the Windows
// spooler loads, lies outside the system). Started by hand or by a test as
//   zantornpmon.exe --host MONITOR-NAME
// it answers monSetNewPort (SetNewPort.h) through the system's RPC runtime,
// makes its ports through the local monitor (PortHome.h) and runs until a
// console event ends it: Ctrl+C, Ctrl+Break, its console closing, shut-down.
#include "Log.h"
#include "MonitorRegistry.h"
#include "SetNewPort.h"

#include "platform/console.h"
#include "platform/error.h"
#include "platform/sync.h"

#include <cstdio>
#include <cstring>

using namespace platform;

namespace {

Event g_stop(true, false);

bool Stop(uint32_t dwCtrlType) {
    if (dwCtrlType == CTRL_LOGOFF_EVENT)
        return false; // a monitor outlives the user's session
    g_stop.Set();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--host") != 0) {
        std::fprintf(stderr, "zantornpmon: a port monitor; run it as\n"
                             "  zantornpmon.exe --host MONITOR-NAME\n");
        return 1;
    }
    SetMonitorName(argv[2]);
    SetConsoleCtrlHandler(Stop, true);
    CPortMonitorServer server;
    RPC_STATUS status = server.Listen(SetNewPort);
    if (status != RPC_S_OK) {
        Log("cannot serve the monitor's interface: " + ErrorText(status));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    g_stop.Wait();
    server.Stop();
    return 0;
}
