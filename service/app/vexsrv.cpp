// vexsrv: the discovery and printer-creation service. Run by the service
// manager it becomes the service; run from a console with one of the words
// install, remove, start or debug (after "-" or "/", in any case) it carries
// out that command instead.
#include "service/ServiceEntry.h"

#include "common/Trace.h"
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

int _tmain(int argc, char** argv) {
    // A write to a pipe or socket whose reader has gone must give an error to
    // the writer, not end the service.
    if (!platform::MakeBrokenPipesWriteErrors())
        return 1;
    // Only the first argument counts, and only as a word after "-" or "/".
    if (argc > 1 && (argv[1][0] == '-' || argv[1][0] == '/')) {
        const char* pszWord = argv[1] + 1;
        if (strcasecmp(pszWord, "install") == 0) {
            CmdInstallService();
            return 0;
        }
        if (strcasecmp(pszWord, "remove") == 0) {
            CmdRemoveService();
            return 0;
        }
        if (strcasecmp(pszWord, "debug") == 0) {
            SetDebugMode(true);
            CmdDebugService(argc, argv);
            return 0;
        }
        if (strcasecmp(pszWord, "start") == 0) {
            CmdStartService();
            return 0;
        }
    }
    const platform::SERVICE_TABLE_ENTRY dispatchTable[] = {{SZSERVICENAME, vex_main},
                                                           {nullptr, nullptr}};
    // Returns when the service has stopped; from a console it fails at once,
    // and the process ends all the same.
    platform::StartServiceCtrlDispatcher(dispatchTable);
    return 0;
}

int main(int argc, char** argv) {
    const int iExitCode = _tmain(argc, argv);
    // The service's threads may still run here (they are not joined at a stop):
    // static destructors would pull the open mutexes, the served pipes and the
    // trace from under them. What must outlive the process is on disk by now;
    // the trace is closed and the process ends without destroying anything.
    TraceShutdown();
    std::fflush(nullptr);
    std::_Exit(iExitCode);
}
