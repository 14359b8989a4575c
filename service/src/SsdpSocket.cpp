// CSsdpSocket: the UDP endpoint for SSDP.
#include "service/SsdpSocket.h"

#include "common/Trace.h"
#include "platform/error.h"
#include "service/TraceText.h"

#include <cstring>

using namespace platform;

namespace {

// Oversized datagrams may come in floods: one warning now and then.
CThrottledWarning g_oversizedWarning;

} // namespace

CSsdpSocket::CSsdpSocket() {
    CTraceScope scope("CSsdpSocket::CSsdpSocket");
    m_bWinsockStarted = WSAStartup();
    if (!m_bWinsockStarted)
        scope.Err("Error initializing Winsock: (%d)", int(GetLastError()));
}

CSsdpSocket::~CSsdpSocket() {
    CTraceScope scope("CSsdpSocket::~CSsdpSocket");
    CleanUp();
}

bool CSsdpSocket::Init(int iLocalPort) {
    CTraceScope scope("CSsdpSocket::Init");
    scope.Det(" (iLocalPort=%d)", iLocalPort);
    m_hSocket = INVALID_SOCKET;
    if (!m_bWinsockStarted) {
        scope.Result("(%s)", "failure");
        return false;
    }
    m_bInitialized = true;
    m_hSocket = CreateSocket(SocketKind::Datagram);
    if (m_hSocket == INVALID_SOCKET) {
        scope.Err("Allocating socket failed! Error: (%d)", int(GetLastError()));
        m_bInitialized = false;
    } else if (!BindSocket(m_hSocket, "", uint16_t(iLocalPort))) {
        // Another SSDP stack holds the port: share it.
        if (!SetReuseAddress(m_hSocket, true)) {
            scope.Err("SetSockOpt failed! Error: (%d)", int(GetLastError()));
            m_bInitialized = false;
        }
        if (!BindSocket(m_hSocket, "", uint16_t(iLocalPort))) {
            scope.Err("Binding socket failed! Error: (%d)", int(GetLastError()));
            m_bInitialized = false;
        }
    }
    scope.Result("(%s)", m_bInitialized ? "success" : "failure");
    return m_bInitialized;
}

bool CSsdpSocket::ReceiveFitting(const char* pszRoutine, char* pszBuffer, int iBufferLen,
                                 std::string* pcsIpAddress, std::string* pcsHostName) {
    for (;;) {
        std::memset(pszBuffer, 0, size_t(iBufferLen));
        std::string csAddr;
        size_t nFull = 0;
        // The last byte stays free for the terminating NUL.
        int n = ReceiveFrom(m_hSocket, pszBuffer, iBufferLen - 1, &csAddr, nullptr, &nFull);
        if (n < 0)
            return false;
        if (nFull >= size_t(iBufferLen)) {
            std::memset(pszBuffer, 0, size_t(iBufferLen));
            g_oversizedWarning.Occurred(std::string("(") + pszRoutine +
                                        ")Dropped datagram too long for the buffer from " + csAddr);
            continue;
        }
        m_bReceived = true;
        *pcsIpAddress = csAddr;
        std::string csHost;
        if (GetHostByAddr(csAddr, &csHost))
            *pcsHostName = csHost;
        return true;
    }
}

