// The service side on Windows: the control dispatcher of the service control
// manager, with the platform's service mains and handlers called through
// trampolines of the system's signatures.
#include "platform/error.h"
#include "platform/service.h"

#include "windows_api.h"

#include <atomic>
#include <vector>

namespace platform {

namespace {

// The table given to the dispatcher; one dispatcher per process.
std::atomic<const SERVICE_TABLE_ENTRY*> g_table{nullptr};

void WINAPI ServiceMainTrampoline(DWORD dwArgc, LPSTR* lpszArgv) {
    // The manager passes the started service's name first.
    for (const SERVICE_TABLE_ENTRY* p = g_table.load(); p && p->lpServiceName; ++p) {
        if (dwArgc > 0 && ::_stricmp(p->lpServiceName, lpszArgv[0]) == 0) {
            p->lpServiceProc(dwArgc, lpszArgv);
            return;
        }
    }
}

DWORD WINAPI HandlerTrampoline(DWORD dwControl, DWORD, LPVOID, LPVOID lpContext) {
    reinterpret_cast<LPHANDLER_FUNCTION>(lpContext)(dwControl);
    return NO_ERROR;
}

} // namespace

bool StartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRY* lpServiceStartTable) {
    std::vector<SERVICE_TABLE_ENTRYA> table;
    for (const SERVICE_TABLE_ENTRY* p = lpServiceStartTable; p->lpServiceName; ++p)
        table.push_back({const_cast<LPSTR>(p->lpServiceName), ServiceMainTrampoline});
    table.push_back({nullptr, nullptr});
    const SERVICE_TABLE_ENTRY* pExpected = nullptr;
    if (!g_table.compare_exchange_strong(pExpected, lpServiceStartTable))
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    const bool ok = ::StartServiceCtrlDispatcherA(table.data());
    const DWORD dwError = ::GetLastError();
    g_table = nullptr;
    return ok || Fail(dwError);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandler(const char* lpServiceName,
                                                 LPHANDLER_FUNCTION lpHandlerProc) {
    ::SERVICE_STATUS_HANDLE h = ::RegisterServiceCtrlHandlerExA(
        lpServiceName, HandlerTrampoline, reinterpret_cast<LPVOID>(lpHandlerProc));
    if (!h)
        Fail(::GetLastError());
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(h);
}

bool SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, const SERVICE_STATUS* lpServiceStatus) {
    ::SERVICE_STATUS status{lpServiceStatus->dwServiceType,
                            lpServiceStatus->dwCurrentState,
                            lpServiceStatus->dwControlsAccepted,
                            lpServiceStatus->dwWin32ExitCode,
                            lpServiceStatus->dwServiceSpecificExitCode,
                            lpServiceStatus->dwCheckPoint,
                            lpServiceStatus->dwWaitHint};
    return ::SetServiceStatus(reinterpret_cast<::SERVICE_STATUS_HANDLE>(hServiceStatus), &status) ||
           Fail(::GetLastError());
}

} // namespace platform
