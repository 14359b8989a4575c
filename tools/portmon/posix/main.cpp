// zantornpmon.dll: the "Zantor TCP/IP Network Port" monitor of the emulated
// machine. The spooler (vexspoolerd) runs this file from the system directory
// for as long as it runs itself, which keeps the file busy, as a loaded module
// is on Windows. It answers monSetNewPort (SetNewPort.h) on the monitor's RPC
// endpoint.
#include "Log.h"
#include "MonitorRegistry.h"
#include "SetNewPort.h"
#include "platform/error.h"
#include "platform/files.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace platform;

// The file's version resource; samplepkg stamps the package's version into it.
extern "C" __attribute__((used, aligned(4)))
const VS_FIXEDFILEINFO g_vexVersionResource = {VS_FFI_SIGNATURE,
                                               VS_FFI_STRUCVERSION,
                                               0x00010000,
                                               0,
                                               0x00010000,
                                               0,
                                               0x3F,
                                               0,
                                               0x40004 /* VOS_NT_WINDOWS32 */,
                                               2 /* VFT_DLL */,
                                               0,
                                               0,
                                               0};

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--host") != 0) {
        std::fprintf(stderr, "zantornpmon: a port monitor; the spooler runs it as\n"
                             "  zantornpmon.dll --host MONITOR-NAME\n");
        return 1;
    }
    SetMonitorName(argv[2]);
    // A monitor lives inside its spooler: it goes when the spooler goes.
    pid_t spooler = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != spooler)
        return 1;
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    ::pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    CPortMonitorServer server;
    RPC_STATUS status = server.Listen(SetNewPort);
    if (status != RPC_S_OK) {
        Log("cannot listen on the monitor's endpoint: " + ErrorText(status));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    server.Stop();
    return 0;
}