bool CSsdpSocket::Receive(const std::string& csListenAddr, char* pszBuffer, int iBufferLen,
                          std::string* pcsIpAddress, std::string* pcsHostName) {
    CTraceScope scope("CSsdpSocket::Receive");
    scope.Det(" (csListenAddr=%s) (iBufferLen=%d)", csListenAddr.c_str(), iBufferLen);
    if (!m_bInitialized) {
        scope.Err("Attempt to receive yet not initialized");
        scope.Result(false);
        return false;
    }
    if (!m_bReceived && !JoinMulticastGroup(m_hSocket, csListenAddr)) {
        scope.Err("setsockopt failed! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    if (iBufferLen < 2 ||
        !ReceiveFitting("CSsdpSocket::Receive", pszBuffer, iBufferLen, pcsIpAddress, pcsHostName)) {
        if (iBufferLen < 2)
            SetLastError(WSAEFAULT);
        scope.Err("recvfrom failed! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    if (TraceOn(TRACE_DET))
        scope.Det(" (pcsIpAddress=%s) (pcsHostName=%s) (pszBuffer=\n%s)", pcsIpAddress->c_str(),
                  pcsHostName->c_str(), IndentForTrace(pszBuffer).c_str());
    scope.Result(true);
    return true;
}

bool CSsdpSocket::TimedReceive(const std::string& csListenAddr, long lTimeout, char* pszBuffer,
                               int iBufferLen, std::string* pcsIpAddress,
                               std::string* pcsHostName) {
    CTraceScope scope("CSsdpSocket::TimedReceive");
    scope.Det(" (csListenAddr=%s) (lTimeout=%d) (iBufferLen=%d)", csListenAddr.c_str(),
              int(lTimeout), iBufferLen);
    if (!m_bInitialized) {
        scope.Err("Attempt to receive yet not initialized");
        scope.Result(false);
        return false;
    }
    if (!m_bReceived && !JoinMulticastGroup(m_hSocket, csListenAddr)) {
        scope.Err("setsockopt failed joining multicast group! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    if (!SetReceiveTimeout(m_hSocket, lTimeout > 0 ? uint32_t(lTimeout) : 1)) {
        scope.Err("setsockopt failed setting timeout! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    if (iBufferLen < 2) {
        SetLastError(WSAEFAULT);
        scope.Err("recvfrom failed! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    if (!ReceiveFitting("CSsdpSocket::TimedReceive", pszBuffer, iBufferLen, pcsIpAddress,
                        pcsHostName)) {
        if (GetLastError() == WSAETIMEDOUT) {
            std::memset(pszBuffer, 0, size_t(iBufferLen));
            scope.Inf("recvfrom timed out");
            scope.Result(true);
            return true;
        }
        scope.Err("recvfrom failed! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    if (TraceOn(TRACE_DET))
        scope.Det(" (pcsIpAddress=%s) (pcsHostName=%s) (pszBuffer=\n%s)", pcsIpAddress->c_str(),
                  pcsHostName->c_str(), IndentForTrace(pszBuffer).c_str());
    scope.Result(true);
    return true;
}

bool CSsdpSocket::Send(int iSendTTL, int iDestPort, const std::string& csDestAddr,
                       const std::string& csData) {
    CTraceScope scope("CSsdpSocket::Send");
    if (TraceOn(TRACE_DET))
        scope.Det(" (iSendTTL=%d) (iDestPort=%d) (csDestAddr=%s) (csData=\n%s)", iSendTTL,
                  iDestPort, csDestAddr.c_str(), IndentForTrace(csData).c_str());
    if (!m_bInitialized) {
        scope.Err("Attempt to send yet not initialized");
        scope.Result(false);
        return false;
    }
    if (!SetMulticastTtl(m_hSocket, iSendTTL)) {
        scope.Err("setsockopt failed! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    if (!SendTo(m_hSocket, csData.data(), csData.size(), csDestAddr, uint16_t(iDestPort))) {
        scope.Err("sendto failed! Error: (%d)", int(GetLastError()));
        scope.Result(false);
        return false;
    }
    scope.Result(true);
    return true;
}

void CSsdpSocket::CleanUp() {
    CTraceScope scope("CSsdpSocket::CleanUp");
    if (m_hSocket != INVALID_SOCKET) {
        ShutdownSocket(m_hSocket, SD_RECEIVE);
        ShutdownSocket(m_hSocket, SD_SEND);
        CloseSocket(m_hSocket);
        m_hSocket = INVALID_SOCKET;
    }
    m_bInitialized = false;
    if (m_bWinsockStarted) {
        WSACleanup();
        m_bWinsockStarted = false;
    }
}

bool CSsdpSocket::SetReceiveBufferSize(int iBytes) {
    return m_hSocket != INVALID_SOCKET && platform::SetReceiveBufferSize(m_hSocket, iBytes);
}

void CSsdpSocket::Interrupt() {
    if (m_hSocket != INVALID_SOCKET)
        ShutdownSocket(m_hSocket, SD_BOTH);
}

int CSsdpSocket::GetLocalPort() const {
    return m_hSocket == INVALID_SOCKET ? -1 : platform::GetLocalPort(m_hSocket);
}
