// CIconManager: print queue creation.
#include "service/IconManager.h"

#include "common/DataValidation.h"
#include "common/Spooler.h"
#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/process.h"
#include "platform/spooler.h"
#include "platform/sync.h"
#include "service/PortManager.h"

#include <algorithm>
#include <cstdlib>
#include <strings.h>

namespace {

// The driver installer's call is a step of the port's creation.
constexpr CTraceName kTraceAsCreatePort("CIconManager::CreatePort");

} // namespace

using namespace platform;

const char* const CIconManager::kMutexName = "VexIconMutex";

namespace {

// Models that get a Windows NT 4.0 additional driver.
const char* const kNtDriverModels[] = {"Zantor Pressa A", "Zantor Pressa B"};

constexpr int32_t kInstallerUnsupportedModel = -6;

std::string InstallerName() {
    return std::string("setup") + ExecutableSuffix();
}

} // namespace

CIconManager::CIconManager() : m_eOs(CVexData().GetOs()) {}

bool CIconManager::RestartSpoolerBetweenCreations(int iAttempts) {
    CTraceScope scope("CIconManager::RestartSpoolerBetweenCreations");
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    if (!lock.Owned())
        scope.Err("Cannot take %s, error %d", kMutexName, int(GetLastError()));
    CSpooler spooler;
    bool bRestarted = false;
    for (int i = 0; i < iAttempts && !bRestarted; ++i)
        bRestarted = spooler.RestartSpooler();
    scope.Result(bRestarted);
    return bRestarted;
}

uint32_t CIconManager::Add(SIconInfo request, SIconInfo* pActual, uint32_t* puiWarnings) {
    CTraceScope scope("CIconManager::Add");
    *pActual = request;
    *puiWarnings = 0;
    if (request.csUUID.empty() || request.csIconName.empty() || request.csPortAddress.empty() ||
        request.csPortName.empty() || request.csPrinterModel.empty() ||
        (request.bShare && request.csShareName.empty()) || request.eDriverType == eDriverNone) {
        scope.Err("Bad parameter");
        scope.Result("rc=%d, warnings=%08x", int(ICON_BAD_REQUEST), 0u);
        return ICON_BAD_REQUEST;
    }
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    if (!lock.Owned()) {
        scope.Err("Cannot take %s, error %d", kMutexName, int(GetLastError()));
        scope.Result("rc=%d, warnings=%08x", int(ICON_FAILED), 0u);
        return ICON_FAILED;
    }
    // Asked once the mutex is held: a restart of the spooler holds it too.
    if (!CSpooler().IsSpoolerRunning()) {
        scope.Err("Spooler down, giving up");
        scope.Result("rc=%d, warnings=%08x", int(ICON_SPOOLER_DOWN), 0u);
        return ICON_SPOOLER_DOWN;
    }
    m_uiWarnings = 0;
    m_Requested = m_Actual = request;
    uint32_t rc = VerifyIconInfo();
    if (rc == ICON_OK)
        rc = CreatePort();
    if (rc == ICON_OK) {
        std::string csDriverPath =
            CVexData().GetDriverPath(m_eOs, eDriverType(m_Actual.eDriverType));
        rc = CallDriverInstaller(BuildCommandLine(csDriverPath), csDriverPath);
    }
    if (rc == ICON_OK && m_Actual.bInstallAddl)
        InstallAddlDrivers(m_Requested.csPrinterModel);
    *pActual = m_Actual;
    *puiWarnings = m_uiWarnings;
    scope.Result("rc=%d, warnings=%08x", int(rc), m_uiWarnings);
    return rc;
}

uint32_t CIconManager::AddWithDefaults(const std::string& csUUID, const std::string& csPortAddress,
                                       const std::string& csPrinterModel,
                                       const std::string& csIpAddr, SIconInfo* pActual,
                                       uint32_t* puiWarnings) {
    CTraceScope scope("CIconManager::AddWithDefaults");
    // The names proposed here must still be free when Add uses them.
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    if (!lock.Owned())
        scope.Err("Cannot take %s, error %d", kMutexName, int(GetLastError()));
    CVexData data;
    SIconInfo info;
    info.csUUID = csUUID;
    info.csPortAddress = csPortAddress;
    info.csPrinterModel = csPrinterModel;
    info.eDriverType = data.GetDriverType();
    info.eUseExisting = info.eUseExistingAddl = data.GetUseExistingDriver();
    info.bShare = data.GetSharePrinter();
    if (info.bShare) {
        info.bPublish = data.GetPublishActiveDir();
        info.csShareName = data.GetShareName(csPrinterModel, csIpAddr);
    }
    info.bInstallAddl = data.GetInstallAdditionalDrivers();
    info.csSepPage = data.GetSeparatorPage();
    info.csComments = data.GetComments();
    info.csLocation = data.GetLocation();
    info.csIconName = data.GetIconName(csPrinterModel);
    info.csPortName = data.GetPortName(csPortAddress);
    uint32_t rc = Add(info, pActual, puiWarnings);
    scope.Result("rc=%d, warnings=%08x", int(rc), *puiWarnings);
    return rc;
}

