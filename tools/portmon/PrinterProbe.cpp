// The printer's look through the platform's TCP streams.
#include "PrinterProbe.h"

#include "Log.h"
#include "platform/error.h"
#include "platform/sockets.h"

#include <algorithm>
#include <chrono>
#include <sstream>

using namespace platform;

namespace {

constexpr uint16_t kPrintPort = 9100;
constexpr uint32_t kConnectMs = 2000;
constexpr int kAnswerMs = 1000;
constexpr size_t kMaxAnswer = 65536;

// What the printer says within the time limit: two answers, each ended by a
// form feed, or up to the end of the connection.
std::string ReadAnswer(SOCKET s) {
    std::string answer;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
    while (std::count(answer.begin(), answer.end(), '\f') < 2 && answer.size() < kMaxAnswer) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !SetReceiveTimeout(s, uint32_t(left.count())))
            break;
        char buffer[4096];
        const int n = Receive(s, buffer, sizeof buffer);
        if (n <= 0)
            break;
        answer.append(buffer, size_t(n));
    }
    return answer;
}

void ReadFacts(const std::string& answer, SPrinterFacts* pFacts) {
    std::istringstream lines(answer);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
            pFacts->csModel = line.substr(1, line.size() - 2);
        else if (line == "SNMP COMMUNITY=READ")
            pFacts->bReadOnly = true;
    }
}

} // namespace

int32_t ProbePrinter(const uint8_t abAddress[4], SPrinterFacts* pFacts) {
    if (abAddress[0] != 127) {
        Log("will not talk to a printer off this machine");
        return 151;
    }
    const std::string address = std::to_string(abAddress[0]) + "." + std::to_string(abAddress[1]) +
                                "." + std::to_string(abAddress[2]) + "." +
                                std::to_string(abAddress[3]);
    if (!WSAStartup())
        return 151;
    int32_t code = 0;
    const SOCKET s = CreateSocket(SocketKind::Stream);
    if (s == INVALID_SOCKET) {
        code = 151;
    } else if (!ConnectSocket(s, address, kPrintPort, kConnectMs)) {
        code = GetLastError() == WSAECONNREFUSED ? 150 : 151;
    } else {
        const char question[] = "\x1B%-12345X@PJL INFO ID\r\n@PJL INFO CONFIG\r\n\x1B%-12345X";
        // A printer that takes no data leaves the answer empty, as one that says nothing.
        if (SetSendTimeout(s, kAnswerMs) && SendAll(s, question, sizeof question - 1))
            ReadFacts(ReadAnswer(s), pFacts);
    }
    if (s != INVALID_SOCKET)
        CloseSocket(s);
    WSACleanup();
    return code;
}
