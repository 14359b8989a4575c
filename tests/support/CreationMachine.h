// A machine ready to create printers: a private system root with the sample
// driver package (its installer and port monitor), the Spooler service
// running (hosting the monitor), and printers played on port 9100 of
// loopback addresses that no other test process uses.
#pragma once

#include "TestSupport.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace vextest {

// A loopback address of this process's own: 127.<pid bits>.<n>.
std::string LoopbackAddress(int n);

// A queue as the spooler holds it.
struct SQueueRecord {
    std::string csName, csShare, csPort, csDriver, csComment, csLocation, csSepFile;
    uint32_t dwAttributes = 0;
};
// False when the spooler has no queue of that name.
bool ReadQueue(const std::string& csName, SQueueRecord* pQueue);

// A printer's print port: accepts on ADDRESS:9100 and answers the monitor's
// PJL questions with its model and, when bReadOnly, a read-only community.
class CFakePrinter {
public:
    CFakePrinter(const std::string& csAddress, const std::string& csModel, bool bReadOnly = false);
    ~CFakePrinter();
    CFakePrinter(const CFakePrinter&) = delete;
    CFakePrinter& operator=(const CFakePrinter&) = delete;

    bool Listening() const { return m_fd >= 0; }
    const std::string& Address() const { return m_csAddress; }

private:
    void Serve();

    std::string m_csAddress, m_csModel;
    bool m_bReadOnly;
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
};

// Whether a private CUPS scheduler can run here; the reason when it cannot.
bool CupsSchedulerCanRun(std::string* pcsWhy);

class CCreationMachine {
public:
    enum class ESpooler { Emulated, Cups };
    // Lays the package (samplepkg with extra arguments) and starts the spooler.
    // On CUPS the root gets its private scheduler, started with the spooler,
    // and CUPS's client programs (lp, lpstat, lpadmin) are pointed at it.
    explicit CCreationMachine(const std::vector<std::string>& packageArgs = {},
                              ESpooler eSpooler = ESpooler::Emulated);
    ~CCreationMachine();

    TempRoot& Root() { return m_root; }
    bool Ready() const { return m_bReady; }
    // Lays the package again (a new package version, say).
    bool LayPackage(const std::vector<std::string>& packageArgs);

private:
    TempRoot m_root;
    std::string m_previousDelay;
    bool m_bHadDelay = false;
    bool m_bReady = false;
    std::vector<std::pair<std::string, std::string>> m_savedEnvironment; // name, value
    std::vector<std::string> m_unsetEnvironment;
};

} // namespace vextest
