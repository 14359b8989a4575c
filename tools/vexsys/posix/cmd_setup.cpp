// vexsys setup: lays a new system root as the product's installer leaves it,
// with its owner, the administrators' group (created when missing) and rights.
#include "Command.h"

#include "common/VexData.h"
#include "platform/access.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/root.h"
#include "platform/service.h"
#include "platform/spooler.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Registers the machine's "Spooler" service, played by vexspoolerd from the
// folder of this program (an existing registration is pointed at it again).
bool RegisterSpooler(std::string* pcsError) {
    using namespace platform;
    std::string self;
    if (!GetModuleFileName(&self)) {
        *pcsError = "cannot find the vexsys program file";
        return false;
    }
    std::string daemon = std::filesystem::path(self).parent_path().string() + PathSeparator() +
                         "vexspoolerd" + ExecutableSuffix();
    if (!std::filesystem::exists(daemon)) {
        *pcsError = "the spooler daemon " + daemon + " is missing";
        return false;
    }
    std::string commandLine = daemon.find(' ') == std::string::npos ? daemon : "\"" + daemon + "\"";
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!hManager) {
        *pcsError = "cannot open the service manager: " + ErrorText(GetLastError());
        return false;
    }
    SC_HANDLE hService = CreateService(hManager, "Spooler", "Print Spooler", SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                       SERVICE_ERROR_NORMAL, commandLine);
    bool ok = hService != nullptr;
    if (!ok && GetLastError() == ERROR_SERVICE_EXISTS) {
        hService = OpenService(hManager, "Spooler", SERVICE_ALL_ACCESS);
        ok = hService && ChangeServiceConfig(hService, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                             SERVICE_NO_CHANGE, commandLine.c_str(), nullptr);
    }
    if (!ok)
        *pcsError = "cannot register the Spooler service: " + ErrorText(GetLastError());
    if (hService)
        CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
    return ok;
}

// Creates the administrators' group when the machine lacks it (only root can).
// A group given by number needs no entry. Returns false with the reason.
bool EnsureAdministratorsGroup(std::string* pcsError) {
    const std::string csGroup = platform::AdministratorsGroupName();
    if (csGroup.find_first_not_of("0123456789") == std::string::npos || ::getgrnam(csGroup.c_str()))
        return true;
    if (::geteuid() != 0) {
        std::fprintf(stderr,
                     "vexsys: the administrators' group '%s' does not exist; only root can create "
                     "it: the root is laid for its owner alone\n",
                     csGroup.c_str());
        return true;
    }
    // No shell: the name goes to groupadd as one argument.
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0)
            ::dup2(null, 1);
        ::execl("/usr/sbin/groupadd", "groupadd", "--system", csGroup.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0 || !::getgrnam(csGroup.c_str())) {
        *pcsError = "cannot create the administrators' group '" + csGroup + "'";
        return false;
    }
    std::printf("Group %s created for the machine's administrators\n", csGroup.c_str());
    return true;
}

// The web browser and the user's Internet settings a workstation of the
// system's kind has, which decide whether updated drivers can be looked for.
bool LayInternetSettings() {
    using namespace platform;
    HKEY hKey = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", &hKey) !=
        ERROR_SUCCESS)
        return false;
    bool bOk = RegSetString(hKey, "Version", "6.0.2900.2180") == ERROR_SUCCESS &&
               RegSetString(hKey, "MkEnabled", "Yes") == ERROR_SUCCESS;
    RegCloseKey(hKey);
    if (!bOk || RegCreateKeyEx(HKEY_CURRENT_USER,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                               &hKey) != ERROR_SUCCESS)
        return false;
    uint32_t dwEnable = 0;
    if (RegQueryDword(hKey, "ProxyEnable", &dwEnable) != ERROR_SUCCESS)
        bOk = RegSetDword(hKey, "ProxyEnable", 0) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bOk;
}

} // namespace

