// The console handlers of a process, kept the same way on every system; the
// back end only turns the system's events into calls of DeliverConsoleEvent.
#pragma once

#include "platform/console.h"

namespace platform {

// Adds or removes a handler. pInstall runs once, under the list's lock, before
// the first handler is added (false: its last error is kept and nothing is added).
bool ChangeConsoleHandlers(PHANDLER_ROUTINE pHandlerRoutine, bool bAdd, bool (*pInstall)());

// Hands an event to the handlers, the one added last first; true when one took it.
bool DeliverConsoleEvent(uint32_t dwCtrlType);

} // namespace platform
