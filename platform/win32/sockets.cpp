// Sockets on Windows Sockets 2. The system's own numbers are the last error;
// a socket is kept as an int, which holds it whole (kernel handles keep their
// meaning in 32 bits, for 32- and 64-bit programs to share them).
#include "platform/sockets.h"
#include "hosts_file.h"
#include "platform/error.h"
#include "platform/os.h"

#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "windows_api.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace platform {

namespace {

// The system's invalid socket (its INVALID_SOCKET macro reads the platform's type here).
constexpr ::SOCKET kInvalidOsSocket = ~::SOCKET(0);

::SOCKET Os(SOCKET s) {
    return ::SOCKET(intptr_t(s));
}

bool FailWsa() {
    return Fail(uint32_t(::WSAGetLastError()));
}

bool MakeAddress(const std::string& csAddr, uint16_t uPort, sockaddr_in* pAddr) {
    *pAddr = sockaddr_in{};
    pAddr->sin_family = AF_INET;
    pAddr->sin_port = htons(uPort);
    if (csAddr.empty()) {
        pAddr->sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (::inet_pton(AF_INET, csAddr.c_str(), &pAddr->sin_addr) != 1)
        return Fail(WSAEINVAL);
    return true;
}

std::string AddressText(const in_addr& addr) {
    char szText[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &addr, szText, sizeof szText);
    return szText;
}

bool SetOption(SOCKET s, int iLevel, int iName, const void* pValue, int nLength) {
    if (::setsockopt(Os(s), iLevel, iName, static_cast<const char*>(pValue), nLength) != 0)
        return FailWsa();
    return true;
}

// WSASendMsg, for a datagram that leaves from a given local address.
LPFN_WSASENDMSG SendMsgFunction(::SOCKET s) {
    GUID guid = WSAID_WSASENDMSG;
    LPFN_WSASENDMSG pfn = nullptr;
    DWORD dwBytes = 0;
    if (::WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &guid, sizeof guid, &pfn, sizeof pfn,
                   &dwBytes, nullptr, nullptr) != 0)
        return nullptr;
    return pfn;
}

} // namespace

bool WSAStartup() {
    WSADATA data;
    const int rc = ::WSAStartup(MAKEWORD(2, 2), &data);
    return rc == 0 || Fail(uint32_t(rc));
}

void WSACleanup() {
    ::WSACleanup();
}

SOCKET CreateSocket(SocketKind eKind) {
    const bool bDatagram = eKind == SocketKind::Datagram;
    ::SOCKET s = ::WSASocketW(AF_INET, bDatagram ? SOCK_DGRAM : SOCK_STREAM,
                              bDatagram ? IPPROTO_UDP : IPPROTO_TCP, nullptr, 0,
                              WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == kInvalidOsSocket) {
        FailWsa();
        return INVALID_SOCKET;
    }
    return SOCKET(intptr_t(s));
}

bool CloseSocket(SOCKET s) {
    return ::closesocket(Os(s)) == 0 || FailWsa();
}

bool ShutdownSocket(SOCKET s, int iHow) {
    return ::shutdown(Os(s), iHow) == 0 || FailWsa();
}

