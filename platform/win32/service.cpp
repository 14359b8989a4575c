// The client side of the service manager on Windows: the service control
// manager's own calls. Its error numbers are the platform's.
#include "platform/service.h"
#include "platform/error.h"

#include "windows_api.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

::SC_HANDLE System(SC_HANDLE h) {
    return reinterpret_cast<::SC_HANDLE>(h);
}

SC_HANDLE Ours(::SC_HANDLE h) {
    if (!h)
        Fail(::GetLastError());
    return reinterpret_cast<SC_HANDLE>(h);
}

SERVICE_STATUS Status(const ::SERVICE_STATUS& s) {
    return {s.dwServiceType,
            s.dwCurrentState,
            s.dwControlsAccepted,
            s.dwWin32ExitCode,
            s.dwServiceSpecificExitCode,
            s.dwCheckPoint,
            s.dwWaitHint};
}

// A list of names as the manager takes it: each ends with a null, and one
// more ends the list.
std::vector<char> MultiString(const std::vector<std::string>& names) {
    std::vector<char> list;
    for (const std::string& csName : names)
        list.insert(list.end(), csName.c_str(), csName.c_str() + csName.size() + 1);
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

// The enumeration calls count bytes, ours records: the whole list is read
// and then handed on as far as the caller's records go.
bool HandOn(std::vector<ENUM_SERVICE_STATUS>&& all, ENUM_SERVICE_STATUS* lpServices,
            uint32_t cbBufSize, uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned) {
    *pcbBytesNeeded = uint32_t(all.size());
    *lpServicesReturned = 0;
    if (!lpServices || cbBufSize < all.size())
        return Fail(ERROR_MORE_DATA);
    std::move(all.begin(), all.end(), lpServices);
    *lpServicesReturned = uint32_t(all.size());
    return true;
}

void Append(const ENUM_SERVICE_STATUSA* pRecords, DWORD dwCount,
            std::vector<ENUM_SERVICE_STATUS>* pAll) {
    for (DWORD i = 0; i < dwCount; ++i)
        pAll->push_back({pRecords[i].lpServiceName, pRecords[i].lpDisplayName,
                         Status(pRecords[i].ServiceStatus)});
}

} // namespace

SC_HANDLE OpenSCManager(const char* lpMachineName, const char* lpDatabaseName,
                        uint32_t dwDesiredAccess) {
    return Ours(::OpenSCManagerA(lpMachineName && *lpMachineName ? lpMachineName : nullptr,
                                 lpDatabaseName, dwDesiredAccess));
}

bool CloseServiceHandle(SC_HANDLE hSCObject) {
    return ::CloseServiceHandle(System(hSCObject)) || Fail(::GetLastError());
}

SC_HANDLE CreateService(SC_HANDLE hSCManager, const std::string& csServiceName,
                        const std::string& csDisplayName, uint32_t dwDesiredAccess,
                        uint32_t dwServiceType, uint32_t dwStartType, uint32_t dwErrorControl,
                        const std::string& csBinaryPathName,
                        const std::vector<std::string>& dependencies,
                        const char* lpServiceStartName, const char* lpPassword) {
    const std::vector<char> depends = MultiString(dependencies);
    return Ours(::CreateServiceA(System(hSCManager), csServiceName.c_str(), csDisplayName.c_str(),
                                 dwDesiredAccess, dwServiceType, dwStartType, dwErrorControl,
                                 csBinaryPathName.c_str(), nullptr, nullptr, depends.data(),
                                 lpServiceStartName, lpPassword));
}

SC_HANDLE OpenService(SC_HANDLE hSCManager, const std::string& csServiceName,
                      uint32_t dwDesiredAccess) {
    return Ours(::OpenServiceA(System(hSCManager), csServiceName.c_str(), dwDesiredAccess));
}

bool DeleteService(SC_HANDLE hService) {
    return ::DeleteService(System(hService)) || Fail(::GetLastError());
}

bool ChangeServiceConfig(SC_HANDLE hService, uint32_t dwServiceType, uint32_t dwStartType,
                         uint32_t dwErrorControl, const char* lpBinaryPathName,
                         const char* lpDisplayName) {
    return ::ChangeServiceConfigA(System(hService), dwServiceType, dwStartType, dwErrorControl,
                                  lpBinaryPathName, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  lpDisplayName) ||
           Fail(::GetLastError());
}

