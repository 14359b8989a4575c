// The test helpers on POSIX, over the emulated machine: the system root's
// folder and group, the pipes' folders, network namespaces, helpers forked and
// run through setpriv, and the main that adopts the services.
#include "TestSupport.h"

#include "common/Trace.h"
#include "platform/root.h"
#include "platform/service.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vextest {

namespace {
std::string g_selfPath;
} // namespace

TempRoot::TempRoot() {
    char pattern[] = "/tmp/vexroot-XXXXXX";
    m_path = ::mkdtemp(pattern);
    const char* previous = std::getenv("VEX_ROOT");
    m_hadPrevious = previous != nullptr;
    m_previous = previous ? previous : "";
    ::setenv("VEX_ROOT", m_path.c_str(), 1);
    const char* group = std::getenv("VEX_ADMIN_GROUP");
    m_hadPreviousGroup = group != nullptr;
    m_previousGroup = group ? group : "";
    ::setenv("VEX_ADMIN_GROUP", std::to_string(kTestAdminGroup).c_str(), 1);
    // Laid as the machine's root is: the administrators may enter, nobody else.
    if (::chown(m_path.c_str(), uid_t(-1), gid_t(kTestAdminGroup)) == 0)
        ::chmod(m_path.c_str(), 02770);
}

TempRoot::~TempRoot() {
    // Services started in this root must not outlive it.
    platform::TerminateAllServices();
    // This process adopts the detached services it started (see main): collect
    // them once the kernel has taken them down.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (pid_t pid; (pid = ::waitpid(-1, nullptr, WNOHANG)) >= 0;) {
        if (pid == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    TraceShutdown();
    if (m_hadPrevious)
        ::setenv("VEX_ROOT", m_previous.c_str(), 1);
    else
        ::unsetenv("VEX_ROOT");
    if (m_hadPreviousGroup)
        ::setenv("VEX_ADMIN_GROUP", m_previousGroup.c_str(), 1);
    else
        ::unsetenv("VEX_ADMIN_GROUP");
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

void SetEnvironment(const std::string& csName, const std::string& csValue) {
    ::setenv(csName.c_str(), csValue.c_str(), 1);
}

void UnsetEnvironment(const std::string& csName) {
    ::unsetenv(csName.c_str());
}

bool PipeOffered(const std::string& csName, platform::PipeAccess eAccess) {
    std::string csBase = csName.substr(csName.rfind('\\') + 1);
    for (char& c : csBase)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string csFolder =
        "run/" + csBase +
        (eAccess == platform::PipeAccess::Default ? "@" + std::to_string(::geteuid()) : "") +
        ".pipe";
    DIR* pDir = ::opendir(platform::RootPath(csFolder).c_str());
    bool bOffered = false;
    while (dirent* pEntry = pDir ? ::readdir(pDir) : nullptr) {
        const std::string csEntry = pEntry->d_name;
        bOffered = bOffered || (csEntry[0] != '.' && csEntry.find(".srv") == std::string::npos);
    }
    if (pDir)
        ::closedir(pDir);
    return bOffered;
}

bool EnterPrivateNetwork(std::string* pcsError) {
    auto fail = [pcsError](const char* pszWhat) {
        *pcsError = std::string(pszWhat) + ": " + std::strerror(errno);
        return false;
    };
    if (::unshare(CLONE_NEWNET) != 0)
        return fail("unshare(CLONE_NEWNET)");
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail("socket");
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool bOk = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags = short(ifr.ifr_flags | IFF_UP | IFF_RUNNING);
    bOk = bOk && ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    if (!bOk) {
        ::close(fd);
        return fail("bringing up lo");
    }
    rtentry route{};
    auto setAddr = [](sockaddr* pAddr, const char* pszAddr) {
        auto* pIn = reinterpret_cast<sockaddr_in*>(pAddr);
        pIn->sin_family = AF_INET;
        ::inet_pton(AF_INET, pszAddr, &pIn->sin_addr);
    };
    setAddr(&route.rt_dst, "224.0.0.0");
    setAddr(&route.rt_genmask, "240.0.0.0");
    char szDevice[] = "lo";
    route.rt_dev = szDevice;
    route.rt_flags = RTF_UP;
    bOk = ::ioctl(fd, SIOCADDRT, &route) == 0;
    ::close(fd);
    if (!bOk)
        return fail("routing multicast to lo");
    ::setenv("VEX_NETNS", "1", 1);
    return true;
}

namespace {
int Entries(const char* pszFolder) {
    int n = 0;
    if (DIR* pDir = ::opendir(pszFolder)) {
        while (::readdir(pDir))
            ++n;
        ::closedir(pDir);
    }
    return n;
}
} // namespace

int OpenDescriptors() {
    return Entries("/proc/self/fd");
}

int RunningThreads() {
    return Entries("/proc/self/task");
}

static pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
                   const std::string& stdoutPath, int* pipeOut) {
    int fds[2] = {-1, -1};
    if (pipeOut && ::pipe(fds) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        if (pipeOut) {
            ::dup2(fds[1], 1);
            ::dup2(fds[1], 2);
            ::close(fds[0]);
            ::close(fds[1]);
        } else if (!stdoutPath.empty()) {
            FILE* f = std::fopen(stdoutPath.c_str(), "w");
            if (f)
                ::dup2(fileno(f), 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    if (pipeOut) {
        ::close(fds[1]);
        *pipeOut = fds[0];
    }
    return pid;
}

pid_t StartHelper(const std::string& name, const std::vector<std::string>& args,
                  const std::string& stdoutPath) {
    std::vector<std::string> full{"--vex-helper=" + name};
    full.insert(full.end(), args.begin(), args.end());
    return Spawn(g_selfPath, full, stdoutPath, nullptr);
}

int WaitHelper(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : -1;
}

bool HelperEnded(pid_t pid, int* piExitCode) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != pid)
        return false;
    *piExitCode = WIFEXITED(status)     ? WEXITSTATUS(status)
                  : WIFSIGNALED(status) ? -WTERMSIG(status)
                                        : -1;
    return true;
}

bool KillHelper(pid_t pid) {
    static_assert(kKilledHelper == -SIGKILL);
    return ::kill(pid, SIGKILL) == 0;
}

int RunHelper(const std::string& name, const std::vector<std::string>& args) {
    return WaitHelper(StartHelper(name, args));
}

namespace {
// The setpriv command line that runs program with args as eWho (not Self).
std::vector<std::string> AsIdentity(Identity eWho, const std::string& program,
                                    const std::vector<std::string>& args) {
    const std::string id = std::to_string(kOutsiderId);
    std::vector<std::string> full{"--reuid=" + id, "--regid=" + id,
                                  eWho == Identity::Outsider
                                      ? std::string("--clear-groups")
                                      : "--groups=" + std::to_string(kTestAdminGroup),
                                  program};
    full.insert(full.end(), args.begin(), args.end());
    return full;
}
} // namespace

pid_t StartHelperAs(Identity eWho, const std::string& name, const std::vector<std::string>& args) {
    if (eWho == Identity::Self)
        return StartHelper(name, args);
    std::vector<std::string> helperArgs{"--vex-helper=" + name};
    helperArgs.insert(helperArgs.end(), args.begin(), args.end());
    return Spawn("/usr/bin/setpriv", AsIdentity(eWho, g_selfPath, helperArgs), "", nullptr);
}

int RunHelperAs(Identity eWho, const std::string& name, const std::vector<std::string>& args) {
    return WaitHelper(StartHelperAs(eWho, name, args));
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* output) {
    int fd = -1;
    pid_t pid = Spawn(program, args, "", &fd);
    if (pid < 0)
        return -1;
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    if (output)
        *output = text;
    return WaitHelper(pid);
}

int RunProgramAs(Identity eWho, const std::string& program, const std::vector<std::string>& args,
                 std::string* output) {
    if (eWho == Identity::Self)
        return RunProgram(program, args, output);
    return RunProgram("/usr/bin/setpriv", AsIdentity(eWho, program, args), output);
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& stdoutPath) {
    return Spawn(program, args, stdoutPath, nullptr);
}

std::string ProgramPath(const std::string& name) {
    return std::string(VEX_BIN_DIR) + "/" + name;
}

} // namespace vextest

int main(int argc, char** argv) {
    // Services start detached; as their subreaper the test process can collect
    // them when they end, so that none lingers as a zombie.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    vextest::g_selfPath = n > 0 ? std::string(self, size_t(n)) : argv[0];
    return vextest::RunHelperOrTests(argc, argv);
}