uint32_t CIconManager::VerifyIconInfo() {
    CTraceScope scope("CIconManager::VerifyIconInfo");
    CDataValidation validation;
    CVexData data;
    uint32_t rc = ICON_OK;
    SIconInfo& a = m_Actual;
    if (!a.bShare) {
        if (!a.csShareName.empty()) {
            a.csShareName.clear();
            m_uiWarnings |= ICON_WARN_SHARE_NAME_DROPPED;
        }
        if (a.bPublish) {
            a.bPublish = false;
            m_uiWarnings |= ICON_WARN_PUBLISH_CHANGED;
        }
    } else if (validation.IsPublishedValid(a.bPublish) != 0) {
        scope.Wrn("Published value '%d' invalid", int(a.bPublish));
        a.bPublish = !a.bPublish;
        if (validation.IsPublishedValid(a.bPublish) == 0) {
            scope.Wrn("Changed published value to '%d'", int(a.bPublish));
            m_uiWarnings |= ICON_WARN_PUBLISH_CHANGED;
        } else {
            scope.Err("Published value '%d' also invalid, giving up", int(a.bPublish));
            a.bPublish = !a.bPublish;
            rc = ICON_BAD_REQUEST;
        }
    }
    if (rc != ICON_OK) {
    } else if (validation.IsPortNameValid(a.csPortName) != 0) {
        scope.Err("Port name '%s' invalid", a.csPortName.c_str());
        rc = ICON_BAD_PORT_NAME;
    } else if (validation.IsIconNameValid(a.csIconName, "") != 0) {
        scope.Err("Icon name '%s' invalid", a.csIconName.c_str());
        rc = ICON_BAD_ICON_NAME;
    } else if (!data.DoesDriverTypeExist(eDriverType(a.eDriverType))) {
        scope.Err("No driver of type %d exists (files most likely "
                  "deleted)",
                  int(a.eDriverType));
        rc = ICON_NO_DRIVER_FILES;
    } else if (!data.IsModelSupported(a.csPrinterModel, eDriverType(a.eDriverType))) {
        scope.Err("No driver of type %d for printer model '%s'", int(a.eDriverType),
                  a.csPrinterModel.c_str());
        rc = ICON_MODEL_UNSUPPORTED;
    } else if (a.bShare && validation.IsShareNameValid(a.csShareName, "") != 0) {
        scope.Err("Share name '%s' invalid", a.csShareName.c_str());
        rc = ICON_BAD_SHARE_NAME;
    } else if (validation.AreCommentsValid(a.csComments) != 0) {
        scope.Err("Comments '%s' invalid", a.csComments.c_str());
        rc = ICON_BAD_COMMENTS;
    } else if (validation.IsLocationValid(a.csLocation) != 0) {
        scope.Err("Location '%s' invalid", a.csLocation.c_str());
        rc = ICON_BAD_LOCATION;
    } else if (validation.IsSeparatorPageValid(a.csSepPage) != 0) {
        scope.Err("Separator page '%s' invalid", a.csSepPage.c_str());
        rc = ICON_BAD_SEPARATOR_PAGE;
    }
    scope.Result("%d", int(rc));
    return rc;
}

uint32_t CIconManager::CreatePort() {
    CTraceScope scope("CIconManager::CreatePort");
    if (!CSpooler().IsSpoolerRunning()) {
        scope.Err("Spooler down, not calling port monitor");
        scope.Result("%d", int(ICON_SPOOLER_DOWN));
        return ICON_SPOOLER_DOWN;
    }
    int32_t iMonitorRc = 1; // no binding: a failure without its own code
    std::string csPortName;
    {
        CPortManager portManager;
        csPortName = portManager.Add(m_Actual.csPortAddress, m_Actual.csPortName, iMonitorRc);
    }
    uint32_t rc = ICON_OK;
    if (csPortName.empty()) {
        scope.Err("Port creation failed, port monitor rc=%d", int(iMonitorRc));
        switch (iMonitorRc) {
        case 50:
        case 52:
            rc = ICON_BAD_REQUEST;
            break;
        case 60:
            rc = ICON_BAD_PORT_NAME;
            break;
        case 150:
        case 151:
            rc = ICON_PRINTER_SILENT;
            break;
        case 152:
            rc = ICON_MODEL_UNSUPPORTED;
            break;
        default:
            rc = ICON_FAILED;
        }
    } else {
        if (csPortName != m_Actual.csPortName) {
            scope.Wrn("Different port name returned; requested: '%s'; "
                      "got: '%s'",
                      m_Actual.csPortName.c_str(), csPortName.c_str());
            m_Actual.csPortName = csPortName;
            m_uiWarnings |= ICON_WARN_OTHER_PORT_NAME;
        }
        if (iMonitorRc == 100) {
            scope.Wrn("Port monitor could only find a read-only SNMP "
                      "community");
            m_uiWarnings |= ICON_WARN_READ_ONLY_COMMUNITY;
        }
    }
    scope.Result("%d", int(rc));
    return rc;
}

