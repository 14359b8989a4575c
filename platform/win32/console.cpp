// Console events on Windows: the system calls one handler of ours in a thread
// of its own, which hands the event to the program's handlers.
#include "platform/console.h"
#include "platform/error.h"

#include "console_handlers.h"
#include "windows_api.h"

namespace platform {

namespace {

BOOL WINAPI OnConsoleEvent(DWORD dwCtrlType) {
    // FALSE lets the system's default handling end the process.
    return DeliverConsoleEvent(dwCtrlType) ? TRUE : FALSE;
}

bool Install() {
    return ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) || Fail(::GetLastError());
}

} // namespace

bool SetConsoleCtrlHandler(PHANDLER_ROUTINE pHandlerRoutine, bool bAdd) {
    return ChangeConsoleHandlers(pHandlerRoutine, bAdd, Install);
}

} // namespace platform
