// CHttpSocket: one TCP connection to a printer.
#include "service/HttpSocket.h"

#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"

#include <cstring>

using namespace platform;

CHttpSocket::CHttpSocket() {
    CTraceScope scope("CHttpSocket::CHttpSocket", TRACE_DET);
    m_bWinsockStarted = WSAStartup();
    if (!m_bWinsockStarted)
        scope.Err("Error initializing Winsock: (%d)", int(GetLastError()));
}

CHttpSocket::~CHttpSocket() {
    CTraceScope scope("CHttpSocket::~CHttpSocket", TRACE_DET);
    if (m_hSocket != INVALID_SOCKET) {
        if (m_bReceived)
            ShutdownSocket(m_hSocket, SD_RECEIVE);
        if (m_bSent)
            ShutdownSocket(m_hSocket, SD_SEND);
        CloseSocket();
    }
    if (m_bWinsockStarted)
        WSACleanup();
}

void CHttpSocket::CloseSocket() {
    platform::CloseSocket(m_hSocket);
    m_hSocket = INVALID_SOCKET;
    m_bInitialized = false;
}

bool CHttpSocket::Init(const std::string& csAddress, int iPort) {
    CTraceScope scope("CHttpSocket::Init", TRACE_DET);
    m_bInitialized = m_bWinsockStarted;
    if (!m_bInitialized) {
        scope.Result(false);
        return false;
    }
    m_hSocket = CreateSocket(SocketKind::Stream);
    if (m_hSocket == INVALID_SOCKET) {
        scope.Err("Allocating socket failed! Error: (%d)", int(GetLastError()));
        m_bInitialized = false;
        scope.Result(false);
        return false;
    }
    if (iPort < 0 || iPort > 65535 ||
        !ConnectSocket(m_hSocket, csAddress, uint16_t(iPort), ScaledDelay(kConnectTimeoutMs)) ||
        !SetReceiveTimeout(m_hSocket, ScaledDelay(kReceiveTimeoutMs)) ||
        !SetSendTimeout(m_hSocket, ScaledDelay(kReceiveTimeoutMs))) {
        if (iPort < 0 || iPort > 65535)
            SetLastError(WSAEINVAL);
        scope.Err("Connecting socket failed! Error: (%d)", int(GetLastError()));
        CloseSocket();
        scope.Result(false);
        return false;
    }
    scope.Result(true);
    return true;
}

bool CHttpSocket::Send(const std::string& csData) {
    CTraceScope scope("CHttpSocket::Send", TRACE_DET);
    if (!m_bInitialized) {
        scope.Err("Send attempted when not initialized");
        scope.Result(false);
        return false;
    }
    if (!SendAll(m_hSocket, csData.data(), csData.size())) {
        scope.Err("send failed! Error: (%d)", int(GetLastError()));
        CloseSocket();
        scope.Result(false);
        return false;
    }
    m_bSent = true;
    scope.Result(true);
    return true;
}

int CHttpSocket::Receive(char* pszBuffer, int iBufferLen) {
    CTraceScope scope("CHttpSocket::Receive", TRACE_DET);
    if (!m_bInitialized) {
        scope.Err("Receive attempted when not initialized");
        scope.Result("%d", -1);
        return -1;
    }
    std::memset(pszBuffer, 0, size_t(iBufferLen));
    int n = platform::Receive(m_hSocket, pszBuffer, iBufferLen);
    if (n < 0) {
        scope.Err("recv failed! Error: (%d)", int(GetLastError()));
        CloseSocket();
    } else {
        m_bReceived = true;
    }
    scope.Result("%d", n);
    return n;
}
