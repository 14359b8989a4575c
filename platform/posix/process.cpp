// Processes on POSIX: fork and exec (never a shell), the user switch after
// the fork, pidfd waits with a limit, /proc for the process list.
#include "platform/process.h"

#include "platform/error.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FindInPath(const std::string& program, const std::string& path) {
    if (program.find('/') != std::string::npos)
        return program;
    std::stringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (IsRegularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

// Reads one "Name:\t..." line of /proc/PID/status.
bool ReadStatusField(uint32_t pid, const char* field, std::string* pValue) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    size_t len = std::strlen(field);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, len, field) == 0 && line.size() > len && line[len] == ':') {
            *pValue = line.substr(len + 1);
            return true;
        }
    }
    return false;
}

bool UserGroups(uint32_t uid, uint32_t gid, std::vector<gid_t>* pGroups) {
    pGroups->assign(1, gid_t(gid));
    std::vector<char> buffer(16384);
    passwd pw, *found = nullptr;
    if (::getpwuid_r(uid_t(uid), &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return true; // a user without a name has only the group given
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    while (::getgrouplist(found->pw_name, gid_t(gid), groups.data(), &count) < 0) {
        if (count > 65536)
            return false;
        groups.resize(size_t(count) * 2);
        count = int(groups.size());
    }
    groups.resize(size_t(count));
    *pGroups = groups;
    return true;
}

// Everything the child needs, made before the fork: after it, only calls
// that are safe in a child of a threaded process.
struct SChildSetup {
    std::string program;
    std::vector<std::string> argv, env;
    std::vector<char*> argvPtrs, envPtrs;
    std::string directory;
    bool bSwitchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    int stdOutput = -1;
};

bool PrepareUser(const ProcessOptions& options, SChildSetup* pSetup) {
    uint32_t uid = 0, gid = 0;
    std::vector<uint32_t> groups;
    if (options.dwRunAsUserOfProcessId != 0) {
        if (!GetProcessUser(options.dwRunAsUserOfProcessId, &uid, &gid, &groups))
            return Fail(ERROR_INVALID_PARAMETER);
        pSetup->groups.assign(groups.begin(), groups.end());
    } else if (options.bRunAsUser) {
        uid = options.uiUserId;
        gid = options.uiGroupId;
        if (!UserGroups(uid, gid, &pSetup->groups))
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
    } else {
        return true;
    }
    if (::geteuid() != 0) {
        // Without root the only user a program may be started as is oneself.
        if (uid != ::geteuid() || gid != ::getegid())
            return Fail(ERROR_PRIVILEGE_NOT_HELD);
        return true;
    }
    pSetup->bSwitchUser = true;
    pSetup->uid = uid_t(uid);
    pSetup->gid = gid_t(gid);
    return true;
}

void PrepareEnvironment(const ProcessOptions& options, SChildSetup* pSetup) {
    auto replaced = [&](const char* entry) {
        for (const auto& [name, value] : options.vEnvironment) {
            if (std::strncmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=')
                return true;
        }
        return false;
    };
    for (char** e = environ; e && *e; ++e) {
        if (!replaced(*e))
            pSetup->env.emplace_back(*e);
    }
    for (const auto& [name, value] : options.vEnvironment)
        pSetup->env.push_back(name + "=" + value);
}

std::string EnvironmentValue(const std::vector<std::string>& env, const std::string& name) {
    for (const std::string& entry : env) {
        if (entry.compare(0, name.size() + 1, name + "=") == 0)
            return entry.substr(name.size() + 1);
    }
    return "";
}

[[noreturn]] void RunChild(SChildSetup& setup, int errorFd) {
    if (setup.stdOutput >= 0)
        ::dup2(setup.stdOutput, 1);
        // Handles are not inherited: only standard input, output and error pass.
#ifdef SYS_close_range
    constexpr unsigned kCloseRangeCloexec = 1u << 2;
    ::syscall(SYS_close_range, 3u, ~0u, kCloseRangeCloexec);
#endif
    int err = 0;
    if (setup.bSwitchUser) {
        if (::setgroups(setup.groups.size(), setup.groups.data()) != 0 ||
            ::setgid(setup.gid) != 0 || ::setuid(setup.uid) != 0)
            err = errno;
    }
    if (!err && !setup.directory.empty() && ::chdir(setup.directory.c_str()) != 0)
        err = ENOTDIR;
    if (!err) {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal)
            ::sigaction(signal, &fallback, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(setup.program.c_str(), setup.argvPtrs.data(), setup.envPtrs.data());
        err = errno;
    }
    (void)!::write(errorFd, &err, sizeof err);
    ::_exit(127);
}

uint32_t ExitCodeFromStatus(int status) {
    if (WIFEXITED(status))
        return uint32_t(int32_t(int8_t(uint8_t(WEXITSTATUS(status)))));
    if (WIFSIGNALED(status))
        return EXIT_CODE_SIGNAL_BASE + uint32_t(WTERMSIG(status));
    return STILL_ACTIVE;
}

} // namespace

Process::~Process() {
    if (m_pid > 0 && !m_bEnded && !Reap(false)) {
        // Still running: someone must collect it when it ends.
        std::thread([pid = m_pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    if (m_hWait >= 0)
        ::close(int(m_hWait));
}

bool Process::Start(const std::string& csCommandLine, const ProcessOptions& options) {
    if (options.bActiveConsoleUser)
        return Fail(ERROR_NOT_SUPPORTED);
    if (m_pid > 0)
        return Fail(ERROR_INVALID_HANDLE);
    SChildSetup setup;
    if (!ParseProgramCommandLine(csCommandLine, &setup.argv))
        return Fail(ERROR_FILE_NOT_FOUND);
    if (!PrepareUser(options, &setup))
        return false;
    PrepareEnvironment(options, &setup);
    setup.program = FindInPath(setup.argv.front(), EnvironmentValue(setup.env, "PATH"));
    if (setup.program.empty())
        return Fail(ERROR_FILE_NOT_FOUND);
    setup.directory = options.csCurrentDirectory;
    setup.stdOutput = options.hStdOutput;
    if (!setup.directory.empty()) {
        struct stat st;
        if (::stat(setup.directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return Fail(ERROR_DIRECTORY);
    }
    for (std::string& arg : setup.argv)
        setup.argvPtrs.push_back(arg.data());
    setup.argvPtrs.push_back(nullptr);
    for (std::string& entry : setup.env)
        setup.envPtrs.push_back(entry.data());
    setup.envPtrs.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return FailErrno();
    pid_t pid = ::fork();
    if (pid == 0)
        RunChild(setup, report[1]);
    ::close(report[1]);
    if (pid < 0) {
        int err = errno;
        ::close(report[0]);
        errno = err;
        return FailErrno();
    }
    // The pipe closes at a successful exec; an error number means it failed.
    int err = 0;
    ssize_t n;
    while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (n == ssize_t(sizeof err)) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return Fail(err == ENOTDIR ? ERROR_DIRECTORY : ErrorFromErrno(err));
    }
    m_pid = pid;
    m_hWait = ::syscall(SYS_pidfd_open, pid, 0);
    return true;
}

bool Process::Reap(bool bBlock) {
    if (m_bEnded)
        return true;
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(m_pid, &status, bBlock ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (r == 0)
        return false;
    m_bEnded = true;
    if (r < 0) // collected elsewhere: the code is lost
        m_dwExitCode = EXIT_CODE_SIGNAL_BASE;
    else
        m_dwExitCode = m_bTerminated ? m_dwTerminateCode : ExitCodeFromStatus(status);
    return true;
}

WaitResult Process::Wait(uint32_t dwMilliseconds) {
    if (m_pid <= 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WaitResult::Failed;
    }
    if (Reap(false))
        return WaitResult::Signaled;
    if (dwMilliseconds == INFINITE) {
        Reap(true);
        return WaitResult::Signaled;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    for (;;) {
        // Rounded up: the wait never ends before its time.
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return Reap(false) ? WaitResult::Signaled : WaitResult::Timeout;
        if (m_hWait >= 0) {
            pollfd pfd{int(m_hWait), POLLIN, 0};
            int ms = int(std::min<int64_t>(left.count(), 1 << 30));
            if (::poll(&pfd, 1, ms) < 0 && errno != EINTR) {
                FailErrno();
                return WaitResult::Failed;
            }
        } else {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::min<int64_t>(left.count(), 5)));
        }
        if (Reap(false))
            return WaitResult::Signaled;
    }
}

bool Process::Kill(uint32_t) {
    // The code is kept by Terminate: a signal carries none.
    if (::kill(m_pid, SIGKILL) != 0 && errno != ESRCH)
        return FailErrno();
    return true;
}

bool GetProgramCommandLine(std::vector<std::string>* pArgv) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    if (!in)
        return FailErrno();
    pArgv->clear();
    for (std::string arg; std::getline(in, arg, '\0');)
        pArgv->push_back(arg);
    return !pArgv->empty() || Fail(ERROR_INVALID_PARAMETER);
}

uint32_t GetCurrentProcessId() {
    return uint32_t(::getpid());
}

uint32_t GetCurrentThreadId() {
    thread_local const uint32_t tid = uint32_t(::syscall(SYS_gettid));
    return tid;
}

bool MakeBrokenPipesWriteErrors() {
    return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

bool EnumProcesses(std::vector<ProcessEntry>* pProcesses) {
    pProcesses->clear();
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return FailErrno();
    while (dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (!end || *end != '\0' || pid == 0)
            continue;
        std::string proc = "/proc/" + std::string(entry->d_name);
        char path[4096];
        ssize_t n = ::readlink((proc + "/exe").c_str(), path, sizeof path - 1);
        struct stat st;
        if (n <= 0 || ::stat(proc.c_str(), &st) != 0)
            continue;
        pProcesses->push_back({uint32_t(pid), std::string(path, size_t(n)), uint32_t(st.st_uid)});
    }
    ::closedir(dir);
    std::sort(
        pProcesses->begin(), pProcesses->end(),
        [](const ProcessEntry& a, const ProcessEntry& b) { return a.dwProcessId < b.dwProcessId; });
    return true;
}

bool GetProcessUser(uint32_t dwProcessId, uint32_t* puiUserId, uint32_t* puiGroupId,
                    std::vector<uint32_t>* pGroups) {
    std::string uid, gid, groups;
    if (!ReadStatusField(dwProcessId, "Uid", &uid) || !ReadStatusField(dwProcessId, "Gid", &gid))
        return Fail(ERROR_INVALID_PARAMETER);
    ReadStatusField(dwProcessId, "Groups", &groups);
    std::istringstream uids(uid), gids(gid), all(groups);
    // The real ids: who the process runs for.
    if (!(uids >> *puiUserId) || !(gids >> *puiGroupId))
        return Fail(ERROR_INVALID_DATA);
    if (pGroups) {
        pGroups->clear();
        for (uint32_t g; all >> g;)
            pGroups->push_back(g);
        if (pGroups->empty())
            pGroups->push_back(*puiGroupId);
    }
    return true;
}

} // namespace platform
