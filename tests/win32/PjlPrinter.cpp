// The tests' PJL print port on Windows Sockets.
#include "PjlPrinter.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace win32test {

namespace {

constexpr uint16_t kPrintPort = 9100;
constexpr long kPollUs = 50000;

// Whether s becomes readable within the poll interval.
bool Readable(SOCKET s) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{0, kPollUs};
    return ::select(0, &set, nullptr, nullptr, &wait) == 1;
}

} // namespace

PjlPrinter::PjlPrinter(const std::string& csAddress, std::string csAnswer)
    : m_csAnswer(std::move(csAnswer)) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(kPrintPort);
    if (s == INVALID_SOCKET || ::inet_pton(AF_INET, csAddress.c_str(), &addr.sin_addr) != 1 ||
        ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 4) != 0) {
        if (s != INVALID_SOCKET)
            ::closesocket(s);
        return;
    }
    m_listener = intptr_t(s);
    m_thread = std::thread([this] { Serve(); });
}

PjlPrinter::~PjlPrinter() {
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != -1)
        ::closesocket(SOCKET(m_listener));
    ::WSACleanup();
}

std::string PjlPrinter::Answer(const std::string& csModel, bool bReadOnly) {
    return "@PJL INFO ID\r\n\"" + csModel +
           "\"\r\n\f@PJL INFO CONFIG\r\nIN TRAYS [1 ENUMERATED]\r\n" +
           (bReadOnly ? "SNMP COMMUNITY=READ\r\n" : "SNMP COMMUNITY=READ/WRITE\r\n") + "\f";
}

void PjlPrinter::Serve() {
    const SOCKET listener = SOCKET(m_listener);
    while (!m_bStop) {
        if (!Readable(listener))
            continue;
        SOCKET c = ::accept(listener, nullptr, nullptr);
        if (c == INVALID_SOCKET)
            continue;
        // The questions end with the universal exit after "INFO CONFIG".
        std::string question;
        const std::string end = "INFO CONFIG\r\n\x1B%-12345X";
        while (!m_bStop && question.find(end) == std::string::npos) {
            if (!Readable(c))
                continue;
            char buffer[512];
            const int n = ::recv(c, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            question.append(buffer, size_t(n));
        }
        ::send(c, m_csAnswer.data(), int(m_csAnswer.size()), 0);
        ::shutdown(c, SD_SEND);
        // Held until the monitor closes its end, so that no unread byte resets the answer.
        char rest[64];
        while (!m_bStop && (!Readable(c) || ::recv(c, rest, sizeof rest, 0) > 0)) {
        }
        ::closesocket(c);
        ++m_answered;
    }
}

} // namespace win32test
