// The tests' TCP listener on Windows Sockets.
#include "Listener.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace win32test {

intptr_t ListenOnLoopback(uint16_t* puPort) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int nLength = sizeof addr;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 4) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &nLength) != 0) {
        ::closesocket(s);
        return -1;
    }
    *puPort = ntohs(addr.sin_port);
    return intptr_t(s);
}

intptr_t AcceptOne(intptr_t listener) {
    SOCKET c = ::accept(SOCKET(listener), nullptr, nullptr);
    return c == INVALID_SOCKET ? -1 : intptr_t(c);
}

void CloseRaw(intptr_t s) {
    ::closesocket(SOCKET(s));
}

} // namespace win32test
