// The console handler list: added last, asked first.
#include "console_handlers.h"

#include "platform/error.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform {

namespace {

std::mutex g_lock;
// Never destroyed: an event may come while the process exits.
std::vector<PHANDLER_ROUTINE>& Handlers() {
    static auto* handlers = new std::vector<PHANDLER_ROUTINE>;
    return *handlers;
}

} // namespace

bool ChangeConsoleHandlers(PHANDLER_ROUTINE pHandlerRoutine, bool bAdd, bool (*pInstall)()) {
    if (!pHandlerRoutine)
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(g_lock);
    auto& handlers = Handlers();
    if (!bAdd) {
        auto it = std::find(handlers.begin(), handlers.end(), pHandlerRoutine);
        if (it == handlers.end())
            return Fail(ERROR_INVALID_PARAMETER);
        handlers.erase(it);
        return true;
    }
    static bool bInstalled = false;
    if (!bInstalled && !pInstall())
        return false;
    bInstalled = true;
    handlers.push_back(pHandlerRoutine);
    return true;
}

bool DeliverConsoleEvent(uint32_t dwCtrlType) {
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        std::lock_guard lock(g_lock);
        handlers = Handlers();
    }
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
        if ((*it)(dwCtrlType))
            return true;
    }
    return false;
}

} // namespace platform
