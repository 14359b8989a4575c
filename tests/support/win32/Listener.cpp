// The tests' TCP listener on Windows Sockets.
#include "Listener.h"

namespace {
// Named before winsock2.h, whose INVALID_SOCKET is a macro.
constexpr platform::SOCKET kNoSocket = platform::INVALID_SOCKET;
} // namespace

#include <winsock2.h>

namespace vextest {

platform::SOCKET ListenOnLoopback(uint16_t* puPort) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int nLength = sizeof addr;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 16) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &nLength) != 0) {
        ::closesocket(s);
        return kNoSocket;
    }
    *puPort = ntohs(addr.sin_port);
    return platform::SOCKET(s);
}

platform::SOCKET AcceptOne(platform::SOCKET listener) {
    SOCKET c = ::accept(SOCKET(listener), nullptr, nullptr);
    return c == INVALID_SOCKET ? kNoSocket : platform::SOCKET(c);
}

} // namespace vextest
