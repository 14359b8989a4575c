// A printer's HTTP side played by the test: listens on 127.0.0.1, records each
// request and answers it as the test says (or never, or never closes).
#pragma once

#include "Listener.h"
#include "platform/sockets.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFakeHttpServer {
public:
    enum class EClose { AfterAnswer, Never };
    using AnswerProc = std::function<std::string(const std::string& csRequest)>;

    explicit CFakeHttpServer(AnswerProc answer, EClose eClose = EClose::AfterAnswer)
        : m_answer(std::move(answer)), m_eClose(eClose) {
        platform::WSAStartup();
        uint16_t uPort = 0;
        m_listen = vextest::ListenOnLoopback(&uPort);
        m_iPort = uPort;
        m_thread = std::thread([this] { Serve(); });
    }
    ~CFakeHttpServer() {
        // A connection of its own wakes the listener to see the stop.
        m_bStop = true;
        platform::SOCKET wake = platform::CreateSocket(platform::SocketKind::Stream);
        platform::ConnectSocket(wake, "127.0.0.1", uint16_t(m_iPort), 5000);
        m_thread.join();
        platform::CloseSocket(wake);
        platform::CloseSocket(m_listen);
        for (platform::SOCKET s : m_open)
            platform::CloseSocket(s);
        platform::WSACleanup();
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
            platform::SOCKET s = vextest::AcceptOne(m_listen);
            if (s == platform::INVALID_SOCKET)
                return;
            if (m_bStop) {
                platform::CloseSocket(s);
                return;
            }
            std::string csRequest = ReadRequest(s);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(csRequest);
            }
            const std::string csAnswer = m_answer(csRequest);
            platform::SendAll(s, csAnswer.data(), csAnswer.size());
            if (m_eClose == EClose::AfterAnswer)
                platform::CloseSocket(s);
            else
                m_open.push_back(s);
        }
    }
    // Where CONTENT-LENGTH's value starts, in any case; npos without it.
    static size_t ContentLength(const std::string& csIn) {
        static const std::string kName = "CONTENT-LENGTH: ";
        auto it =
            std::search(csIn.begin(), csIn.end(), kName.begin(), kName.end(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == b;
            });
        return it == csIn.end() ? std::string::npos : size_t(it - csIn.begin()) + kName.size();
    }
    static std::string ReadRequest(platform::SOCKET s) {
        std::string csIn;
        char buffer[4096];
        platform::SetReceiveTimeout(s, 2000);
        for (;;) {
            size_t nEnd = csIn.find("\r\n\r\n");
            if (nEnd != std::string::npos) {
                size_t nBody = 0;
                if (size_t nValue = ContentLength(csIn); nValue != std::string::npos)
                    nBody = std::strtoul(csIn.c_str() + nValue, nullptr, 10);
                // The SOAP body is followed by one more CR LF it does not count.
                if (csIn.size() >= nEnd + 4 + nBody + (nBody ? 2 : 0))
                    return csIn;
            }
            int n = platform::Receive(s, buffer, sizeof buffer);
            if (n <= 0)
                return csIn;
            csIn.append(buffer, size_t(n));
        }
    }

    AnswerProc m_answer;
    EClose m_eClose;
    platform::SOCKET m_listen = platform::INVALID_SOCKET;
    int m_iPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<platform::SOCKET> m_open;
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
