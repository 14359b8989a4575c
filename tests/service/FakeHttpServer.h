// A printer's HTTP side played by the test: listens on 127.0.0.1, records each
// request and answers it as the test says (or never, or never closes).
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CFakeHttpServer {
public:
    enum class EClose { AfterAnswer, Never };
    using AnswerProc = std::function<std::string(const std::string& csRequest)>;

    explicit CFakeHttpServer(AnswerProc answer, EClose eClose = EClose::AfterAnswer)
        : m_answer(std::move(answer)), m_eClose(eClose) {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 16);
        socklen_t n = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &n);
        m_iPort = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CFakeHttpServer() {
        m_bStop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
        for (int fd : m_open)
            ::close(fd);
    }
    int Port() const { return m_iPort; }
    std::vector<std::string> Requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    size_t CountStartingWith(const std::string& csPrefix) {
        size_t n = 0;
        for (const std::string& csRequest : Requests())
            n += csRequest.rfind(csPrefix, 0) == 0;
        return n;
    }

private:
    void Serve() {
        while (!m_bStop) {
            int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            std::string csRequest = ReadRequest(fd);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(csRequest);
            }
            const std::string csAnswer = m_answer(csRequest);
            size_t nDone = 0;
            while (nDone < csAnswer.size()) {
                ssize_t n =
                    ::send(fd, csAnswer.data() + nDone, csAnswer.size() - nDone, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                nDone += size_t(n);
            }
            if (m_eClose == EClose::AfterAnswer)
                ::close(fd);
            else
                m_open.push_back(fd);
        }
    }
    static std::string ReadRequest(int fd) {
        std::string csIn;
        char buffer[4096];
        for (;;) {
            size_t nEnd = csIn.find("\r\n\r\n");
            if (nEnd != std::string::npos) {
                size_t nBody = 0;
                if (const char* p = strcasestr(csIn.c_str(), "CONTENT-LENGTH: "))
                    nBody = std::strtoul(p + 16, nullptr, 10);
                // The SOAP body is followed by one more CR LF it does not count.
                if (csIn.size() >= nEnd + 4 + nBody + (nBody ? 2 : 0))
                    return csIn;
            }
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 2000) <= 0)
                return csIn;
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return csIn;
            csIn.append(buffer, size_t(n));
        }
    }

    AnswerProc m_answer;
    EClose m_eClose;
    int m_listen = -1;
    int m_iPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<int> m_open;
};

// The answers of a well-behaved printer whose state variable is served at the
// same address and port.
inline std::string DescriptionAnswer(int iPort, const std::string& csStatus = "HTTP/1.1 200 OK") {
    return csStatus +
           "\r\nCONTENT-TYPE: text/xml\r\n\r\n<?xml version=\"1.0\"?><root>"
           "<URLBase>http://127.0.0.1:" +
           std::to_string(iPort) +
           "/</URLBase><device><serviceList><service>"
           "<serviceType>urn:zantor-schemas-ambrel:service:Print:1</serviceType>"
           "<controlURL>control/print</controlURL></service></serviceList></device></root>";
}
inline std::string SoapAnswer(const std::string& csReturn) {
    return "HTTP/1.1 200 OK\r\n\r\n<s:Envelope><s:Body><u:QueryStateVariableResponse>" + csReturn +
           "</u:QueryStateVariableResponse></s:Body></s:Envelope>";
}
inline CFakeHttpServer::AnswerProc PrinterAnswers(int* piPort, const std::string& csReturn) {
    return [piPort, csReturn](const std::string& csRequest) {
        if (csRequest.rfind("GET ", 0) == 0)
            return DescriptionAnswer(*piPort);
        return SoapAnswer(csReturn);
    };
}