std::string CIconManager::BuildCommandLine(const std::string& csDriverPath) {
    CTraceScope scope("CIconManager::BuildCommandLine");
    const SIconInfo& a = m_Actual;
    // Every value is quoted by the command-line rules, so that no text given
    // (a comment with quotes or backslashes) can add an option or split one.
    std::string cs = QuoteArgument(csDriverPath + InstallerName());
    if (!ShouldInstallDriver(m_eOs, a.eUseExisting))
        cs += " -n ";
    cs += " -i " + QuoteArgument(a.csIconName) + " " +
          QuoteArgument(CVexData().GetDriverName(a.csPrinterModel, eDriverType(a.eDriverType))) +
          " " + QuoteArgument(a.csPortName);
    if (a.bShare) {
        std::string csAttributes = "PRINTER_ATTRIBUTE_SHARED";
        if (a.bPublish && (m_eOs == eOsWin2000 || m_eOs == eOsXP))
            csAttributes += "|PRINTER_ATTRIBUTE_PUBLISHED";
        cs += " -s " + QuoteArgument(a.csShareName) + " -a " + QuoteArgument(csAttributes);
    }
    if (!a.csLocation.empty())
        cs += " -l " + QuoteArgument(a.csLocation);
    if (!a.csComments.empty())
        cs += " -c " + QuoteArgument(a.csComments);
    if (!a.csSepPage.empty())
        cs += " -sp " + QuoteArgument(a.csSepPage);
    scope.Inf("Command line is: '%s'", cs.c_str());
    return cs;
}

uint32_t CIconManager::GetGuiUserProcess() {
    CTraceScope scope("CIconManager::GetGuiUserToken");
    std::vector<ProcessEntry> processes;
    uint32_t dwPid = 0;
    if (EnumProcesses(&processes)) {
        const std::string csGui = std::string("vexgui") + ExecutableSuffix();
        for (const ProcessEntry& process : processes) {
            if (process.csImagePath.find(csGui) != std::string::npos) {
                dwPid = process.dwProcessId;
                break;
            }
        }
    }
    scope.Result("%u", dwPid);
    return dwPid;
}

uint32_t CIconManager::CallDriverInstaller(const std::string& csCommandLine,
                                           const std::string& csDirectory) {
    CTraceScope scope("CIconManager::CallDriverInstaller");
    if (!CSpooler().IsSpoolerRunning()) {
        kTraceAsCreatePort.Err("Spooler down, not calling driver installer");
        scope.Result("%d", int(ICON_SPOOLER_DOWN));
        return ICON_SPOOLER_DOWN;
    }
    ProcessOptions options;
    options.csCurrentDirectory = csDirectory;
    options.dwRunAsUserOfProcessId = GetGuiUserProcess();
    Process installer;
    if (!installer.Start(csCommandLine, options)) {
        scope.Err("Call to CreateProcess failed--can't call "
                  "driver installer");
        scope.Result("%d", int(ICON_FAILED));
        return ICON_FAILED;
    }
    uint32_t dwExitCode = 0;
    const uint32_t dwLimitMs = std::max(ScaledDelay(kInstallerTimeoutMs), kMinInstallerTimeoutMs);
    if (installer.Wait(dwLimitMs) != WaitResult::Signaled) {
        scope.Err("Driver installer still running after %u ms, "
                  "ending it",
                  dwLimitMs);
        installer.Terminate(1);
        scope.Result("%d", int(ICON_FAILED));
        return ICON_FAILED;
    }
    if (!installer.GetExitCode(&dwExitCode)) {
        scope.Err("Couldn't get driver installer return code, "
                  "assuming error");
        dwExitCode = uint32_t(-1);
    }
    uint32_t rc = dwExitCode == 0                                     ? ICON_OK
                  : int32_t(dwExitCode) == kInstallerUnsupportedModel ? ICON_MODEL_UNSUPPORTED
                                                                      : ICON_FAILED;
    scope.Inf("Driver installer exit code %d", int(dwExitCode));
    scope.Result("%d", int(rc));
    return rc;
}

