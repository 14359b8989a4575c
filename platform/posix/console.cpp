// Console events on POSIX: the signals are caught, written to a pipe, and a
// thread of the process hands them to the handlers outside the signal context.
#include "platform/console.h"

#include "console_handlers.h"

#include "platform/error.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <system_error>
#include <thread>
#include <unistd.h>

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
    if (DeliverConsoleEvent(dwCtrlType))
        return;
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

// Runs once, before the first handler is added.
bool Install() {
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
    return true;
}

} // namespace

bool SetConsoleCtrlHandler(PHANDLER_ROUTINE pHandlerRoutine, bool bAdd) {
    return ChangeConsoleHandlers(pHandlerRoutine, bAdd, Install);
}

} // namespace platform
