// setup: the driver package's installer. It lies in each driver folder of the
// package (Files/d/<system letter>/<driver letter>/setup, setup.exe on
// Windows) and takes the command lines the service builds:
//   setup [-n] -i QUEUE DRIVER PORT [-s SHARE] [-a ATTR|ATTR] [-l LOCATION]
//         [-c COMMENT] [-sp SEPARATOR]     create a queue (-n: keep the driver)
//   setup -d DRIVER ENVIRONMENT            install the driver for another system
// The driver must be named in an .inf file of the installer's folder; its
// files (DriverFiles.h) are named by their full paths in that folder.
// Exit codes: 0 done, -6 the model is not supported, 1 a bad command line,
// 2 the spooler refused.
#include "DriverFiles.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/process.h"
#include "platform/spooler.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace platform;
namespace fs = std::filesystem;

namespace {

constexpr int kUnsupportedModel = -6;

struct SCommand {
    bool bKeepDriver = false;
    std::vector<std::string> create; // queue, driver, port
    std::vector<std::string> driver; // driver, environment
    std::map<std::string, std::string> values;
};

int Usage(const std::string& text) {
    std::fprintf(stderr, "setup: %s\n", text.c_str());
    return 1;
}

int SpoolerFailure(const std::string& what) {
    uint32_t err = GetLastError();
    std::fprintf(stderr, "setup: cannot %s: error %u (%s)\n", what.c_str(), err,
                 ErrorText(err).c_str());
    return 2;
}

// Whether an .inf file of the folder names the driver between quotes (UTF-16
// files are read as their ASCII bytes).
bool IsDriverInPackage(const fs::path& folder, const std::string& csDriver) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".inf")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::string data = text.str();
        if (data.size() >= 2 && uint8_t(data[0]) == 0xFF && uint8_t(data[1]) == 0xFE) {
            std::string narrow;
            for (size_t i = 2; i + 1 < data.size(); i += 2)
                narrow += data[i + 1] == 0 ? data[i] : '?';
            data = narrow;
        }
        if (data.find("\"" + csDriver + "\"") != std::string::npos)
            return true;
    }
    return false;
}

// The driver version the package folder is for: its system letter.
uint32_t FolderVersion(const fs::path& folder) {
    std::string letter = folder.parent_path().filename().string();
    return letter == "9" ? 0 : letter == "n" ? 2 : 3;
}

bool InstallDriver(const fs::path& folder, const std::string& csDriver, const char* pEnvironment,
                   uint32_t dwVersion) {
    const std::string base = folder.string() + PathSeparator();
    const std::string driverPath = base + kDriverFile, dataFile = base + kDriverDataFile,
                      configFile = base + kDriverConfigFile;
    DRIVER_INFO_3 info{dwVersion,          csDriver.c_str(), pEnvironment,
                       driverPath.c_str(), dataFile.c_str(), configFile.c_str()};
    return AddPrinterDriver(3, &info);
}

bool ParseAttributes(const std::string& csText, uint32_t* pdwAttributes) {
    *pdwAttributes = 0;
    std::stringstream names(csText);
    for (std::string name; std::getline(names, name, '|');) {
        if (name == "PRINTER_ATTRIBUTE_SHARED")
            *pdwAttributes |= PRINTER_ATTRIBUTE_SHARED;
        else if (name == "PRINTER_ATTRIBUTE_PUBLISHED")
            *pdwAttributes |= PRINTER_ATTRIBUTE_PUBLISHED;
        else
            return false;
    }
    return true;
}

// args: the program, then its arguments.
int ParseCommand(const std::vector<std::string>& args, SCommand* pCommand) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto take = [&](size_t count, std::vector<std::string>* pInto) {
            if (i + count >= args.size())
                return false;
            for (size_t k = 0; k < count; ++k)
                pInto->push_back(args[++i]);
            return true;
        };
        if (option == "-n") {
            pCommand->bKeepDriver = true;
        } else if (option == "-i") {
            if (!pCommand->create.empty() || !take(3, &pCommand->create))
                return Usage("-i takes the queue, driver and port names once");
        } else if (option == "-d") {
            if (!pCommand->driver.empty() || !take(2, &pCommand->driver))
                return Usage("-d takes the driver name and the environment once");
        } else if (option == "-s" || option == "-a" || option == "-l" || option == "-c" ||
                   option == "-sp") {
            std::vector<std::string> value;
            if (pCommand->values.count(option) || !take(1, &value))
                return Usage(option + " takes one value, once");
            pCommand->values[option] = value[0];
        } else {
            return Usage("unknown option '" + option + "'");
        }
    }
    if (pCommand->create.empty() == pCommand->driver.empty())
        return Usage("give either -i QUEUE DRIVER PORT or -d DRIVER ENVIRONMENT");
    return 0;
}

} // namespace

int main() {
    // The service does not quote the installer's path: read as the start read
    // it, a folder with blanks stays the program's.
    std::vector<std::string> args;
    if (!GetProgramCommandLine(&args))
        return Usage("cannot read the command line");
    SCommand command;
    if (int rc = ParseCommand(args, &command))
        return rc;
    std::string self;
    std::error_code ec;
    const fs::path folder = GetModuleFileName(&self) ? fs::canonical(self, ec).parent_path() : "";
    if (folder.empty() || ec)
        return Usage("cannot find the installer's folder");

    if (!command.driver.empty()) {
        const std::string& driver = command.driver[0];
        const std::string& environment = command.driver[1];
        if (!IsDriverInPackage(folder, driver))
            return kUnsupportedModel;
        uint32_t version = environment == "Windows 4.0" ? 0 : FolderVersion(folder);
        if (!InstallDriver(folder, driver, environment.c_str(), version))
            return SpoolerFailure("install the driver '" + driver + "' for " + environment);
        return 0;
    }

    const std::string& queue = command.create[0];
    const std::string& driver = command.create[1];
    const std::string& port = command.create[2];
    if (!IsDriverInPackage(folder, driver))
        return kUnsupportedModel;
    if (!command.bKeepDriver && !InstallDriver(folder, driver, nullptr, FolderVersion(folder)))
        return SpoolerFailure("install the driver '" + driver + "'");
    uint32_t attributes = 0;
    if (!ParseAttributes(command.values["-a"], &attributes))
        return Usage("unknown printer attribute in '" + command.values["-a"] + "'");
    PRINTER_INFO_2 info{queue.c_str(),
                        command.values["-s"].c_str(),
                        port.c_str(),
                        driver.c_str(),
                        command.values["-c"].c_str(),
                        command.values["-l"].c_str(),
                        command.values["-sp"].c_str(),
                        attributes};
    HPRINTER hPrinter = AddPrinter(2, &info);
    if (!hPrinter)
        return SpoolerFailure("create the queue '" + queue + "'");
    ClosePrinter(hPrinter);
    return 0;
}
