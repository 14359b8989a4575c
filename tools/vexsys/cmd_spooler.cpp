// vexsys printer|port|driver|monitor: lists and changes what the machine's
// spooler holds, and sets the default printer.
#include "Command.h"
#include "SpoolerRead.h"

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <strings.h>
#include <vector>

using namespace platform;

namespace {

int SpoolerError(const std::string& what) {
    uint32_t rc = GetLastError();
    return vexsys::Failure(what + ": error " + std::to_string(rc) + " (" + ErrorText(rc) + ")");
}

// Splits "NAME --option value --flag ..." into positional words and options.
// Options in withValue take the next word.
bool ParseOptions(const vexsys::Args& args, size_t first, const std::vector<std::string>& withValue,
                  const std::vector<std::string>& flags, std::vector<std::string>* pWords,
                  std::map<std::string, std::string>* pOptions, std::string* pcsError) {
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.rfind("--", 0) != 0) {
            pWords->push_back(word);
            continue;
        }
        bool bValue = false, bKnown = false;
        for (const std::string& option : withValue)
            bValue = bValue || option == word;
        for (const std::string& flag : flags)
            bKnown = bKnown || flag == word;
        if (!bValue && !bKnown) {
            *pcsError = "unknown option '" + word + "'";
            return false;
        }
        if (bValue && i + 1 >= args.size()) {
            *pcsError = "option " + word + " needs a value";
            return false;
        }
        (*pOptions)[word] = bValue ? args[++i] : "1";
    }
    return true;
}

// The local printers and the ports, read whole; the records point into
// *pStorage.
bool ReadPrinters(std::vector<uint64_t>* pStorage, std::vector<PRINTER_INFO_2>* pPrinters) {
    return vexsys::ReadAll<PRINTER_INFO_2>(
        [](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
            return EnumPrinters(PRINTER_ENUM_LOCAL, 2, p, cb, n, r);
        },
        pStorage, pPrinters);
}
bool ReadPorts(std::vector<uint64_t>* pStorage, std::vector<PORT_INFO_2>* pPorts) {
    return vexsys::ReadAll<PORT_INFO_2>(
        [](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) { return EnumPorts(2, p, cb, n, r); },
        pStorage, pPorts);
}

std::string DefaultPrinter() {
    std::string device;
    GetProfileString("windows", "device", ",,,", &device, 256);
    return device.substr(0, device.find(','));
}

int PrinterList() {
    std::vector<uint64_t> storage;
    std::vector<PRINTER_INFO_2> printers;
    if (!ReadPrinters(&storage, &printers))
        return SpoolerError("cannot list the printers");
    std::string csDefault = DefaultPrinter();
    for (const PRINTER_INFO_2& p : printers) {
        std::printf("%s%s\tport=%s\tdriver=%s\tshare=%s\tattributes=0x%04x%s%s\tcomment=%s\t"
                    "location=%s\tseparator=%s\n",
                    p.pPrinterName, csDefault == p.pPrinterName ? " (default)" : "", p.pPortName,
                    p.pDriverName, p.pShareName, p.Attributes,
                    (p.Attributes & PRINTER_ATTRIBUTE_SHARED) ? " shared" : "",
                    (p.Attributes & PRINTER_ATTRIBUTE_PUBLISHED) ? " published" : "", p.pComment,
                    p.pLocation, p.pSepFile);
    }
    return 0;
}

int PrinterAdd(const vexsys::Args& args) {
    std::vector<std::string> words;
    std::map<std::string, std::string> options;
    std::string error;
    if (!ParseOptions(args, 1,
                      {"--port", "--driver", "--share", "--comment", "--location", "--separator"},
                      {"--shared", "--published"}, &words, &options, &error))
        return vexsys::UsageError(error);
    if (words.size() != 1 || !options.count("--port") || !options.count("--driver"))
        return vexsys::UsageError("printer add NAME --port PORT --driver DRIVER [options]");
    uint32_t attributes = 0;
    if (options.count("--shared"))
        attributes |= PRINTER_ATTRIBUTE_SHARED;
    if (options.count("--published"))
        attributes |= PRINTER_ATTRIBUTE_PUBLISHED;
    PRINTER_INFO_2 info{words[0].c_str(),
                        options["--share"].c_str(),
                        options["--port"].c_str(),
                        options["--driver"].c_str(),
                        options["--comment"].c_str(),
                        options["--location"].c_str(),
                        options["--separator"].c_str(),
                        attributes};
    HPRINTER hPrinter = AddPrinter(2, &info);
    if (!hPrinter)
        return SpoolerError("cannot add the printer '" + words[0] + "'");
    ClosePrinter(hPrinter);
    std::printf("Printer '%s' added.\n", words[0].c_str());
    return 0;
}