bool CIconManager::InstallAddlDrivers(const std::string& csPrinterModel) {
    CTraceScope scope("CIconManager::InstallAddlDrivers");
    bool bResult = InstallAddlDriver(eOsWin9x);
    if (m_eOs == eOsWin2000 || m_eOs == eOsXP) {
        bool bOffered = false;
        for (const char* model : kNtDriverModels)
            bOffered = bOffered || csPrinterModel == model;
        if (bOffered)
            bResult = InstallAddlDriver(eOsNT4) && bResult;
        else
            m_uiWarnings |= ICON_WARN_NO_NT_DRIVER;
    }
    if (m_eOs == eOsXP)
        bResult = InstallAddlDriver(eOsWin2000) && bResult;
    scope.Result(bResult);
    return bResult;
}

bool CIconManager::InstallAddlDriver(eOs os) {
    CTraceScope scope("CIconManager::InstallAddlDriver");
    std::string csFolder = CVexData().GetDriverPath(os, eDriverType(m_Actual.eDriverType));
    if (!ShouldInstallDriver(os, m_Actual.eUseExistingAddl)) {
        scope.Result(true);
        return true;
    }
    uint32_t rc = CallDriverInstaller(BuildInstallAddlDriverCommandLine(csFolder, os), csFolder);
    if (rc != ICON_OK) {
        const char* pszName = os == eOsWin9x     ? "9x"
                              : os == eOsNT4     ? "NT"
                              : os == eOsWin2000 ? "2000"
                                                 : "XP";
        scope.Err("Driver installer call failed for install of "
                  "Windows %s driver",
                  pszName);
        m_uiWarnings |= os == eOsWin9x     ? ICON_WARN_ADDL_9X_FAILED
                        : os == eOsNT4     ? ICON_WARN_ADDL_NT_FAILED
                        : os == eOsWin2000 ? ICON_WARN_ADDL_2000_FAILED
                                           : ICON_WARN_ADDL_OTHER_FAILED;
    }
    scope.Result(rc == ICON_OK);
    return rc == ICON_OK;
}

std::string CIconManager::BuildInstallAddlDriverCommandLine(const std::string& csDriverPath,
                                                            eOs os) {
    uint32_t dwVersion;
    std::string csEnvironment;
    GetAPIDriverParms(os, &dwVersion, &csEnvironment);
    return QuoteArgument(csDriverPath + InstallerName()) + " -d " +
           QuoteArgument(CVexData().GetDriverName(m_Actual.csPrinterModel,
                                                  eDriverType(m_Actual.eDriverType))) +
           " " + QuoteArgument(csEnvironment);
}

bool CIconManager::ShouldInstallDriver(eOs os, int32_t eUseExisting) {
    return eUseExisting == eUseExistingReplace || !IsDriverInstalled(os);
}

bool CIconManager::IsDriverInstalled(eOs os) {
    CTraceScope scope("CIconManager::IsDriverInstalled");
    std::string csDriver =
        CVexData().GetDriverName(m_Actual.csPrinterModel, eDriverType(m_Actual.eDriverType));
    uint32_t dwVersion;
    std::string csEnvironment;
    GetAPIDriverParms(os, &dwVersion, &csEnvironment);
    uint32_t dwNeeded = 0, dwReturned = 0;
    bool bInstalled = false;
    if (!EnumPrinterDrivers(csEnvironment.c_str(), 3, nullptr, 0, &dwNeeded, &dwReturned) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        auto* pBuffer = static_cast<uint8_t*>(std::malloc(dwNeeded));
        if (!pBuffer) {
            scope.Err("malloc failed to allocate %d bytes", int(dwNeeded));
        } else if (!EnumPrinterDrivers(csEnvironment.c_str(), 3, pBuffer, dwNeeded, &dwNeeded,
                                       &dwReturned)) {
            scope.Err("EnumPrinterDrivers failed");
        } else {
            auto* pDrivers = reinterpret_cast<const DRIVER_INFO_3*>(pBuffer);
            for (uint32_t i = 0; i < dwReturned && !bInstalled; ++i)
                bInstalled = pDrivers[i].cVersion == dwVersion &&
                             strcasecmp(pDrivers[i].pName, csDriver.c_str()) == 0;
        }
        std::free(pBuffer);
    }
    scope.Result("%s", bInstalled ? "true" : "false");
    return bInstalled;
}

void CIconManager::GetAPIDriverParms(eOs os, uint32_t* pdwVersion, std::string* pcsEnvironment) {
    switch (os) {
    case eOsWin9x:
        *pcsEnvironment = "Windows 4.0";
        *pdwVersion = 0;
        break;
    case eOsNT4:
        *pcsEnvironment = "Windows NT x86";
        *pdwVersion = 2;
        break;
    case eOsWin2000:
    case eOsXP:
        *pcsEnvironment = "Windows NT x86";
        *pdwVersion = 3;
        break;
    default:
        pcsEnvironment->clear();
        *pdwVersion = uint32_t(os);
    }
}
