// Console events on POSIX: the signals are caught, written to a pipe, and a
// thread of the process hands them to the handlers outside the signal context.
#include "platform/console.h"

#include "platform/error.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

struct SConsoleEvent {
    int signal;
    uint32_t dwCtrlType;
};
constexpr SConsoleEvent kEvents[] = {
    {SIGINT, CTRL_C_EVENT},
    {SIGQUIT, CTRL_BREAK_EVENT},
    {SIGHUP, CTRL_CLOSE_EVENT},
    {SIGTERM, CTRL_SHUTDOWN_EVENT},
};

std::mutex g_lock;
std::vector<PHANDLER_ROUTINE>& Handlers() {
    static auto* handlers = new std::vector<PHANDLER_ROUTINE>;
    return *handlers;
}
int g_pipe[2] = {-1, -1};

void OnSignal(int signal) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(signal);
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void Deliver(int signal) {
    uint32_t dwCtrlType = CTRL_C_EVENT;
    for (const SConsoleEvent& event : kEvents) {
        if (event.signal == signal)
            dwCtrlType = event.dwCtrlType;
    }
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        std::lock_guard lock(g_lock);
        handlers = Handlers();
    }
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
        if ((*it)(dwCtrlType))
            return;
    }
    // Nobody took it: the event's default, which ends the process.
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

void EventThread() {
    for (;;) {
        unsigned char byte;
        ssize_t n = ::read(g_pipe[0], &byte, 1);
        if (n == 1)
            Deliver(byte);
        else if (n < 0 && errno != EINTR)
            return;
    }
}

bool InstallOnce() {
    static bool bInstalled = false;
    if (bInstalled)
        return true;
    if (::pipe2(g_pipe, O_CLOEXEC) != 0)
        return FailErrno();
    try {
        std::thread(EventThread).detach();
    } catch (const std::system_error&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const SConsoleEvent& event : kEvents)
        ::sigaction(event.signal, &action, nullptr);
    bInstalled = true;
    return true;
}

} // namespace

bool SetConsoleCtrlHandler(PHANDLER_ROUTINE pHandlerRoutine, bool bAdd) {
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
    if (!InstallOnce())
        return false;
    handlers.push_back(pHandlerRoutine);
    return true;
}

} // namespace platform