bool BindSocket(SOCKET s, const std::string& csAddr, uint16_t uPort) {
    sockaddr_in addr;
    if (!MakeAddress(csAddr, uPort, &addr))
        return false;
    return ::bind(Os(s), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 || FailWsa();
}

bool SetReuseAddress(SOCKET s, bool bReuse) {
    BOOL bValue = bReuse;
    return SetOption(s, SOL_SOCKET, SO_REUSEADDR, &bValue, sizeof bValue);
}

int GetLocalPort(SOCKET s) {
    sockaddr_in addr{};
    int nLength = sizeof addr;
    if (::getsockname(Os(s), reinterpret_cast<sockaddr*>(&addr), &nLength) != 0) {
        FailWsa();
        return -1;
    }
    return ntohs(addr.sin_port);
}

bool JoinMulticastGroup(SOCKET s, const std::string& csGroup, const std::string& csInterface) {
    sockaddr_in group, iface;
    if (csGroup.empty() || !MakeAddress(csGroup, 0, &group) || !MakeAddress(csInterface, 0, &iface))
        return Fail(WSAEINVAL);
    ip_mreq mreq{};
    mreq.imr_multiaddr = group.sin_addr;
    mreq.imr_interface = iface.sin_addr;
    // Asking again for a membership the socket holds is no failure.
    if (::setsockopt(Os(s), IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&mreq),
                     sizeof mreq) != 0 &&
        ::WSAGetLastError() != WSAEADDRINUSE)
        return FailWsa();
    return true;
}

bool SetMulticastTtl(SOCKET s, int iTtl) {
    DWORD dwTtl = DWORD(iTtl);
    return SetOption(s, IPPROTO_IP, IP_MULTICAST_TTL, &dwTtl, sizeof dwTtl);
}

bool SetReceiveTimeout(SOCKET s, uint32_t dwMilliseconds) {
    DWORD dwValue = dwMilliseconds;
    return SetOption(s, SOL_SOCKET, SO_RCVTIMEO, &dwValue, sizeof dwValue);
}

bool SetSendTimeout(SOCKET s, uint32_t dwMilliseconds) {
    DWORD dwValue = dwMilliseconds;
    return SetOption(s, SOL_SOCKET, SO_SNDTIMEO, &dwValue, sizeof dwValue);
}

bool SetReceiveBufferSize(SOCKET s, int iBytes) {
    return SetOption(s, SOL_SOCKET, SO_RCVBUF, &iBytes, sizeof iBytes);
}

int ReceiveFrom(SOCKET s, char* pBuffer, int iBufferLen, std::string* pcsAddr, uint16_t* puPort,
                size_t* pnFullLength) {
    if (!pBuffer || iBufferLen < 0) {
        Fail(WSAEFAULT);
        return -1;
    }
    // Windows tells a cut datagram only by WSAEMSGSIZE, not its length: take
    // it whole into room for the largest one, then hand out its start.
    std::vector<char> datagram(65536);
    sockaddr_in from{};
    int nFromLength = sizeof from;
    const int n = ::recvfrom(Os(s), datagram.data(), int(datagram.size()), 0,
                             reinterpret_cast<sockaddr*>(&from), &nFromLength);
    if (n < 0) {
        FailWsa();
        return -1;
    }
    const int nStored = n > iBufferLen ? iBufferLen : n;
    std::copy(datagram.begin(), datagram.begin() + nStored, pBuffer);
    if (pnFullLength)
        *pnFullLength = size_t(n);
    if (pcsAddr)
        *pcsAddr = AddressText(from.sin_addr);
    if (puPort)
        *puPort = ntohs(from.sin_port);
    return nStored;
}