// Opens a printer for all access.
bool OpenForAll(const std::string& csName, HPRINTER* phPrinter) {
    PRINTER_DEFAULTS all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    return OpenPrinter(csName, phPrinter, &all);
}

int PrinterDelete(const std::string& csName) {
    HPRINTER hPrinter = nullptr;
    if (!OpenForAll(csName, &hPrinter))
        return SpoolerError("cannot open the printer '" + csName + "'");
    bool bOk = DeletePrinter(hPrinter);
    uint32_t rc = GetLastError();
    ClosePrinter(hPrinter);
    SetLastError(rc);
    if (!bOk)
        return SpoolerError("cannot delete the printer '" + csName + "'");
    std::printf("Printer '%s' deleted.\n", csName.c_str());
    return 0;
}

// Makes a printer the default as the system's printer folder does: the
// profile entry holds its name, driver and port.
int PrinterDefault(const vexsys::Args& args) {
    if (args.size() == 1) {
        std::string csDefault = DefaultPrinter();
        std::printf("%s\n", csDefault.empty() ? "(no default printer)" : csDefault.c_str());
        return 0;
    }
    HPRINTER hPrinter = nullptr;
    if (!OpenForAll(args[1], &hPrinter))
        return SpoolerError("cannot open the printer '" + args[1] + "'");
    std::vector<uint64_t> storage(64);
    uint32_t needed = 0;
    bool bOk = GetPrinter(hPrinter, 2, reinterpret_cast<uint8_t*>(storage.data()),
                          uint32_t(storage.size() * 8), &needed);
    if (!bOk && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        storage.assign(needed / 8 + 1, 0);
        bOk = GetPrinter(hPrinter, 2, reinterpret_cast<uint8_t*>(storage.data()), needed, &needed);
    }
    uint32_t rc = GetLastError();
    ClosePrinter(hPrinter);
    SetLastError(rc);
    if (!bOk)
        return SpoolerError("cannot read the printer '" + args[1] + "'");
    auto* info = reinterpret_cast<const PRINTER_INFO_2*>(storage.data());
    std::string device =
        std::string(info->pPrinterName) + "," + info->pDriverName + "," + info->pPortName;
    if (!WriteProfileString("windows", "device", device.c_str()))
        return SpoolerError("cannot write the default printer");
    std::printf("Default printer: %s\n", info->pPrinterName);
    return 0;
}

// The jobs of one printer, or of every printer when csName is empty.
int JobList(const std::string& csName) {
    std::vector<std::string> names;
    if (!csName.empty()) {
        names.push_back(csName);
    } else {
        std::vector<uint64_t> storage;
        std::vector<PRINTER_INFO_2> printers;
        if (!ReadPrinters(&storage, &printers))
            return SpoolerError("cannot list the printers");
        for (const PRINTER_INFO_2& p : printers)
            names.push_back(p.pPrinterName);
    }
    for (const std::string& name : names) {
        HPRINTER hPrinter = nullptr;
        if (!OpenPrinter(name, &hPrinter, nullptr))
            return SpoolerError("cannot open the printer '" + name + "'");
        std::vector<uint64_t> storage;
        std::vector<JOB_INFO_1> jobs;
        const bool bOk = vexsys::ReadAll<JOB_INFO_1>(
            [hPrinter](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
                return EnumJobs(hPrinter, 0, UINT32_MAX, 1, p, cb, n, r);
            },
            &storage, &jobs);
        const uint32_t rc = GetLastError();
        ClosePrinter(hPrinter);
        SetLastError(rc);
        if (!bOk)
            return SpoolerError("cannot list the jobs of '" + name + "'");
        for (const JOB_INFO_1& j : jobs) {
            char submitted[32] = "";
            std::tm utc{};
            if (ToUniversalTime(j.Submitted, &utc))
                std::strftime(submitted, sizeof submitted, "%Y-%m-%d %H:%M:%S UTC", &utc);
            std::printf("%u\tprinter=%s\tdocument=%s\tuser=%s\tsize=%u\tsubmitted=%s\t%s\n",
                        j.JobId, j.pPrinterName, j.pDocument, j.pUserName, j.Size, submitted,
                        (j.Status & JOB_STATUS_PRINTED) ? "printed" : "spooling");
        }
    }
    return 0;
}