bool QueryServiceConfig(SC_HANDLE hService, QUERY_SERVICE_CONFIG* pConfig) {
    DWORD dwNeeded = 0;
    if (::QueryServiceConfigA(System(hService), nullptr, 0, &dwNeeded) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return Fail(::GetLastError());
    // 8-byte aligned: the record's pointers point into the same buffer.
    std::vector<uint64_t> buffer((dwNeeded + 7) / 8);
    auto* p = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!::QueryServiceConfigA(System(hService), p, DWORD(buffer.size() * 8), &dwNeeded))
        return Fail(::GetLastError());
    pConfig->dwServiceType = p->dwServiceType;
    pConfig->dwStartType = p->dwStartType;
    pConfig->dwErrorControl = p->dwErrorControl;
    pConfig->lpBinaryPathName = p->lpBinaryPathName ? p->lpBinaryPathName : "";
    pConfig->dependencies.clear();
    for (const char* d = p->lpDependencies; d && *d; d += std::strlen(d) + 1) {
        if (*d != SC_GROUP_IDENTIFIERA) // load-order groups are not ours
            pConfig->dependencies.push_back(d);
    }
    pConfig->lpServiceStartName = p->lpServiceStartName ? p->lpServiceStartName : "LocalSystem";
    pConfig->lpDisplayName = p->lpDisplayName ? p->lpDisplayName : "";
    return true;
}

bool StartService(SC_HANDLE hService, uint32_t dwNumServiceArgs, const char** lpServiceArgVectors) {
    return ::StartServiceA(System(hService), dwNumServiceArgs, lpServiceArgVectors) ||
           Fail(::GetLastError());
}

bool ControlService(SC_HANDLE hService, uint32_t dwControl, SERVICE_STATUS* lpServiceStatus) {
    ::SERVICE_STATUS status{};
    const bool ok = ::ControlService(System(hService), dwControl, &status);
    const DWORD dwError = ::GetLastError();
    if (lpServiceStatus)
        *lpServiceStatus = Status(status);
    return ok || Fail(dwError);
}

bool QueryServiceStatus(SC_HANDLE hService, SERVICE_STATUS* lpServiceStatus) {
    ::SERVICE_STATUS status{};
    if (!::QueryServiceStatus(System(hService), &status))
        return Fail(::GetLastError());
    *lpServiceStatus = Status(status);
    return true;
}

bool EnumDependentServices(SC_HANDLE hService, uint32_t dwServiceState,
                           ENUM_SERVICE_STATUS* lpServices, uint32_t cbBufSize,
                           uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned) {
    DWORD dwNeeded = 0, dwCount = 0;
    std::vector<uint64_t> buffer(1);
    while (!::EnumDependentServicesA(System(hService), dwServiceState,
                                     reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data()),
                                     DWORD(buffer.size() * 8), &dwNeeded, &dwCount)) {
        if (::GetLastError() != ERROR_MORE_DATA)
            return Fail(::GetLastError());
        buffer.resize((dwNeeded + 7) / 8 + 1);
    }
    std::vector<ENUM_SERVICE_STATUS> all;
    Append(reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data()), dwCount, &all);
    return HandOn(std::move(all), lpServices, cbBufSize, pcbBytesNeeded, lpServicesReturned);
}

bool EnumServicesStatus(SC_HANDLE hSCManager, uint32_t dwServiceType, uint32_t dwServiceState,
                        ENUM_SERVICE_STATUS* lpServices, uint32_t cbBufSize,
                        uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned) {
    std::vector<ENUM_SERVICE_STATUS> all;
    std::vector<uint64_t> buffer(8192);
    DWORD dwResume = 0;
    for (;;) {
        DWORD dwNeeded = 0, dwCount = 0;
        auto* p = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
        const bool bDone =
            ::EnumServicesStatusA(System(hSCManager), dwServiceType, dwServiceState, p,
                                  DWORD(buffer.size() * 8), &dwNeeded, &dwCount, &dwResume);
        if (!bDone && ::GetLastError() != ERROR_MORE_DATA)
            return Fail(::GetLastError());
        Append(p, dwCount, &all);
        if (bDone)
            break;
        if (dwCount == 0)
            buffer.resize((dwNeeded + 7) / 8 + 1);
    }
    std::sort(all.begin(), all.end(),
              [](const ENUM_SERVICE_STATUS& a, const ENUM_SERVICE_STATUS& b) {
                  return ::_stricmp(a.lpServiceName.c_str(), b.lpServiceName.c_str()) < 0;
              });
    return HandOn(std::move(all), lpServices, cbBufSize, pcbBytesNeeded, lpServicesReturned);
}

bool IsServiceRunning(const std::string& csServiceName) {
    ::SC_HANDLE hManager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!hManager)
        return false;
    ::SC_HANDLE hService = ::OpenServiceA(hManager, csServiceName.c_str(), SERVICE_QUERY_STATUS);
    ::SERVICE_STATUS status{};
    const bool bRunning = hService && ::QueryServiceStatus(hService, &status) &&
                          status.dwCurrentState == SERVICE_RUNNING;
    if (hService)
        ::CloseServiceHandle(hService);
    ::CloseServiceHandle(hManager);
    return bRunning;
}

int TerminateAllServices() {
    // The machine's services are the machine's: nothing is switched off here.
    Fail(ERROR_NOT_SUPPORTED);
    return 0;
}

bool ServeServiceStarts(const std::atomic<bool>&, const std::function<void()>&) {
    // The service control manager starts every service as its own account.
    return Fail(ERROR_NOT_SUPPORTED);
}

} // namespace platform
