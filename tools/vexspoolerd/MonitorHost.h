// The port monitors that the spooler hosts: each registered monitor's file in
// the system directory runs as a program for as long as the spooler runs
// ("FILE --host NAME"), and says "ready" on its standard output once it
// answers. A running program's file cannot be overwritten, which is what
// makes a monitor file busy while the spooler runs.
#pragma once

#include "platform/process.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CMonitorHost {
public:
    // Starts the registered monitors that do not run (again, after a crash)
    // and stops those no longer registered.
    void Sync();
    void StopAll();

private:
    struct SHosted {
        std::string csName;
        std::string csDLLName;
        std::unique_ptr<platform::Process> process;
    };
    bool Start(SHosted* pHosted);

    std::mutex m_lock;
    std::vector<SHosted> m_hosted;
};
