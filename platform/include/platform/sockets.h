// Sockets: UDP with multicast membership, TCP streams, and the reverse look-up
// of an address, as the Windows Sockets 1.1 interface offers them.
//
// Addresses are IPv4 texts in dotted form ("" binds to any local address).
// Failures return false (or -1) and leave the Windows Sockets error number as
// the last error: 10060 for a time-out, 10061 for a refused connection, 10048
// for a port in use, ...; the POSIX side translates errno in the platform's one
// error table (error.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;

// Directions of ShutdownSocket.
enum : int { SD_RECEIVE = 0, SD_SEND = 1, SD_BOTH = 2 };

enum class SocketKind { Datagram, Stream };

// The four bytes of a dotted IPv4 address in network order; false (and no
// error set) when the text is no such address.
bool ParseIPv4Address(const std::string& csAddr, uint8_t abAddress[4]);

// Each user of the interface starts and stops it (WSAStartup/WSACleanup with
// version 1.1). Nothing needs starting on POSIX; the calls always succeed.
bool WSAStartup();
void WSACleanup();

// A new socket of the internet family, not inherited by child programs. A
// datagram socket may share its port with any other that asks for reuse, as a
// Windows one does (on POSIX every datagram socket asks for it at creation).
SOCKET CreateSocket(SocketKind eKind);
bool CloseSocket(SOCKET s);
bool ShutdownSocket(SOCKET s, int iHow);

bool BindSocket(SOCKET s, const std::string& csAddr, uint16_t uPort);
bool SetReuseAddress(SOCKET s, bool bReuse);
// The local port a socket is bound to (after binding to port 0), or -1.
int GetLocalPort(SOCKET s);

// Multicast: join csGroup on the interface of csInterface ("" lets the system
// choose; joining again a group the socket is a member of succeeds), the
// time-to-live of sent datagrams.
bool JoinMulticastGroup(SOCKET s, const std::string& csGroup, const std::string& csInterface = "");
bool SetMulticastTtl(SOCKET s, int iTtl);

// Time-outs of every later receive or send (0: wait without limit). A receive
// that runs out of time fails with 10060.
bool SetReceiveTimeout(SOCKET s, uint32_t dwMilliseconds);
bool SetSendTimeout(SOCKET s, uint32_t dwMilliseconds);

// Room for received datagrams not yet read (a burst of advertisements). A
// privileged process may go beyond the system's default limit.
bool SetReceiveBufferSize(SOCKET s, int iBytes);

// One datagram into pBuffer. Returns the number of bytes stored, or -1. A
// datagram longer than iBufferLen is cut to it, its rest is lost, and
// *pnFullLength (when given) tells its real length.
int ReceiveFrom(SOCKET s, char* pBuffer, int iBufferLen, std::string* pcsAddr, uint16_t* puPort,
                size_t* pnFullLength = nullptr);
// One datagram to csAddr:uPort; with csSource set it leaves from that local
// address (without binding the socket to it).
bool SendTo(SOCKET s, const char* pData, size_t nLength, const std::string& csAddr, uint16_t uPort,
            const std::string& csSource = "");

// Connects a stream socket, giving up after dwMilliseconds (0: the system's own limit).
bool ConnectSocket(SOCKET s, const std::string& csAddr, uint16_t uPort, uint32_t dwMilliseconds);
// Sends all of the data; false when the connection failed or the send time-out passed.
bool SendAll(SOCKET s, const char* pData, size_t nLength);
// Receives what is there, at most iBufferLen bytes: the count, 0 when the peer
// closed, -1 on failure.
int Receive(SOCKET s, char* pBuffer, int iBufferLen);

// The IPv4 address that the machine's hosts file gives csName (/etc/hosts on
// POSIX, drivers\etc\hosts in the system directory on Windows); no name
// service is asked. False (no error set) when no line of the file names it or
// the file cannot be read.
bool LookUpHostsFile(const std::string& csName, uint8_t abAddress[4]);

// The official name of the host at csAddr from the system's reverse look-up.
// False when there is none (11004 or 11001).
bool GetHostByAddr(const std::string& csAddr, std::string* pcsName);

} // namespace platform
