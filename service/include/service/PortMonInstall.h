// CPortMonInstall: makes sure the package's port monitor, "Zantor TCP/IP
// Network Port" ("zantornpmon.dll"), is copied into the system directory,
// registered with the spooler and current. The service's main thread runs
// InstallIfNecessary at the first start after an installation; the port
// monitor client checks and installs before each binding.
//
// The service has no desktop: a failure message goes to the system log
// (syslog, LOG_ERR) and the trace instead of a message box.
#pragma once

#include <cstdint>
#include <string>

class CPortMonInstall {
public:
    static const char* const kMonitorDll; // "zantornpmon.dll"

    CPortMonInstall();
    ~CPortMonInstall() = default;

    bool InstallIfNecessary();
    // Whether a monitor whose DLL is "zantornpmon.dll" is registered, under any
    // name (which then becomes m_csMonitorName).
    bool IsPortMonInstalled();
    // Copies the monitor files and registers the monitor.
    bool InstallPortMonitor();
    // Copies the package folder's files (but "monitor.inf") into the system
    // directory, each tried four times 500 ms apart; targets end writable.
    bool CopyPMFiles();
    // Whether the package's monitor is newer than the one in the system directory.
    bool NeedToReinstall();
    // The product version of csDir + "zantornpmon.dll".
    bool GetPMVersionNum(const std::string& csDir, int32_t aiVersion[4]);
    // Stops the spooler with its dependants, copies the files, starts them again.
    bool ReinstallPortMonitor();
    // Message ids of the service's string table: 1..7.
    void ShowFailureMessage(uint32_t uiTitleRc, uint32_t uiMessageRc);

    const std::string& MonitorName() const { return m_csMonitorName; }

    // The texts of the service's string table (empty for an unknown id).
    static std::string LoadServiceString(uint32_t uiId);

private:
    std::string m_csMonitorName;
    std::string m_csPortMonPath;
    std::string m_csSystemDir;
};
