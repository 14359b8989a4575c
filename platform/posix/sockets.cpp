// Sockets over BSD sockets. Every failure leaves a Windows Sockets number as
// the last error (SocketErrorFromErrno), so callers and trace lines read alike.
#include "platform/sockets.h"

#include "hosts_file.h"
#include "platform/error.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

bool MakeAddress(const std::string& csAddr, uint16_t uPort, sockaddr_in* pAddr) {
    std::memset(pAddr, 0, sizeof *pAddr);
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

bool SetOption(SOCKET s, int iLevel, int iName, const void* pValue, socklen_t nLength) {
    if (::setsockopt(s, iLevel, iName, pValue, nLength) != 0)
        return FailSocketErrno();
    return true;
}

bool SetTimeout(SOCKET s, int iName, uint32_t dwMilliseconds) {
    timeval tv{};
    tv.tv_sec = time_t(dwMilliseconds / 1000);
    tv.tv_usec = suseconds_t(dwMilliseconds % 1000) * 1000;
    return SetOption(s, SOL_SOCKET, iName, &tv, sizeof tv);
}

} // namespace

bool WSAStartup() {
    return true;
}

void WSACleanup() {}

SOCKET CreateSocket(SocketKind eKind) {
    int iType = eKind == SocketKind::Datagram ? SOCK_DGRAM : SOCK_STREAM;
    SOCKET s = ::socket(AF_INET, iType | SOCK_CLOEXEC, 0);
    if (s < 0) {
        FailSocketErrno();
        return INVALID_SOCKET;
    }
    // Windows lets a second datagram socket that asks for reuse share a port
    // whatever the first one did; Linux shares only among sockets that all
    // asked. So every datagram socket here asks from the start.
    int iReuse = 1;
    if (eKind == SocketKind::Datagram &&
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &iReuse, sizeof iReuse) != 0) {
        FailSocketErrno();
        ::close(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool CloseSocket(SOCKET s) {
    if (::close(s) != 0)
        return FailSocketErrno();
    return true;
}

bool ShutdownSocket(SOCKET s, int iHow) {
    int iPosixHow = iHow == SD_RECEIVE ? SHUT_RD : iHow == SD_SEND ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(s, iPosixHow) != 0)
        return FailSocketErrno();
    return true;
}

bool BindSocket(SOCKET s, const std::string& csAddr, uint16_t uPort) {
    sockaddr_in addr;
    if (!MakeAddress(csAddr, uPort, &addr))
        return false;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return FailSocketErrno();
    return true;
}

bool SetReuseAddress(SOCKET s, bool bReuse) {
    int iValue = bReuse ? 1 : 0;
    return SetOption(s, SOL_SOCKET, SO_REUSEADDR, &iValue, sizeof iValue);
}

int GetLocalPort(SOCKET s) {
    sockaddr_in addr{};
    socklen_t nLength = sizeof addr;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &nLength) != 0) {
        FailSocketErrno();
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
    if (::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) != 0 &&
        errno != EADDRINUSE)
        return FailSocketErrno();
    return true;
}

bool SetMulticastTtl(SOCKET s, int iTtl) {
    return SetOption(s, IPPROTO_IP, IP_MULTICAST_TTL, &iTtl, sizeof iTtl);
}

bool SetReceiveTimeout(SOCKET s, uint32_t dwMilliseconds) {
    return SetTimeout(s, SO_RCVTIMEO, dwMilliseconds);
}

bool SetSendTimeout(SOCKET s, uint32_t dwMilliseconds) {
    return SetTimeout(s, SO_SNDTIMEO, dwMilliseconds);
}

bool SetReceiveBufferSize(SOCKET s, int iBytes) {
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &iBytes, sizeof iBytes) == 0)
        return true;
    return SetOption(s, SOL_SOCKET, SO_RCVBUF, &iBytes, sizeof iBytes);
}

