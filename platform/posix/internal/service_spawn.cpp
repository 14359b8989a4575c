// Starting a service program detached: a double fork, so that the service is
// nobody's child and outlives the program that started it.
#include "service_spawn.h"

#include "platform/error.h"
#include "platform/os.h"
#include "platform/root.h"
#include "service_db.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::posix {

namespace {

bool ReadAll(int fd, void* pBuffer, size_t cb) {
    auto* p = static_cast<char*>(pBuffer);
    while (cb > 0) {
        ssize_t n = ::read(fd, p, cb);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        cb -= size_t(n);
    }
    return true;
}

// Marks every descriptor from `first` on close-on-exec. Only calls that are
// safe between fork and exec.
void CloseOnExecFrom(int first) {
#ifdef SYS_close_range
    constexpr unsigned kCloseRangeCloexec = 1u << 2;
    if (::syscall(SYS_close_range, unsigned(first), ~0u, kCloseRangeCloexec) == 0)
        return;
#endif
    for (int fd = first; fd < 4096; ++fd)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

} // namespace

std::string NewStartToken() {
    static thread_local std::random_device device;
    char text[33];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", device(), device(), device(), device());
    return text;
}

bool SpawnService(const std::string& csName, const std::string& csToken,
                  const std::vector<std::string>& argv, SSpawnedService* pSpawned) {
    // Everything the child needs is built before the fork: after it, only
    // calls that are safe in a child of a threaded process.
    std::vector<std::string> env;
    auto keep = [](const char* entry) {
        for (const char* name : {kServiceNameEnv, kServiceTokenEnv, "VEX_ROOT"}) {
            size_t len = std::strlen(name);
            if (std::strncmp(entry, name, len) == 0 && entry[len] == '=')
                return false;
        }
        return true;
    };
    for (char** e = environ; e && *e; ++e) {
        if (keep(*e))
            env.emplace_back(*e);
    }
    env.push_back("VEX_ROOT=" + SystemRoot());
    env.push_back(std::string(kServiceNameEnv) + "=" + csName);
    env.push_back(std::string(kServiceTokenEnv) + "=" + csToken);
    std::vector<char*> envp, args;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (std::string& arg : argvCopy)
        args.push_back(arg.data());
    args.push_back(nullptr);
    std::string workDir = GetSystemDirectory();

    int report[2], ack[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return FailErrno();
    if (::pipe2(ack, O_CLOEXEC) != 0) {
        int err = errno;
        ::close(report[0]);
        ::close(report[1]);
        errno = err;
        return FailErrno();
    }
    pid_t middle = ::fork();
    if (middle == 0) {
        ::setsid();
        pid_t service = ::fork();
        if (service != 0) {
            // The middle process: tell the starter the service's pid and go.
            (void)!::write(report[1], &service, sizeof service);
            ::_exit(service > 0 ? 0 : 1);
        }
        // Move the two pipe ends out of the way of 0..3 first.
        int reportFd = ::fcntl(report[1], F_DUPFD_CLOEXEC, 10);
        int ackFd = ::fcntl(ack[1], F_DUPFD_CLOEXEC, 10);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::dup2(ackFd, kServiceAckFd);
        CloseOnExecFrom(kServiceAckFd + 1);
        // Nothing of the starter's signal set-up: a starter that ignores or
        // blocks a signal must not make its services deaf to it.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal)
            ::sigaction(signal, &fallback, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::chdir(workDir.c_str()) != 0) {
            // A service runs from the system directory; when it is missing, the root.
        }
        ::execve(args[0], args.data(), envp.data());
        int err = errno;
        (void)!::write(reportFd, &err, sizeof err);
        ::_exit(127);
    }
    ::close(report[1]);
    ::close(ack[1]);
    if (middle < 0) {
        int err = errno;
        ::close(report[0]);
        ::close(ack[0]);
        errno = err;
        return FailErrno();
    }
    int status;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t service = -1;
    int execError = 0;
    bool bGotPid = ReadAll(report[0], &service, sizeof service) && service > 0;
    // The pipe closes at a successful exec; an error number means it failed.
    bool bExecFailed = bGotPid && ReadAll(report[0], &execError, sizeof execError);
    ::close(report[0]);
    if (!bGotPid || bExecFailed) {
        ::close(ack[0]);
        return Fail(bExecFailed ? ErrorFromErrno(execError) : ERROR_NOT_ENOUGH_MEMORY);
    }
    pSpawned->pid = service;
    pSpawned->ackFd = ack[0];
    return true;
}

bool WaitForStartAck(SSpawnedService* pSpawned, int iTimeoutMs) {
    pollfd pfd{pSpawned->ackFd, POLLIN, 0};
    int n;
    while ((n = ::poll(&pfd, 1, iTimeoutMs)) < 0 && errno == EINTR) {
    }
    char byte = 0;
    bool ok = n > 0 && ::read(pSpawned->ackFd, &byte, 1) == 1;
    ::close(pSpawned->ackFd);
    pSpawned->ackFd = -1;
    return ok;
}

} // namespace platform::posix
