// The service's entry: console commands, service main, control handler and
// status reports.
//
// The console commands run before the trace is opened (only vex_main opens
// it), so their entry and exit lines go nowhere; they talk on standard output.
#include "service/ServiceEntry.h"

#include "common/ServiceControl.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/error.h"
#include "platform/os.h"
#include "service/MainThread.h"
#include "service/WriteThread.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

using namespace platform;

namespace {

// Every caller of GetLastErrorText passes a buffer of this size.
constexpr uint32_t kErrorTextSize = 256;
// GetModuleFileName's buffer.
constexpr size_t kModulePathSize = 512;
// The pause between the looks at a service that is stopping.
constexpr uint32_t kStopPollMs = 1000;
// Wait hints of the reports.
constexpr uint32_t kStartWaitHint = 3000;
constexpr uint32_t kStopWaitHint = 20;

SERVICE_STATUS g_ssStatus{};
SERVICE_STATUS_HANDLE g_sshStatusHandle = nullptr;
bool g_bDebug = false;
uint32_t g_dwCheckPoint = 1;
// vex_main's thread and the dispatcher's thread both report.
std::mutex g_statusLock;

CMainThread g_mainThread;

// Builds a message in memory and writes it to standard output at once.
void Print(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* pszFormat, ...) {
    char szMessage[1024];
    va_list args;
    va_start(args, pszFormat);
    int n = std::vsnprintf(szMessage, sizeof szMessage, pszFormat, args);
    va_end(args);
    if (n < 0)
        return;
    std::fwrite(szMessage, 1, std::min(size_t(n), sizeof szMessage - 1), stdout);
    std::fflush(stdout);
}

// Our service's pair for the remove and start commands; a failure to open
// prints the command's message.
bool OpenOurService(const char* pszCommand, const CServiceHandles& handles) {
    if (!handles.FailedCall())
        return true;
    char szErr[kErrorTextSize];
    Print("(%s)%s failed. (%s)\n", pszCommand, handles.FailedCall(),
          GetLastErrorText(szErr, kErrorTextSize));
    return false;
}

} // namespace

void SetDebugMode(bool bDebug) {
    g_bDebug = bDebug;
}

const SERVICE_STATUS& ServiceStatusRecord() {
    return g_ssStatus;
}

void CmdInstallService() {
    CTraceScope scope("CmdInstallService");
    char szErr[kErrorTextSize];
    std::string csPath;
    bool bHavePath = GetModuleFileName(&csPath);
    if (bHavePath && csPath.size() >= kModulePathSize)
        bHavePath = Fail(ERROR_INSUFFICIENT_BUFFER);
    if (!bHavePath) {
        Print("(CmdInstallService)Unable to install %s. (%s)\n", SZSERVICEDISPLAYNAME,
              GetLastErrorText(szErr, kErrorTextSize));
        return;
    }
    CServiceHandles handles;
    if (!OpenOurService("CmdInstallService", handles))
        return;
    SC_HANDLE hService =
        CreateService(handles.Manager(), SZSERVICENAME, SZSERVICEDISPLAYNAME, SERVICE_ALL_ACCESS,
                      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, csPath,
                      {}, nullptr, nullptr);
    if (hService) {
        Print("(CmdInstallService)%s installed.\n", SZSERVICEDISPLAYNAME);
        CloseServiceHandle(hService);
    } else {
        Print("(CmdInstallService)CreateService failed. (%s)\n",
              GetLastErrorText(szErr, kErrorTextSize));
    }
}

void CmdRemoveService() {
    CTraceScope scope("CmdRemoveService");
    char szErr[kErrorTextSize];
    CServiceHandles handles(SZSERVICENAME);
    if (!OpenOurService("CmdRemoveService", handles))
        return;
    SC_HANDLE hService = handles.Service();
    if (ControlService(hService, SERVICE_CONTROL_STOP, &g_ssStatus)) {
        Sleep(kStopPollMs);
        while (QueryServiceStatus(hService, &g_ssStatus) &&
               g_ssStatus.dwCurrentState == SERVICE_STOP_PENDING)
            Sleep(kStopPollMs);
        if (g_ssStatus.dwCurrentState == SERVICE_STOPPED)
            Print("(CmdRemoveService)%s stopped.\n", SZSERVICEDISPLAYNAME);
        else
            Print("(CmdRemoveService)%s failed to stop.\n", SZSERVICEDISPLAYNAME);
    }
    if (DeleteService(hService))
        Print("(CmdRemoveService)%s removed.\n", SZSERVICEDISPLAYNAME);
    else
        Print("(CmdRemoveService)DeleteService failed. (%s)\n",
              GetLastErrorText(szErr, kErrorTextSize));
}

void CmdStartService() {
    CTraceScope scope("CmdStartService");
    char szErr[kErrorTextSize];
    CServiceHandles handles(SZSERVICENAME);
    if (!OpenOurService("CmdStartService", handles))
        return;
    SC_HANDLE hService = handles.Service();
    switch (StartServiceAndWait(hService, &g_ssStatus)) {
    case EServiceStart::eStartFailed:
        Print("(CmdStartService)StartService failed. (%s)\n",
              GetLastErrorText(szErr, kErrorTextSize));
        return;
    case EServiceStart::eQueryFailed:
        Print("(CmdStartService)QueryServiceStatus failed. (%s)\n",
              GetLastErrorText(szErr, kErrorTextSize));
        return;
    default:
        break; // the state read last tells the outcome
    }
    if (g_ssStatus.dwCurrentState == SERVICE_RUNNING)
        Print("(CmdStartService)%s successfully started.\n", SZSERVICEDISPLAYNAME);
    else
        Print("(CmdStartService)%s failed to start.\n"
              "     Current state: %d\n"
              "     Exit code: %d\n"
              "     Service specific exit code: %d\n"
              "     Check point: %d\n"
              "     Wait hint: %d\n",
              SZSERVICEDISPLAYNAME, int(g_ssStatus.dwCurrentState), int(g_ssStatus.dwWin32ExitCode),
              int(g_ssStatus.dwServiceSpecificExitCode), int(g_ssStatus.dwCheckPoint),
              int(g_ssStatus.dwWaitHint));
}

