// The whole system on a machine of the test's own: the calling thread enters a
// private network namespace (loopback only), the machine is laid with the
// sample driver package and its Spooler running there, vexsrv is installed
// and started through the service manager when the test asks, and
// printer-sim plays printers on 127.0.0.x. For tests of the GUI (or any
// client) against the real service and real discovery.
#pragma once

#include "CreationMachine.h"
#include "common/Printer.h"
#include "platform/process.h"

#include <memory>
#include <string>
#include <vector>

namespace vextest {

class CLiveService {
public:
    static constexpr const char* kServiceName = "ZANTOR_AMBREL";

    // iOpMode: the service's operation mode (eMode); iDelayPercent: the
    // system's fixed delays, inherited by the service (10: discovery windows
    // of 500 ms). The service's trace is on (errors, warnings, information).
    explicit CLiveService(int iOpMode, int iDelayPercent = 10);
    ~CLiveService();
    CLiveService(const CLiveService&) = delete;
    CLiveService& operator=(const CLiveService&) = delete;

    // False, with Error() telling why, when the namespace or the machine
    // could not be made: the test must stop then.
    bool Ready() const { return m_csError.empty(); }
    const std::string& Error() const { return m_csError; }
    TempRoot& Root() { return m_pMachine->Root(); }

    // Installs vexsrv as the service (without starting it).
    bool Install();
    // Installs it if needed, starts it and waits until it listens for
    // announcements, offers its command pipe and has restarted the spooler,
    // as it does at every start.
    bool Start();
    // Waits until a service started by someone else is that far.
    bool WaitUntilListening();
    bool Stop();
    unsigned State() const;

    // Plays printers: printer-sim with the options of its command line, on
    // an HTTP and a print port of their own unless given; returns once its
    // sockets are ready. The port monitor reaches a printer on print port
    // 9100: printers to be created need "--print-port 9100", which one
    // simulator at a time may have.
    bool StartPrinters(std::vector<std::string> args);

    std::string KplPath();
    // The list file as it is now.
    std::vector<CPrinter> Listed();
    // The listed printer of the UUID; an empty record when it is not listed.
    CPrinter ListedUuid(const std::string& csUUID);
    bool ServiceTraceHas(const std::string& csText);
    // The service's error and warning lines, for a failure's message.
    std::string Complaints();

private:
    std::string m_csError;
    std::unique_ptr<CCreationMachine> m_pMachine;
    std::vector<std::unique_ptr<platform::Process>> m_sims;
};

} // namespace vextest
