// CSsdpSocket: the UDP endpoint for SSDP. The listener binds one to port 1900
// and receives the multicast advertisements of the group; a discovery run binds
// one to an ephemeral port, multicasts its search and collects the answers.
//
// Until a receive has succeeded, every receive first joins the multicast group.
// A receive keeps the buffer's last byte for the terminating NUL: a datagram of
// iBufferLen bytes or more is dropped (traced) and the next one is received, so
// a caller never sees a cut message.
#pragma once

#include "platform/sockets.h"

#include <cstdint>
#include <string>

class CSsdpSocket {
public:
    CSsdpSocket();
    virtual ~CSsdpSocket();
    CSsdpSocket(const CSsdpSocket&) = delete;
    CSsdpSocket& operator=(const CSsdpSocket&) = delete;

    bool Init(int iLocalPort);
    bool Receive(const std::string& csListenAddr, char* pszBuffer, int iBufferLen,
                 std::string* pcsIpAddress, std::string* pcsHostName);
    // A time-out counts as success: the buffer is then all zeros and the
    // address and host name are left as they were.
    bool TimedReceive(const std::string& csListenAddr, long lTimeout, char* pszBuffer,
                      int iBufferLen, std::string* pcsIpAddress, std::string* pcsHostName);
    bool Send(int iSendTTL, int iDestPort, const std::string& csDestAddr,
              const std::string& csData);
    void CleanUp();
    // Room for a burst of datagrams that arrive faster than they are read.
    bool SetReceiveBufferSize(int iBytes);
    // From another thread: ends a blocked receive (the socket stays open until CleanUp).
    void Interrupt();

    // The bound local port (tests and the discovery run's traces), or -1.
    int GetLocalPort() const;

private:
    // One datagram that fits, into the zeroed buffer; false on a failed receive.
    bool ReceiveFitting(const char* pszRoutine, char* pszBuffer, int iBufferLen,
                        std::string* pcsIpAddress, std::string* pcsHostName);

    bool m_bWinsockStarted = false;
    bool m_bInitialized = false;
    platform::SOCKET m_hSocket = platform::INVALID_SOCKET;
    bool m_bReceived = false;
};

// The SSDP multicast group and port.
inline constexpr const char SSDP_MULTICAST_ADDR[] = "239.255.255.250";
inline constexpr int SSDP_PORT = 1900;