void CmdDebugService(int argc, char** argv) {
    CTraceScope scope("CmdDebugService");
    Print("(CmdDebugService)Debugging %s.\n", SZSERVICEDISPLAYNAME);
    // A person watching discovery sees the list each time it is written.
    CWriteThread::SetConsoleEcho(true);
    SetConsoleCtrlHandler(ControlHandler, true);
    ServiceStart(uint32_t(argc), argv);
}

void vex_main(uint32_t dwArgc, char** lpszArgv) {
    TraceInit(eExeService, ".bak");
    CTraceScope scope("vex_main");
    char szErr[kErrorTextSize];
    g_sshStatusHandle = RegisterServiceCtrlHandler(SZSERVICENAME, vex_ctrl);
    if (!g_sshStatusHandle) {
        if (TraceOn(TRACE_ERR)) // the error text is written with detail lines of its own
            scope.Err("RegisterServiceCtrlHandler failed. (%s)",
                      GetLastErrorText(szErr, kErrorTextSize));
        return;
    }
    {
        std::lock_guard lock(g_statusLock);
        g_ssStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        g_ssStatus.dwServiceSpecificExitCode = 0;
    }
    if (ReportStatusToSCMgr(SERVICE_START_PENDING, ERROR_SUCCESS, kStartWaitHint))
        ServiceStart(dwArgc, lpszArgv);
    // Only a service that could not run comes back here.
    if (g_sshStatusHandle)
        ReportStatusToSCMgr(SERVICE_STOPPED, ERROR_SUCCESS, 0);
}

void vex_ctrl(uint32_t dwCtrlCode) {
    CTraceScope scope("vex_ctrl");
    switch (dwCtrlCode) {
    case SERVICE_CONTROL_STOP:
        ServiceStop();
        break;
    case SERVICE_CONTROL_RESTART_TRACE:
        TraceRestart();
        break;
    default: {
        uint32_t dwState;
        {
            std::lock_guard lock(g_statusLock);
            dwState = g_ssStatus.dwCurrentState;
        }
        ReportStatusToSCMgr(dwState, ERROR_SUCCESS, 0);
        break;
    }
    }
}

bool ControlHandler(uint32_t dwCtrlType) {
    CTraceScope scope("ControlHandler");
    switch (dwCtrlType) {
    case CTRL_BREAK_EVENT:
    case CTRL_C_EVENT:
        ServiceStop();
        return true;
    default:
        return false;
    }
}

bool ReportStatusToSCMgr(uint32_t dwCurrentState, uint32_t dwWin32ExitCode, uint32_t dwWaitHint) {
    CTraceScope scope("ReportStatusToSCMgr");
    if (g_bDebug)
        return true;
    std::lock_guard lock(g_statusLock);
    g_ssStatus.dwControlsAccepted =
        dwCurrentState == SERVICE_START_PENDING ? 0u : uint32_t(SERVICE_ACCEPT_STOP);
    g_ssStatus.dwCurrentState = dwCurrentState;
    g_ssStatus.dwWin32ExitCode = dwWin32ExitCode;
    g_ssStatus.dwWaitHint = dwWaitHint;
    if (dwCurrentState == SERVICE_RUNNING || dwCurrentState == SERVICE_STOPPED)
        g_ssStatus.dwCheckPoint = 0;
    else
        g_ssStatus.dwCheckPoint = g_dwCheckPoint++;
    if (!SetServiceStatus(g_sshStatusHandle, &g_ssStatus)) {
        char szErr[kErrorTextSize];
        if (TraceOn(TRACE_ERR))
            scope.Err("SetServiceStatus failed. (%s)", GetLastErrorText(szErr, kErrorTextSize));
        return false;
    }
    return true;
}

void ServiceStart(uint32_t, char**) {
    CTraceScope scope("ServiceStart");
    if (!ReportStatusToSCMgr(SERVICE_START_PENDING, ERROR_SUCCESS, kStartWaitHint))
        return;
    if (!ReportStatusToSCMgr(SERVICE_RUNNING, ERROR_SUCCESS, 0))
        return;
    g_mainThread.Start();
}

void ServiceStop() {
    TraceTrc("Entry (ServiceStop)");
    ReportStatusToSCMgr(SERVICE_STOP_PENDING, ERROR_SUCCESS, CMainThread::kStopFlushLimitMs);
    // A change of the last moments must reach the file before the process ends.
    g_mainThread.FlushPendingWrite();
    ReportStatusToSCMgr(SERVICE_STOPPED, ERROR_SUCCESS, kStopWaitHint);
    TraceTrc("Exit (ServiceStop)");
}

char* GetLastErrorText(char* lpszBuf, uint32_t dwSize) {
    uint32_t dwError = GetLastError();
    CTraceScope scope("GetLastErrorText", TRACE_DET);
    if (!lpszBuf || dwSize == 0)
        return lpszBuf;
    // The system's message text ends in a line end of two characters.
    std::string csText = ErrorText(dwError);
    size_t cchSystemText = csText.size() + 2;
    if (csText.empty() || dwSize < cchSystemText + 22)
        lpszBuf[0] = '\0';
    else
        std::snprintf(lpszBuf, dwSize, "err=(0x%x) %s", dwError, csText.c_str());
    return lpszBuf;
}
