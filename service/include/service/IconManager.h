// CIconManager: turns one printer into a print queue (an "icon"): checks and
// repairs the request, asks the port monitor for a port, runs the driver
// package's installer with a command line that creates the queue, and
// optionally installs the driver for older systems. One result code and a set
// of warning bits tell the outcome.
//
// Every creation on the machine runs under the named mutex "VexIconMutex".
// The installer may run for at most kInstallerTimeoutMs (5 minutes) and the
// port monitor's call for CPortManager::kCallTimeoutMs (30 s), both shortened
// in tests by VEX_DELAY_PERCENT (to no less than 15 s, what an installer may
// need on a loaded machine); past the limit the installer is ended and the
// step fails, so one hung installer or printer cannot stop every later creation.
#pragma once

#include "common/IconInfo.h"
#include "common/VexData.h"

#include <cstdint>
#include <string>

class CIconManager {
public:
    static const char* const kMutexName; // "VexIconMutex"
    static constexpr uint32_t kInstallerTimeoutMs = 5 * 60 * 1000;
    static constexpr uint32_t kMinInstallerTimeoutMs = 15000;

    CIconManager();
    ~CIconManager() = default;

    // Restarts the spooler with its dependants (up to iAttempts times, until
    // one succeeds) under "VexIconMutex": the spooler never goes down under a
    // queue being created, and a creation asked for meanwhile waits for the
    // spooler to be back. True when a restart succeeded.
    static bool RestartSpoolerBetweenCreations(int iAttempts);

    uint32_t Add(SIconInfo request, SIconInfo* pActual, uint32_t* puiWarnings);
    uint32_t AddWithDefaults(const std::string& csUUID, const std::string& csPortAddress,
                             const std::string& csPrinterModel, const std::string& csIpAddr,
                             SIconInfo* pActual, uint32_t* puiWarnings);

    // The steps of Add, on m_Actual.
    uint32_t VerifyIconInfo();
    uint32_t CreatePort();
    std::string BuildCommandLine(const std::string& csDriverPath);
    uint32_t CallDriverInstaller(const std::string& csCommandLine, const std::string& csDirectory);
    bool InstallAddlDrivers(const std::string& csPrinterModel);
    bool InstallAddlDriver(eOs os);
    std::string BuildInstallAddlDriverCommandLine(const std::string& csDriverPath, eOs os);
    bool ShouldInstallDriver(eOs os, int32_t eUseExisting);
    bool IsDriverInstalled(eOs os);
    void GetAPIDriverParms(eOs os, uint32_t* pdwVersion, std::string* pcsEnvironment);

    // For the steps when they are called on their own (tests, tools).
    void SetRequest(const SIconInfo& request) { m_Requested = m_Actual = request; }
    const SIconInfo& Actual() const { return m_Actual; }
    uint32_t Warnings() const { return m_uiWarnings; }

private:
    // The process id of a running GUI, whose user runs the installer; 0: none.
    uint32_t GetGuiUserProcess();

    eOs m_eOs;
    SIconInfo m_Requested;
    SIconInfo m_Actual;
    uint32_t m_uiWarnings = 0;
};