int PortList() {
    std::vector<uint64_t> storage;
    std::vector<PORT_INFO_2> ports;
    if (!ReadPorts(&storage, &ports))
        return SpoolerError("cannot list the ports");
    for (const PORT_INFO_2& p : ports)
        std::printf("%s\tmonitor=%s\tdescription=%s\n", p.pPortName, p.pMonitorName,
                    p.pDescription);
    return 0;
}

// The printer address a port of the "Zantor TCP/IP Network Port" monitor (or
// of any monitor that keeps it the same way) records in "configInfo", bytes
// 532..535.
int PortAddress(const std::string& csPort) {
    std::vector<uint64_t> storage;
    std::vector<PORT_INFO_2> ports;
    if (!ReadPorts(&storage, &ports))
        return SpoolerError("cannot list the ports");
    for (const PORT_INFO_2& p : ports) {
        if (strcasecmp(p.pPortName, csPort.c_str()) != 0)
            continue;
        HKEY hKey;
        std::string key = std::string("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\") +
                          p.pMonitorName + "\\Ports\\" + p.pPortName;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, &hKey) != ERROR_SUCCESS)
            return vexsys::Failure("the port '" + csPort + "' records no printer address");
        uint8_t info[1024];
        uint32_t type = 0, size = sizeof info;
        uint32_t rc = RegQueryValueEx(hKey, "configInfo", &type, info, &size);
        RegCloseKey(hKey);
        if (rc != ERROR_SUCCESS || size < 536)
            return vexsys::Failure("the port '" + csPort + "' records no printer address");
        std::printf("%s\taddress=%u.%u.%u.%u\n", p.pPortName, info[532], info[533], info[534],
                    info[535]);
        return 0;
    }
    return vexsys::Failure("no port '" + csPort + "'");
}

int MonitorList() {
    std::vector<uint64_t> storage;
    std::vector<MONITOR_INFO_2> monitors;
    if (!vexsys::ReadAll<MONITOR_INFO_2>([](uint8_t* p, uint32_t cb, uint32_t* n,
                                            uint32_t* r) { return EnumMonitors(2, p, cb, n, r); },
                                         &storage, &monitors))
        return SpoolerError("cannot list the monitors");
    for (const MONITOR_INFO_2& m : monitors)
        std::printf("%s\tenvironment=%s\tdll=%s\n", m.pName, m.pEnvironment, m.pDLLName);
    return 0;
}

int DriverList(const char* pEnvironment) {
    std::vector<uint64_t> storage;
    std::vector<DRIVER_INFO_3> drivers;
    if (!vexsys::ReadAll<DRIVER_INFO_3>(
            [pEnvironment](uint8_t* p, uint32_t cb, uint32_t* n, uint32_t* r) {
                return EnumPrinterDrivers(pEnvironment, 3, p, cb, n, r);
            },
            &storage, &drivers))
        return SpoolerError("cannot list the drivers");
    for (const DRIVER_INFO_3& d : drivers)
        std::printf("%s\tenvironment=%s\tversion=%u\n", d.pName, d.pEnvironment, d.cVersion);
    return 0;
}

int Done(bool bOk, const std::string& csWhat) {
    if (!bOk)
        return SpoolerError("cannot " + csWhat);
    std::printf("Done: %s.\n", csWhat.c_str());
    return 0;
}

} // namespace

VEXSYS_COMMAND(printer, "printer",
               "printer list\n"
               "printer add NAME --port PORT --driver DRIVER [--share SHARE] [--shared] "
               "[--published]\n"
               "            [--comment TEXT] [--location TEXT] [--separator FILE]\n"
               "printer delete NAME\n"
               "printer default [NAME]   (shows or sets the default printer)\n"
               "printer jobs [NAME]      (the print jobs of one printer or of all)") {
    using namespace vexsys;
    const std::string verb = args.empty() ? "" : args[0];
    if (verb == "list" && args.size() == 1)
        return PrinterList();
    if (verb == "add")
        return PrinterAdd(args);
    if (verb == "delete" && args.size() == 2)
        return PrinterDelete(args[1]);
    if (verb == "default" && args.size() <= 2)
        return PrinterDefault(args);
    if (verb == "jobs" && args.size() <= 2)
        return JobList(args.size() == 2 ? args[1] : "");
    return UsageError("printer list|add|delete|default|jobs (see vexsys help)");
}

