// CServiceHandles and StartServiceAndWait: see common/ServiceControl.h.
#include "common/ServiceControl.h"

#include "platform/clock.h"

#include <chrono>

using namespace platform;

CServiceHandles::CServiceHandles() {
    m_hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!m_hManager)
        m_pszFailedCall = "OpenSCManager";
}

CServiceHandles::CServiceHandles(const std::string& csServiceName) : CServiceHandles() {
    OpenService(csServiceName);
}

CServiceHandles::~CServiceHandles() {
    if (m_hService)
        CloseServiceHandle(m_hService);
    if (m_hManager)
        CloseServiceHandle(m_hManager);
}

bool CServiceHandles::OpenService(const std::string& csServiceName) {
    if (!m_hManager || m_hService)
        return false;
    m_hService = platform::OpenService(m_hManager, csServiceName, SERVICE_ALL_ACCESS);
    if (!m_hService)
        m_pszFailedCall = "OpenService";
    return m_hService != nullptr;
}

bool SleepWaitHint(SC_HANDLE hService, SERVICE_STATUS* pStatus) {
    Sleep(pStatus->dwWaitHint);
    SERVICE_STATUS latest;
    if (!QueryServiceStatus(hService, &latest))
        return false;
    *pStatus = latest;
    return true;
}

EServiceStart StartServiceAndWait(SC_HANDLE hService, SERVICE_STATUS* pStatus,
                                  const SServiceStartWait& how) {
    if (!StartService(hService, 0, nullptr))
        return EServiceStart::eStartFailed;
    if (!QueryServiceStatus(hService, pStatus))
        return EServiceStart::eQueryFailed;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(how.dwLimitMs);
    while (pStatus->dwCurrentState == SERVICE_START_PENDING) {
        if (how.dwLimitMs != 0 && std::chrono::steady_clock::now() >= deadline)
            return EServiceStart::eOutOfTime;
        const uint32_t dwOldCheckPoint = pStatus->dwCheckPoint;
        SERVICE_STATUS latest = *pStatus;
        if (!(how.waitRound ? how.waitRound(hService, &latest) : SleepWaitHint(hService, &latest)))
            return EServiceStart::eWaitQueryFailed;
        *pStatus = latest;
        if (pStatus->dwCurrentState == SERVICE_START_PENDING &&
            pStatus->dwCheckPoint <= dwOldCheckPoint)
            return EServiceStart::eStalled;
    }
    return EServiceStart::eLeftPending;
}
