// vexsys setup: lays a new system root as the product's installer leaves it.
#include "Command.h"

#include "common/VexData.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/root.h"
#include "platform/service.h"

#include <cstdio>
#include <filesystem>

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

} // namespace

VEXSYS_COMMAND(setup, "setup", "setup [--workdir DIR] [--language N] [--os-version MAJOR.MINOR]") {
    using namespace vexsys;
    std::string workDir = platform::RootPath("work");
    unsigned long long language = 1;
    unsigned long long major = 5, minor = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size())
            return UsageError("option " + option + " needs a value");
        const std::string& value = args[++i];
        if (option == "--workdir") {
            workDir = value;
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
    if (!platform::EnsureSystemRoot())
        return Failure("cannot create the system root " + platform::SystemRoot());
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
        !data.AddNumData(CVexData::kMainKey, "First time", 1))
        return Failure("cannot write the settings into the registry");
    std::string error;
    if (!RegisterSpooler(&error))
        return Failure(error);
    std::printf("System root %s set up: working directory %s, language %llu, system %llu.%llu\n",
                platform::SystemRoot().c_str(), workDir.c_str(), language, major, minor);
    return 0;
}
