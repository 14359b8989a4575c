// Console events of a program run from a terminal: Ctrl+C, Ctrl+Break, the
// console closing, log-off and shut-down, handed to the program's handlers.
//
// POSIX delivers them as signals: SIGINT is Ctrl+C, SIGQUIT (the terminal's
// Ctrl+\) Ctrl+Break, SIGHUP the console closing, SIGTERM shut-down.
#pragma once

#include <cstdint>

namespace platform {

enum : uint32_t {
    CTRL_C_EVENT = 0,
    CTRL_BREAK_EVENT = 1,
    CTRL_CLOSE_EVENT = 2,
    CTRL_LOGOFF_EVENT = 5,
    CTRL_SHUTDOWN_EVENT = 6,
};

// True when the handler dealt with the event; false passes it on.
using PHANDLER_ROUTINE = bool (*)(uint32_t dwCtrlType);

// Adds (bAdd) or removes a handler. Handlers run in a thread of their own, the
// one added last first; when none takes the event, the default handling ends
// the process.
bool SetConsoleCtrlHandler(PHANDLER_ROUTINE pHandlerRoutine, bool bAdd);

} // namespace platform