VEXSYS_COMMAND(port, "port",
               "port list\n"
               "port add NAME MONITOR [--description TEXT]\n"
               "port delete NAME\n"
               "port address NAME") {
    using namespace vexsys;
    const std::string verb = args.empty() ? "" : args[0];
    if (verb == "list" && args.size() == 1)
        return PortList();
    if (verb == "add") {
        std::vector<std::string> words;
        std::map<std::string, std::string> options;
        std::string error;
        if (!ParseOptions(args, 1, {"--description"}, {}, &words, &options, &error))
            return UsageError(error);
        if (words.size() != 2)
            return UsageError("port add NAME MONITOR [--description TEXT]");
        PORT_INFO_2 port{words[0].c_str(), nullptr, options["--description"].c_str(),
                         PORT_TYPE_WRITE};
        return Done(AddPortEx(2, &port, words[1]), "add the port '" + words[0] + "'");
    }
    if (verb == "delete" && args.size() == 2)
        return Done(DeletePort(args[1]), "delete the port '" + args[1] + "'");
    if (verb == "address" && args.size() == 2)
        return PortAddress(args[1]);
    return UsageError("port list|add|delete|address (see vexsys help)");
}

VEXSYS_COMMAND(driver, "driver",
               "driver list [ENVIRONMENT|all]   (default: this machine's environment)\n"
               "driver add NAME [--environment ENV] [--version N] [--path FILE]\n"
               "driver delete NAME [--environment ENV]") {
    using namespace vexsys;
    const std::string verb = args.empty() ? "" : args[0];
    if (verb == "list" && args.size() <= 2)
        return DriverList(args.size() == 2 ? args[1].c_str() : nullptr);
    std::vector<std::string> words;
    std::map<std::string, std::string> options;
    std::string error;
    if (verb == "add") {
        if (!ParseOptions(args, 1, {"--environment", "--version", "--path"}, {}, &words, &options,
                          &error))
            return UsageError(error);
        unsigned long long version = 3;
        if (options.count("--version") && !ParseNumber(options["--version"], 3, &version))
            return UsageError("--version takes 0, 1, 2 or 3");
        if (words.size() != 1)
            return UsageError("driver add NAME [--environment ENV] [--version N] [--path FILE]");
        DRIVER_INFO_3 driver{uint32_t(version),
                             words[0].c_str(),
                             options.count("--environment") ? options["--environment"].c_str()
                                                            : nullptr,
                             options["--path"].c_str(),
                             "",
                             ""};
        return Done(AddPrinterDriver(3, &driver), "add the driver '" + words[0] + "'");
    }
    if (verb == "delete") {
        if (!ParseOptions(args, 1, {"--environment"}, {}, &words, &options, &error))
            return UsageError(error);
        if (words.size() != 1)
            return UsageError("driver delete NAME [--environment ENV]");
        const char* environment =
            options.count("--environment") ? options["--environment"].c_str() : nullptr;
        return Done(DeletePrinterDriver(environment, words[0]),
                    "delete the driver '" + words[0] + "'");
    }
    return UsageError("driver list|add|delete (see vexsys help)");
}

VEXSYS_COMMAND(monitor, "monitor",
               "monitor list\n"
               "monitor add NAME DLL   (the DLL must lie in the system directory)\n"
               "monitor delete NAME") {
    using namespace vexsys;
    const std::string verb = args.empty() ? "" : args[0];
    if (verb == "list" && args.size() == 1)
        return MonitorList();
    if (verb == "add" && args.size() == 3) {
        MONITOR_INFO_2 monitor{args[1].c_str(), nullptr, args[2].c_str()};
        return Done(AddMonitor(2, &monitor), "add the monitor '" + args[1] + "'");
    }
    if (verb == "delete" && args.size() == 2)
        return Done(DeleteMonitor(nullptr, args[1]), "delete the monitor '" + args[1] + "'");
    return UsageError("monitor list|add|delete (see vexsys help)");
}