bool SendTo(SOCKET s, const char* pData, size_t nLength, const std::string& csAddr, uint16_t uPort,
            const std::string& csSource) {
    sockaddr_in to;
    if (!MakeAddress(csAddr, uPort, &to))
        return false;
    if (nLength > 65507)
        return Fail(WSAEMSGSIZE);
    if (csSource.empty()) {
        const int n =
            ::sendto(Os(s), pData, int(nLength), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (n < 0)
            return FailWsa();
        return size_t(n) == nLength || Fail(WSAEMSGSIZE);
    }
    sockaddr_in source;
    if (!MakeAddress(csSource, 0, &source))
        return false;
    LPFN_WSASENDMSG pfnSendMsg = SendMsgFunction(Os(s));
    if (!pfnSendMsg)
        return FailWsa();
    WSABUF buffer{ULONG(nLength), const_cast<char*>(pData)};
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSAMSG msg{};
    msg.name = reinterpret_cast<sockaddr*>(&to);
    msg.namelen = sizeof to;
    msg.lpBuffers = &buffer;
    msg.dwBufferCount = 1;
    msg.Control = {sizeof control, control};
    WSACMSGHDR* pHeader = WSA_CMSG_FIRSTHDR(&msg);
    pHeader->cmsg_level = IPPROTO_IP;
    pHeader->cmsg_type = IP_PKTINFO;
    pHeader->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
    IN_PKTINFO info{};
    info.ipi_addr = source.sin_addr;
    std::memcpy(WSA_CMSG_DATA(pHeader), &info, sizeof info);
    DWORD dwSent = 0;
    if (pfnSendMsg(Os(s), &msg, 0, &dwSent, nullptr, nullptr) != 0)
        return FailWsa();
    return dwSent == nLength || Fail(WSAEMSGSIZE);
}

bool ConnectSocket(SOCKET s, const std::string& csAddr, uint16_t uPort, uint32_t dwMilliseconds) {
    sockaddr_in to;
    if (!MakeAddress(csAddr, uPort, &to))
        return false;
    u_long ulNonBlocking = 1;
    if (::ioctlsocket(Os(s), FIONBIO, &ulNonBlocking) != 0)
        return FailWsa();
    int iError = 0;
    if (::connect(Os(s), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        iError = ::WSAGetLastError();
    if (iError == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(Os(s), &writable);
        FD_SET(Os(s), &failed);
        timeval tv{long(dwMilliseconds / 1000), long(dwMilliseconds % 1000) * 1000};
        const int nReady = ::select(0, nullptr, &writable, &failed, dwMilliseconds ? &tv : nullptr);
        if (nReady == 0) {
            iError = WSAETIMEDOUT;
        } else if (nReady < 0) {
            iError = ::WSAGetLastError();
        } else if (FD_ISSET(Os(s), &failed)) {
            int nLength = sizeof iError;
            if (::getsockopt(Os(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&iError),
                             &nLength) != 0 ||
                iError == 0)
                iError = WSAECONNREFUSED;
        } else {
            iError = 0;
        }
    }
    ulNonBlocking = 0;
    ::ioctlsocket(Os(s), FIONBIO, &ulNonBlocking);
    return iError == 0 || Fail(uint32_t(iError));
}

bool SendAll(SOCKET s, const char* pData, size_t nLength) {
    size_t nDone = 0;
    while (nDone < nLength) {
        const size_t nChunk = std::min<size_t>(nLength - nDone, 1 << 30);
        const int n = ::send(Os(s), pData + nDone, int(nChunk), 0);
        if (n < 0)
            return FailWsa();
        nDone += size_t(n);
    }
    return true;
}

int Receive(SOCKET s, char* pBuffer, int iBufferLen) {
    if (!pBuffer || iBufferLen < 0) {
        Fail(WSAEFAULT);
        return -1;
    }
    const int n = ::recv(Os(s), pBuffer, iBufferLen, 0);
    if (n < 0) {
        FailWsa();
        return -1;
    }
    return n;
}

bool LookUpHostsFile(const std::string& csName, uint8_t abAddress[4]) {
    std::ifstream hosts(GetSystemDirectory() + "drivers\\etc\\hosts");
    return FindInHostsFile(hosts, csName, abAddress);
}

bool GetHostByAddr(const std::string& csAddr, std::string* pcsName) {
    sockaddr_in addr;
    if (!MakeAddress(csAddr, 0, &addr) || csAddr.empty())
        return Fail(WSAEINVAL);
    char szHost[NI_MAXHOST];
    const int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&addr), sizeof addr, szHost,
                                 sizeof szHost, nullptr, 0, NI_NAMEREQD);
    if (rc != 0)
        return Fail(rc == EAI_NONAME ? WSAHOST_NOT_FOUND : WSANO_DATA);
    *pcsName = szHost;
    return true;
}

} // namespace platform