int ReceiveFrom(SOCKET s, char* pBuffer, int iBufferLen, std::string* pcsAddr, uint16_t* puPort,
                size_t* pnFullLength) {
    if (!pBuffer || iBufferLen < 0) {
        Fail(WSAEFAULT);
        return -1;
    }
    sockaddr_in from{};
    socklen_t nFromLength = sizeof from;
    // MSG_TRUNC makes the call give the datagram's real length.
    ssize_t n = ::recvfrom(s, pBuffer, size_t(iBufferLen), MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&from), &nFromLength);
    if (n < 0) {
        FailSocketErrno();
        return -1;
    }
    if (pnFullLength)
        *pnFullLength = size_t(n);
    if (pcsAddr)
        *pcsAddr = AddressText(from.sin_addr);
    if (puPort)
        *puPort = ntohs(from.sin_port);
    return n > iBufferLen ? iBufferLen : int(n);
}

bool SendTo(SOCKET s, const char* pData, size_t nLength, const std::string& csAddr, uint16_t uPort,
            const std::string& csSource) {
    sockaddr_in to;
    if (!MakeAddress(csAddr, uPort, &to))
        return false;
    iovec iov{const_cast<char*>(pData), nLength};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (!csSource.empty()) {
        sockaddr_in source;
        if (!MakeAddress(csSource, 0, &source))
            return false;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* pHeader = CMSG_FIRSTHDR(&msg);
        pHeader->cmsg_level = IPPROTO_IP;
        pHeader->cmsg_type = IP_PKTINFO;
        pHeader->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst = source.sin_addr;
        std::memcpy(CMSG_DATA(pHeader), &info, sizeof info);
    }
    ssize_t n = ::sendmsg(s, &msg, MSG_NOSIGNAL);
    if (n < 0)
        return FailSocketErrno();
    if (size_t(n) != nLength)
        return Fail(WSAEMSGSIZE);
    return true;
}

bool ConnectSocket(SOCKET s, const std::string& csAddr, uint16_t uPort, uint32_t dwMilliseconds) {
    sockaddr_in to;
    if (!MakeAddress(csAddr, uPort, &to))
        return false;
    int iFlags = ::fcntl(s, F_GETFL);
    if (iFlags < 0 || ::fcntl(s, F_SETFL, iFlags | O_NONBLOCK) != 0)
        return FailSocketErrno();
    int rc = ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    int iError = rc == 0 ? 0 : errno;
    if (iError == EINPROGRESS) {
        pollfd pfd{s, POLLOUT, 0};
        int iWait = dwMilliseconds == 0 ? -1 : int(dwMilliseconds);
        int nReady;
        do
            nReady = ::poll(&pfd, 1, iWait);
        while (nReady < 0 && errno == EINTR);
        if (nReady == 0) {
            iError = ETIMEDOUT;
        } else if (nReady < 0) {
            iError = errno;
        } else {
            socklen_t nLength = sizeof iError;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &iError, &nLength) != 0)
                iError = errno;
        }
    }
    ::fcntl(s, F_SETFL, iFlags);
    if (iError != 0) {
        SetLastError(SocketErrorFromErrno(iError));
        return false;
    }
    return true;
}

bool SendAll(SOCKET s, const char* pData, size_t nLength) {
    size_t nDone = 0;
    while (nDone < nLength) {
        ssize_t n = ::send(s, pData + nDone, nLength - nDone, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FailSocketErrno();
        nDone += size_t(n);
    }
    return true;
}

int Receive(SOCKET s, char* pBuffer, int iBufferLen) {
    if (!pBuffer || iBufferLen < 0) {
        Fail(WSAEFAULT);
        return -1;
    }
    ssize_t n;
    do
        n = ::recv(s, pBuffer, size_t(iBufferLen), 0);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        FailSocketErrno();
        return -1;
    }
    return int(n);
}

bool LookUpHostsFile(const std::string& csName, uint8_t abAddress[4]) {
    std::ifstream hosts("/etc/hosts");
    return FindInHostsFile(hosts, csName, abAddress);
}

bool GetHostByAddr(const std::string& csAddr, std::string* pcsName) {
    sockaddr_in addr;
    if (!MakeAddress(csAddr, 0, &addr) || csAddr.empty())
        return Fail(WSAEINVAL);
    char szHost[NI_MAXHOST];
    int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&addr), sizeof addr, szHost, sizeof szHost,
                           nullptr, 0, NI_NAMEREQD);
    if (rc != 0)
        return Fail(rc == EAI_NONAME ? WSAHOST_NOT_FOUND : WSANO_DATA);
    *pcsName = szHost;
    return true;
}

} // namespace platform