VEXSYS_COMMAND(setup, "setup",
               "setup [--workdir DIR] [--language N] [--os-version MAJOR.MINOR] [--site URL]\n"
               "        [--spooler emulated|cups] [--cups-server SOCKET]") {
    using namespace vexsys;
    std::string workDir = platform::RootPath("work");
    unsigned long long language = 1;
    unsigned long long major = 5, minor = 1;
    std::string site; // the driver download site's root address
    std::string spooler = "emulated", cupsServer;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size())
            return UsageError("option " + option + " needs a value");
        const std::string& value = args[++i];
        if (option == "--workdir") {
            workDir = value;
        } else if (option == "--site") {
            site = value;
        } else if (option == "--spooler") {
            if (value != "emulated" && value != "cups")
                return UsageError("--spooler takes emulated or cups, not '" + value + "'");
            spooler = value;
        } else if (option == "--cups-server") {
            // A scheduler's local socket: the IPP client takes a path as one.
            if (value.empty() || value[0] != '/')
                return UsageError("--cups-server takes the path of a scheduler's socket, not '" +
                                  value + "'");
            cupsServer = value;
        } else if (option == "--language") {
            if (!ParseNumber(value, 15, &language) || language == 0)
                return UsageError("--language takes a number from 1 to 15, not '" + value + "'");
        } else if (option == "--os-version") {
            size_t dot = value.find('.');
            if (dot == std::string::npos || !ParseNumber(value.substr(0, dot), 99, &major) ||
                !ParseNumber(value.substr(dot + 1), 99, &minor))
                return UsageError("--os-version takes MAJOR.MINOR, not '" + value + "'");
        } else {
            return UsageError("unknown option '" + option + "'");
        }
    }
    std::string error;
    if (!EnsureAdministratorsGroup(&error))
        return Failure(error);
    // The root, run/ and system/ with their owner, group and rights; an
    // existing one that breaks the rules is reported, not repaired.
    if (!platform::EnsureSystemRoot())
        return Failure("cannot lay the system root " + platform::SystemRoot() + ": " +
                       platform::ErrorText(platform::GetLastError()) +
                       " (a folder of it is a link, belongs to another user or is open to "
                       "others than the administrators)");
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(workDir, ec);
    if (ec)
        return Failure("bad working directory '" + workDir + "'");
    workDir = absolute.lexically_normal().string();
    if (workDir.empty() || workDir.back() != platform::PathSeparator())
        workDir += platform::PathSeparator();
    std::filesystem::create_directories(workDir, ec);
    if (ec)
        return Failure("cannot create the working directory " + workDir + ": " + ec.message());
    if (!platform::SetEmulatedVersion(uint32_t(major), uint32_t(minor)))
        return Failure("cannot write the emulated system version");

    CVexData data;
    if (!data.AddStringData(CVexData::kMainKey, "Working directory", workDir) ||
        !data.AddNumData(CVexData::kMainKey, "Language", uint32_t(language)) ||
        !data.AddNumData(CVexData::kMainKey, "First time", 1) ||
        (!site.empty() && !data.AddStringData(CVexData::kMainKey, "Driver download site", site)) ||
        !LayInternetSettings())
        return Failure("cannot write the settings into the registry");
    if (!RegisterSpooler(&error))
        return Failure(error);
    if (!cupsServer.empty() && spooler != "cups")
        return UsageError("--cups-server needs --spooler cups");
    bool bCups = spooler == "cups";
    if (!platform::SetSpoolerBackEnd(bCups ? platform::SpoolerBackEnd::Cups
                                           : platform::SpoolerBackEnd::Emulated,
                                     cupsServer))
        return Failure("cannot write the spooler's back end into the registry");
    if (bCups && cupsServer.empty() && !platform::LayPrivateScheduler())
        return Failure("cannot lay the root's CUPS scheduler: " +
                       platform::ErrorText(platform::GetLastError()));
    std::printf("System root %s set up: working directory %s, language %llu, system %llu.%llu, "
                "spooler %s\n",
                platform::SystemRoot().c_str(), workDir.c_str(), language, major, minor,
                !bCups               ? "emulated"
                : cupsServer.empty() ? "cups (private scheduler)"
                                     : ("cups at " + cupsServer).c_str());
    return 0;
}
