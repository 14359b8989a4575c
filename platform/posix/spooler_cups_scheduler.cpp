// The spooler's back end setting of a system root, and the root's private CUPS
// scheduler: a cupsd of its own under "cups/" in the root (configuration,
// spool, cache, state and logs, listening on cups/cups.sock only), so a root
// on CUPS touches nothing of the machine's own print system.
#include "internal/cups_client.h"
#include "internal/root_access.h"
#include "internal/unique_fd.h"
#include "platform/access.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/root.h"
#include "platform/spooler.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

const char* const kPrintKey = "System\\CurrentControlSet\\Control\\Print";
const char* const kBackEndValue = "Spooler back end";
const char* const kServerValue = "CUPS server";
const char* const kCupsDaemon = "/usr/sbin/cupsd";
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);

std::mutex g_schedulerLock;
pid_t g_schedulerPid = -1;

std::string ReadPrintSetting(const char* pszValue) {
    std::string value;
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kPrintKey, &hKey) == ERROR_SUCCESS) {
        RegQueryString(hKey, pszValue, &value);
        RegCloseKey(hKey);
    }
    return value;
}

std::string SchedulerFolder() {
    return RootPath("cups");
}

// Writes one file of the scheduler's folder, replacing an older one.
bool WriteSchedulerFile(int dirFd, const char* pszName, const std::string& csText) {
    const posix::CUniqueFd fd(
        posix::OpenFileIn(dirFd, pszName, O_WRONLY | O_CREAT | O_TRUNC, 0640));
    if (!fd.Valid())
        return false;
    return ::write(fd.Get(), csText.data(), csText.size()) == ssize_t(csText.size()) || FailErrno();
}

// cupsd itself sets the rights of the folders it uses, so they are only made
// here, never checked.
bool MakeSubfolder(int dirFd, const char* pszName) {
    return ::mkdirat(dirFd, pszName, posix::RootMode(0770)) == 0 || errno == EEXIST || FailErrno();
}

std::string FilesConf(const std::string& csDir) {
    // Filters and back ends run as lp in the administrators' group, so that
    // they reach the spool files through the root's folders; cupsd refuses that
    // group as its SystemGroup, which the open policy does not need.
    return "ServerRoot " + csDir + "\nRequestRoot " + csDir + "/spool\nTempDir " + csDir +
           "/spool/tmp\nCacheDir " + csDir + "/cache\nStateDir " + csDir + "/state\nErrorLog " +
           csDir + "/log/error_log\nAccessLog " + csDir + "/log/access_log\nPageLog " + csDir +
           "/log/page_log\nPrintcap " + csDir + "/printcap\nFileDevice No\nUser lp\nGroup " +
           AdministratorsGroupName() + "\nSystemGroup root\n";
}

std::string DaemonConf(const std::string& csDir) {
    return "Listen " + csDir +
           "/cups.sock\nBrowsing No\nWebInterface No\nDirtyCleanInterval 0\nLogLevel warn\n"
           // A printer that is away fails its job instead of stopping the queue.
           "ErrorPolicy abort-job\n"
           "<Policy default>\n<Limit All>\nOrder allow,deny\nAllow all\n</Limit>\n</Policy>\n";
}

bool WaitForExit(pid_t pid, std::chrono::steady_clock::duration limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t rc = ::waitpid(pid, &status, WNOHANG);
        if (rc == pid || (rc < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

bool SetSpoolerBackEnd(SpoolerBackEnd eBackEnd, const std::string& csCupsServer) {
    HKEY hKey = nullptr;
    uint32_t rc = RegCreateKeyEx(HKEY_LOCAL_MACHINE, kPrintKey, &hKey);
    if (rc != ERROR_SUCCESS)
        return Fail(rc);
    rc = RegSetString(hKey, kBackEndValue, eBackEnd == SpoolerBackEnd::Cups ? "cups" : "emulated");
    if (rc == ERROR_SUCCESS)
        rc = RegSetString(hKey, kServerValue, csCupsServer);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS || Fail(rc);
}

SpoolerBackEnd GetSpoolerBackEnd() {
    return ReadPrintSetting(kBackEndValue) == "cups" ? SpoolerBackEnd::Cups
                                                     : SpoolerBackEnd::Emulated;
}

std::string CupsServer() {
    std::string server = ReadPrintSetting(kServerValue);
    return server.empty() ? SchedulerFolder() + "/cups.sock" : server;
}

bool IsCupsSchedulerShared() {
    return GetSpoolerBackEnd() == SpoolerBackEnd::Cups && !ReadPrintSetting(kServerValue).empty();
}

bool LayPrivateScheduler() {
    posix::CUniqueFd folder;
    {
        const posix::CUniqueFd rootFd(posix::OpenRootFolder(""));
        if (!rootFd.Valid())
            return false;
        // 0755: cupsd opens its server root to all (the root above stays closed).
        folder.Reset(posix::OpenCheckedFolder(rootFd.Get(), "cups", 0755, uid_t(-1), true));
    }
    if (!folder.Valid())
        return false;
    const int dirFd = folder.Get();
    const std::string dir = SchedulerFolder();
    bool ok = MakeSubfolder(dirFd, "spool") && MakeSubfolder(dirFd, "spool/tmp") &&
              MakeSubfolder(dirFd, "cache") && MakeSubfolder(dirFd, "state") &&
              MakeSubfolder(dirFd, "log") &&
              WriteSchedulerFile(dirFd, "cups-files.conf", FilesConf(dir)) &&
              WriteSchedulerFile(dirFd, "cupsd.conf", DaemonConf(dir)) &&
              // No community: the socket back end asks no SNMP questions,
              // which would hold every job for seconds.
              WriteSchedulerFile(dirFd, "snmp.conf", "Community\n");
    return ok;
}

bool StartPrivateScheduler() {
    if (GetSpoolerBackEnd() != SpoolerBackEnd::Cups || IsCupsSchedulerShared())
        return true;
    std::lock_guard lock(g_schedulerLock);
    if (g_schedulerPid > 0)
        return true;
    if (::access(kCupsDaemon, X_OK) != 0)
        return Fail(ERROR_FILE_NOT_FOUND);
    const std::string dir = SchedulerFolder();
    const std::string conf = dir + "/cupsd.conf", files = dir + "/cups-files.conf",
                      out = dir + "/log/cupsd.out";
    pid_t pid = ::fork();
    if (pid < 0)
        return FailErrno();
    if (pid == 0) {
        // The scheduler ends with the spooler that started it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0640);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        ::execl(kCupsDaemon, "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr);
        ::_exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (!posix::cups::SchedulerAnswers()) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return Fail(ERROR_SERVICE_SPECIFIC_ERROR); // cupsd refused its configuration
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            WaitForExit(pid, kStopLimit);
            return Fail(ERROR_SERVICE_REQUEST_TIMEOUT);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    g_schedulerPid = pid;
    return true;
}

void StopPrivateScheduler() {
    std::lock_guard lock(g_schedulerLock);
    if (g_schedulerPid <= 0)
        return;
    ::kill(g_schedulerPid, SIGTERM);
    if (!WaitForExit(g_schedulerPid, kStopLimit)) {
        ::kill(g_schedulerPid, SIGKILL);
        WaitForExit(g_schedulerPid, kStopLimit);
    }
    g_schedulerPid = -1;
}

} // namespace platform
