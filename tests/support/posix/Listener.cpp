// The tests' TCP listener on POSIX sockets.
#include "Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vextest {

platform::SOCKET ListenOnLoopback(uint16_t* puPort) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return platform::INVALID_SOCKET;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLength) != 0) {
        ::close(fd);
        return platform::INVALID_SOCKET;
    }
    *puPort = ntohs(addr.sin_port);
    return fd;
}

platform::SOCKET AcceptOne(platform::SOCKET listener) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? platform::INVALID_SOCKET : fd;
}

} // namespace vextest
