// CListenThread: the SSDP listener.
#include "service/ListenThread.h"

#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "service/Adverts.h"
#include "service/ThreadData.h"
#include "service/TraceText.h"

#include <chrono>
#include <thread>

using namespace platform;

namespace {

constexpr int kBufferLen = 1000;
// A thousand printers announcing at once must not overflow the socket while
// the listener looks their names up: room for several thousand datagrams.
constexpr int kSocketBufferBytes = 8 * 1024 * 1024;
// After this many passing failures in a row the listener pauses between
// receives, so that a lasting condition (no network yet) does not spin.
constexpr int kFailuresBeforePause = 3;
constexpr auto kFailurePause = std::chrono::milliseconds(500);

} // namespace

CListenThread::CListenThread(CAdverts* pAdverts, int iPort) : m_pAdverts(pAdverts), m_iPort(iPort) {
    CTraceScope scope("CListenThread::CListenThread", TRACE_DET);
}

CListenThread::~CListenThread() {
    CTraceScope scope("CListenThread::~CListenThread", TRACE_DET);
}

bool CListenThread::IsPassingError(uint32_t dwError) {
    switch (dwError) {
    case WSAEINTR:
    case WSAENOBUFS:
    case WSAECONNRESET:
    case WSAENETDOWN:
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAEMSGSIZE:
    case WSAETIMEDOUT:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_GEN_FAILURE:
        return true;
    default:
        return false;
    }
}

void CListenThread::Listen() {
    CTraceScope scope("CListenThread::Listen");
    CSsdpSocket socket;
    {
        std::lock_guard lock(m_socketMutex);
        m_pSocket = &socket;
    }
    CThrottledWarning failureWarning;
    if (socket.Init(m_iPort)) {
        if (!socket.SetReceiveBufferSize(kSocketBufferBytes))
            scope.Wrn("Receive buffer not enlarged. Error: (%d)", int(GetLastError()));
        scope.Inf("Listening on port %d", m_iPort);
        char szBuffer[kBufferLen];
        int nFailures = 0;
        while (!m_bStop) {
            szBuffer[0] = '\0';
            std::string csIpAddress, csHostName;
            if (!socket.Receive(SSDP_MULTICAST_ADDR, szBuffer, kBufferLen, &csIpAddress,
                                &csHostName)) {
                const uint32_t dwError = GetLastError();
                if (m_bStop)
                    break;
                if (!IsPassingError(dwError)) {
                    scope.Err("Receive failed for good, listening ends. "
                              "Error: (%d)",
                              int(dwError));
                    break;
                }
                failureWarning.Occurred(scope.Prefixed("Receive failed, listening goes "
                                                       "on. Error: (" +
                                                       std::to_string(dwError) + ")"));
                if (++nFailures >= kFailuresBeforePause)
                    std::this_thread::sleep_for(kFailurePause);
                continue;
            }
            nFailures = 0;
            if (m_bStop)
                break;
            if (TraceOn(TRACE_DET))
                scope.Det("Data received:\n%s", IndentForTrace(szBuffer).c_str());
            m_pAdverts->Add(SAdvert{csHostName, csIpAddress, szBuffer});
        }
    }
    std::lock_guard lock(m_socketMutex);
    m_pSocket = nullptr;
}

void CListenThread::Stop() {
    m_bStop = true;
    // A shut socket ends the blocked receive.
    std::lock_guard lock(m_socketMutex);
    if (m_pSocket)
        m_pSocket->Interrupt();
}

uint32_t ListenThreadProc(SThreadData* pData) {
    CTraceScope scope("ListenThreadProc", TRACE_DET);
    CListenThread listener(pData->pAdverts);
    listener.Listen();
    return 0;
}
