// CHttpSocket: one TCP connection to a printer for an HTTP query.
//
// A printer lies outside the system and may misbehave: the connect and every
// receive have a time-out (kConnectTimeoutMs, kReceiveTimeoutMs, both scaled
// with the system's delays), so a printer that never answers cannot hold the
// request thread.
#pragma once

#include "platform/sockets.h"

#include <cstdint>
#include <string>

class CHttpSocket {
public:
    static constexpr uint32_t kConnectTimeoutMs = 3000;
    static constexpr uint32_t kReceiveTimeoutMs = 5000;

    CHttpSocket();
    virtual ~CHttpSocket();
    CHttpSocket(const CHttpSocket&) = delete;
    CHttpSocket& operator=(const CHttpSocket&) = delete;

    // Connects to csAddress:iPort; the connected flag.
    bool Init(const std::string& csAddress, int iPort);
    bool Send(const std::string& csData);
    // The count received, 0 when the printer closed, -1 on failure (a time-out among them).
    int Receive(char* pszBuffer, int iBufferLen);

private:
    void CloseSocket();

    bool m_bWinsockStarted = false;
    bool m_bInitialized = false;
    platform::SOCKET m_hSocket = platform::INVALID_SOCKET;
    bool m_bReceived = false;
    bool m_bSent = false;
};
