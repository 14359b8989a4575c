// CPortMonInstall: the port monitor's installation and upgrade.
#include "service/PortMonInstall.h"

#include "common/Spooler.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/event_log.h"
#include "platform/files.h"
#include "platform/os.h"
#include "platform/spooler.h"

#include <cstdlib>
#include <strings.h>
#include <vector>

namespace {

// The monitor check keeps the name it had in the queue maker.
constexpr CTraceName kTraceAsIsPortMonInstalled("CIconManager::IsPortMonInstalled");

} // namespace

using namespace platform;

const char* const CPortMonInstall::kMonitorDll = "zantornpmon.dll";

namespace {

constexpr int kCopyAttempts = 4;
constexpr uint32_t kCopyRetryMs = 500;
constexpr int kRestartAttempts = 8;
constexpr size_t kMaxStringChars = 260;

bool ClearReadOnly(const std::string& csPath) {
    uint32_t attributes = GetFileAttributes(csPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    return SetFileAttributes(csPath, attributes & ~uint32_t(FILE_ATTRIBUTE_READONLY));
}

} // namespace

std::string CPortMonInstall::LoadServiceString(uint32_t uiId) {
    static const char* const kStrings[] = {
        "",
        "Some services that are dependent on the spooler service might not have successfully "
        "restarted: ",
        "Zantor Ambrel Installation Error",
        "Unable to restart spooler service: ",
        "Unable to stop spooler service: ",
        "Installation of the Zantor TCP/IP Network Port Monitor failed.  Ambrel will not be able "
        "to create printers on your workstation.  Error: ",
        "Reinstallation of the Zantor TCP/IP Network Port Monitor failed.  The port monitor might "
        "not be working correctly, and Ambrel might not be able to create printers on your "
        "workstation.  Error: ",
        "Spooler service should be restarted manually!",
    };
    if (uiId == 0 || uiId >= std::size(kStrings))
        return "";
    return std::string(kStrings[uiId]).substr(0, kMaxStringChars);
}

CPortMonInstall::CPortMonInstall() : m_csMonitorName("Zantor TCP/IP Network Port") {
    CTraceScope scope("CPortMonInstall::CPortMonInstall");
    m_csPortMonPath = CVexData().GetPortMonPath();
    m_csSystemDir = GetSystemDirectory();
    if (m_csSystemDir.size() > kMaxStringChars)
        m_csSystemDir.resize(kMaxStringChars);
    if (m_csSystemDir.empty() || m_csSystemDir.back() != PathSeparator())
        m_csSystemDir += PathSeparator();
}

bool CPortMonInstall::InstallIfNecessary() {
    CTraceScope scope("CPortMonInstall::InstallIfNecessary");
    CSpooler spooler;
    if (!spooler.IsSpoolerRunning())
        spooler.StartSpooler();
    bool bResult;
    if (IsPortMonInstalled()) {
        bResult = true;
        if (NeedToReinstall()) {
            bResult = ReinstallPortMonitor();
            if (!bResult)
                ShowFailureMessage(2, 6);
        }
    } else {
        bResult = InstallPortMonitor();
        if (!bResult)
            ShowFailureMessage(2, 5);
    }
    scope.Result(bResult);
    return bResult;
}

bool CPortMonInstall::IsPortMonInstalled() {
    CTraceScope scope("CPortMonInstall::IsPortMonInstalled");
    uint32_t dwNeeded = 0, dwReturned = 0;
    bool bInstalled = false;
    if (!EnumMonitors(2, nullptr, 0, &dwNeeded, &dwReturned) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        auto* pBuffer = static_cast<uint8_t*>(std::malloc(dwNeeded));
        if (!pBuffer) {
            kTraceAsIsPortMonInstalled.Err("malloc failed to allocate %d bytes", int(dwNeeded));
        } else if (!EnumMonitors(2, pBuffer, dwNeeded, &dwNeeded, &dwReturned)) {
            kTraceAsIsPortMonInstalled.Err("EnumMonitors failed, GetLastError()=%d",
                                           int(GetLastError()));
        } else {
            auto* pMonitors = reinterpret_cast<const MONITOR_INFO_2*>(pBuffer);
            for (uint32_t i = 0; i < dwReturned && !bInstalled; ++i) {
                if (strcasecmp(pMonitors[i].pDLLName, kMonitorDll) == 0) {
                    m_csMonitorName = pMonitors[i].pName;
                    bInstalled = true;
                }
            }
        }
        std::free(pBuffer);
    }
    scope.Result("%s", bInstalled ? "true" : "false");
    return bInstalled;
}

bool CPortMonInstall::InstallPortMonitor() {
    CTraceScope scope("CPortMonInstall::InstallPortMonitor");
    if (!CopyPMFiles()) {
        scope.Err("Copy of files into the system directory "
                  "failed, can't install port monitor");
        scope.Result(false);
        return false;
    }
    MONITOR_INFO_2 info{m_csMonitorName.c_str(), nullptr, kMonitorDll};
    bool bResult = AddMonitor(2, &info);
    if (!bResult)
        scope.Err("AddMonitor failed, GetLastError=%d", int(GetLastError()));
    scope.Result(bResult);
    return bResult;
}

bool CPortMonInstall::CopyPMFiles() {
    CTraceScope scope("CPortMonInstall::CopyPMFiles");
    std::vector<FindData> entries;
    if (!FindFiles(m_csPortMonPath + "*.*", &entries)) {
        // An existing folder without files copies nothing, and that is no failure.
        bool bEmptyFolder = DirectoryExists(m_csPortMonPath);
        if (!bEmptyFolder)
            scope.Err("No files in the port monitor directory %s", m_csPortMonPath.c_str());
        scope.Result(bEmptyFolder);
        return bEmptyFolder;
    }
    bool bResult = true;
    for (const FindData& entry : entries) {
        if (!bResult)
            break;
        if (strcasecmp(entry.csName.c_str(), "monitor.inf") == 0 ||
            entry.dwAttributes == INVALID_FILE_ATTRIBUTES ||
            (entry.dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::string csSource = m_csPortMonPath + entry.csName;
        std::string csTarget = m_csSystemDir + entry.csName;
        bool bCopied = false;
        for (int iAttempt = 1; iAttempt <= kCopyAttempts && !bCopied; ++iAttempt) {
            if (iAttempt > 1)
                Sleep(kCopyRetryMs);
            ClearReadOnly(csTarget);
            bCopied = CopyFile(csSource, csTarget, false);
            if (bCopied && iAttempt > 1)
                scope.Inf("Try #%d to copy file worked", iAttempt);
            else if (!bCopied)
                scope.Err("Failure #%d to copy file '%s' to '%s' "
                          "GetLastError()=%d",
                          iAttempt, csSource.c_str(), csTarget.c_str(), int(GetLastError()));
        }
        ClearReadOnly(csTarget);
        bResult = bCopied;
    }
    scope.Result(bResult);
    return bResult;
}

bool CPortMonInstall::NeedToReinstall() {
    CTraceScope scope("CPortMonInstall::NeedToReinstall");
    int32_t aiPackage[4], aiInstalled[4];
    bool bResult;
    if (!GetPMVersionNum(m_csPortMonPath, aiPackage)) {
        bResult = false;
    } else if (!GetPMVersionNum(m_csSystemDir, aiInstalled)) {
        bResult = true;
    } else {
        bResult = false;
        for (int i = 0; i < 4; ++i) {
            if (aiPackage[i] != aiInstalled[i]) {
                bResult = aiPackage[i] > aiInstalled[i];
                break;
            }
        }
    }
    scope.Result("%s", bResult ? "true" : "false");
    return bResult;
}

bool CPortMonInstall::GetPMVersionNum(const std::string& csDir, int32_t aiVersion[4]) {
    CTraceScope scope("CPortMonInstall::GetPMVersionNum");
    std::string csFile = csDir + kMonitorDll;
    uint32_t dwSize = GetFileVersionInfoSize(csFile);
    if (dwSize == 0) {
        scope.Err("GetFileVersionInfoSize failed; "
                  "GetLastError=%d",
                  int(GetLastError()));
        scope.Result(false);
        return false;
    }
    void* pBlock = std::malloc(dwSize);
    if (!pBlock) {
        scope.Err("malloc failed to allocate %d bytes", int(dwSize));
        scope.Result(false);
        return false;
    }
    bool bResult = false;
    void* pValue = nullptr;
    uint32_t uLen = 0;
    if (!GetFileVersionInfo(csFile, dwSize, pBlock)) {
        scope.Err("GetFileVersionInfo failed; GetLastError=%d", int(GetLastError()));
    } else if (!VerQueryValue(pBlock, "\\", &pValue, &uLen)) {
        scope.Err("VerQueryValue failed; GetLastError=%d", int(GetLastError()));
    } else {
        auto* pInfo = static_cast<const VS_FIXEDFILEINFO*>(pValue);
        aiVersion[0] = int32_t(pInfo->dwProductVersionMS >> 16);
        aiVersion[1] = int32_t(pInfo->dwProductVersionMS & 0xFFFF);
        aiVersion[2] = int32_t(pInfo->dwProductVersionLS >> 16);
        aiVersion[3] = int32_t(pInfo->dwProductVersionLS & 0xFFFF);
        bResult = true;
        scope.Result("%d.%d.%d.%d", aiVersion[0], aiVersion[1], aiVersion[2], aiVersion[3]);
    }
    std::free(pBlock);
    if (!bResult)
        scope.Result(false);
    return bResult;
}

bool CPortMonInstall::ReinstallPortMonitor() {
    CTraceScope scope("CPortMonInstall::ReinstallPortMonitor");
    CSpooler spooler;
    ENUM_SERVICE_STATUS* pDependants = nullptr;
    uint32_t dwDependants = 0;
    if (!spooler.ShutdownSpooler(&pDependants, &dwDependants)) {
        scope.Err("Spooler shutdown failed");
        ShowFailureMessage(2, 4);
        scope.Result(false);
        return false;
    }
    bool bResult = CopyPMFiles();
    bool bStarted = false, bDependencyProblem = false;
    for (int iAttempt = 0; iAttempt < kRestartAttempts && !bStarted; ++iAttempt)
        bStarted = spooler.RestartSpooler(pDependants, dwDependants, bDependencyProblem);
    CSpooler::FreeDependentServices(pDependants);
    if (!bStarted) {
        scope.Err("Spooler restart failed");
        ShowFailureMessage(2, 3);
    } else if (bDependencyProblem) {
        scope.Err("Restart of some dependent services "
                  "failed");
        ShowFailureMessage(2, 1);
    }
    scope.Result(bResult);
    return bResult;
}

void CPortMonInstall::ShowFailureMessage(uint32_t uiTitleRc, uint32_t uiMessageRc) {
    CTraceScope scope("CPortMonInstall::ShowFailureMessage");
    std::string csTitle = LoadServiceString(uiTitleRc);
    std::string csText = LoadServiceString(uiMessageRc) + ErrorText(GetLastError());
    // No desktop to show a box on: the system log carries the message.
    platform::ReportErrorEvent("vexsrv", csTitle + ": " + csText);
    scope.Err("%s: %s", csTitle.c_str(), csText.c_str());
}
