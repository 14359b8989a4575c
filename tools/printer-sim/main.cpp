// printer-sim: plays N printers on 127.0.0.x. Each announces itself on the SSDP
// multicast group (NOTIFY alive, with sequence numbers) every interval, answers
// M-SEARCH for the print service, and serves its device description and the
// SOAP answer for X_Config1 over HTTP, or misbehaves as the chosen fault says.
//
// One epoll loop serves the SSDP socket (port 1900, for searches), the HTTP
// and print listeners on any address (the address a connection came to tells
// the printer) and the signals; a second thread sends the announcement rounds,
// so that a slowly paced round never holds the answers up. Both send through
// one socket that sets each printer's source address. Answers that are to come
// late (--latency) wait in a timer list that bounds the loop's wait.
#include "Jobs.h"
#include "Sim.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <queue>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

using namespace sim;

namespace {

const char kGroup[] = "239.255.255.250";
const char kUrn[] = "urn:zantor-schemas-ambrel:service:Print:1";
constexpr size_t kMaxRequest = 64 * 1024;
// The port monitor's questions come first on their connection: data beyond
// this is a job.
constexpr size_t kMaxQuestion = 4096;

struct SConnection {
    bool bPrintPort = false; // raw printing (PJL) rather than HTTP
    int iPrinter = -1;
    std::string csPeer;
    std::string csIn;
    std::string csOut;
    size_t nSent = 0;
    bool bAnswered = false;
    uint64_t uiSerial = 0; // tells a late answer's connection from a later one on the fd
    SJob job;              // print data, with --jobs
};

// An answer held back by the latency: due at tDue for the connection fd, serial.
struct SLateAnswer {
    std::chrono::steady_clock::time_point tDue;
    int fd;
    uint64_t uiSerial;
    bool operator>(const SLateAnswer& other) const { return tDue > other.tDue; }
};

class CSimulator {
public:
    CSimulator(SOptions options, std::vector<SPrinter> printers)
        : m_options(std::move(options)), m_printers(std::move(printers)) {
        for (size_t i = 0; i < m_printers.size(); ++i)
            m_byAddr[m_printers[i].csAddr] = int(i);
    }

    bool Open();
    int Run();

private:
    bool Fail(const char* pszWhat) {
        std::fprintf(stderr, "printer-sim: %s: %s\n", pszWhat, std::strerror(errno));
        return false;
    }
    void Watch(int fd, uint32_t events) {
        epoll_event ev{};
        ev.events = events;
        ev.data.fd = fd;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
    }
    void Send(const SPrinter& printer, const std::string& csText, const std::string& csTo,
              uint16_t uPort);
    void AnnounceRound();
    void ByeByeRound();
    void OnSearch();
    void OnAccept(int iListen);
    // Raw printing: the port monitor's PJL questions get the model; print data is taken.
    // False when it closed the connection.
    bool OnPrintData(int fd, SConnection& conn);
    void OnConnection(int fd, uint32_t events);
    void Close(int fd);
    // Lets the answer of the connection go out.
    void StartAnswer(int fd);
    // Starts the answers that are due; the milliseconds to the next, or -1.
    int StartDueAnswers();
    void Log(const SConnection& conn, const std::string& csMethod, const std::string& csPath);

    SOptions m_options;
    std::vector<SPrinter> m_printers;
    std::unordered_map<std::string, int> m_byAddr;
    std::map<int, SConnection> m_connections;
    uint64_t m_uiSerials = 0;
    std::priority_queue<SLateAnswer, std::vector<SLateAnswer>, std::greater<>> m_late;
    int m_epoll = -1, m_search = -1, m_sender = -1, m_http = -1, m_print = -1, m_signals = -1;
    int m_iRound = 0;
    std::mutex m_seqMutex; // the printers' sequence counters, used by both threads
    std::mutex m_stopMutex;
    std::condition_variable m_stopCv;
    bool m_bStop = false;
    // The announcement rounds, every interval.
    void Announce();
    uint32_t Seq(SPrinter& printer) {
        std::lock_guard lock(m_seqMutex);
        return NextSeq(m_options, printer);
    }
    FILE* m_pLog = nullptr;
    CJobRecorder m_jobs;
};

bool CSimulator::Open() {
    // Many printers, many connections: raise the descriptor limit as far as allowed.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    int one = 1;
    m_search = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::setsockopt(m_search, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(1900);
    if (::bind(m_search, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
        return Fail("binding the SSDP port");
    ip_mreq mreq{};
    ::inet_pton(AF_INET, kGroup, &mreq.imr_multiaddr);
    if (::setsockopt(m_search, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) != 0)
        return Fail("joining the SSDP group (is this a private network namespace?)");
    m_sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int ttl = 1;
    ::setsockopt(m_sender, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    int sndbuf = 4 * 1024 * 1024;
    ::setsockopt(m_sender, SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
    m_http = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::setsockopt(m_http, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    any.sin_port = htons(uint16_t(m_options.iHttpPort));
    if (::bind(m_http, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
        ::listen(m_http, 1024) != 0)
        return Fail("opening the HTTP port");
    m_print = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::setsockopt(m_print, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    any.sin_port = htons(uint16_t(m_options.iPrintPort));
    if (::bind(m_print, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
        ::listen(m_print, 256) != 0)
        return Fail("opening the print port");
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    m_signals = ::signalfd(-1, &signals, SFD_CLOEXEC);
    ::signal(SIGPIPE, SIG_IGN);
    if (!m_options.csJobsDir.empty() && !m_jobs.Open(m_options.csJobsDir))
        return false;
    if (!m_options.csLogFile.empty()) {
        m_pLog = std::fopen(m_options.csLogFile.c_str(), "a");
        if (!m_pLog)
            return Fail("opening the log");
    }
    Watch(m_search, EPOLLIN);
    Watch(m_http, EPOLLIN);
    Watch(m_print, EPOLLIN);
    Watch(m_signals, EPOLLIN);
    return true;
}

void CSimulator::Send(const SPrinter& printer, const std::string& csText, const std::string& csTo,
                      uint16_t uPort) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uPort);
    ::inet_pton(AF_INET, csTo.c_str(), &to.sin_addr);
    iovec iov{const_cast<char*>(csText.data()), csText.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* pHeader = CMSG_FIRSTHDR(&msg);
    pHeader->cmsg_level = IPPROTO_IP;
    pHeader->cmsg_type = IP_PKTINFO;
    pHeader->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    ::inet_pton(AF_INET, printer.csAddr.c_str(), &info.ipi_spec_dst);
    std::memcpy(CMSG_DATA(pHeader), &info, sizeof info);
    // A full send buffer: wait for room rather than lose the datagram.
    while (::sendmsg(m_sender, &msg, 0) < 0 && (errno == ENOBUFS || errno == EAGAIN))
        ::usleep(200);
    if (m_options.iBurstGapUs > 0)
        ::usleep(useconds_t(m_options.iBurstGapUs));
}

void CSimulator::AnnounceRound() {
    for (SPrinter& printer : m_printers) {
        if (m_options.eFault == EFault::Garbage)
            Send(printer, GarbageText(printer, uint32_t(m_iRound)), kGroup, 1900);
        else
            Send(printer, AliveText(m_options, printer, Seq(printer)), kGroup, 1900);
    }
    ++m_iRound;
    if (m_options.bVerbose) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::printf("round %d sent at %lld.%09ld\n", m_iRound, (long long)now.tv_sec, now.tv_nsec);
        std::fflush(stdout);
    }
}

void CSimulator::Announce() {
    const auto interval = std::chrono::nanoseconds((long long)(m_options.dIntervalSec * 1e9));
    auto next = std::chrono::steady_clock::now();
    while (m_options.bAnnounce && (m_options.iRounds == 0 || m_iRound < m_options.iRounds)) {
        AnnounceRound();
        next += interval;
        std::unique_lock lock(m_stopMutex);
        if (m_stopCv.wait_until(lock, next, [this] { return m_bStop; }))
            return;
    }
}

void CSimulator::ByeByeRound() {
    for (SPrinter& printer : m_printers)
        Send(printer, ByeByeText(m_options, printer, Seq(printer)), kGroup, 1900);
}

void CSimulator::OnSearch() {
    char szBuffer[2048];
    for (;;) {
        sockaddr_in from{};
        socklen_t nFrom = sizeof from;
        ssize_t n = ::recvfrom(m_search, szBuffer, sizeof szBuffer - 1, 0,
                               reinterpret_cast<sockaddr*>(&from), &nFrom);
        if (n < 0)
            return;
        szBuffer[n] = '\0';
        if (!m_options.bAnswerSearch || std::strncmp(szBuffer, "M-SEARCH", 8) != 0 ||
            (!std::strstr(szBuffer, kUrn) && !std::strstr(szBuffer, "ssdp:all")))
            continue;
        char szFrom[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &from.sin_addr, szFrom, sizeof szFrom);
        for (SPrinter& printer : m_printers)
            Send(printer, SearchAnswerText(m_options, printer, Seq(printer)), szFrom,
                 ntohs(from.sin_port));
    }
}

void CSimulator::OnAccept(int iListen) {
    for (;;) {
        sockaddr_in peer{}, local{};
        socklen_t nPeer = sizeof peer, nLocal = sizeof local;
        int fd = ::accept4(iListen, reinterpret_cast<sockaddr*>(&peer), &nPeer,
                           SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &nLocal);
        char szLocal[INET_ADDRSTRLEN], szPeer[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &local.sin_addr, szLocal, sizeof szLocal);
        ::inet_ntop(AF_INET, &peer.sin_addr, szPeer, sizeof szPeer);
        auto it = m_byAddr.find(szLocal);
        if (it == m_byAddr.end()) {
            ::close(fd); // no printer of ours at that address
            continue;
        }
        SConnection& conn = m_connections[fd];
        conn.bPrintPort = iListen == m_print;
        conn.iPrinter = it->second;
        conn.csPeer = szPeer;
        conn.uiSerial = ++m_uiSerials;
        Watch(fd, EPOLLIN | EPOLLRDHUP);
    }
}

void CSimulator::Log(const SConnection& conn, const std::string& csMethod,
                     const std::string& csPath) {
    if (!m_pLog)
        return;
    std::fprintf(m_pLog, "%s %s %s\n", m_printers[size_t(conn.iPrinter)].csAddr.c_str(),
                 csMethod.c_str(), csPath.c_str());
    std::fflush(m_pLog);
}

void CSimulator::Close(int fd) {
    auto it = m_connections.find(fd);
    if (it != m_connections.end() && it->second.bPrintPort) {
        // What came without the monitor's questions is a (small) job.
        SConnection& conn = it->second;
        const std::string& csAddr = m_printers[size_t(conn.iPrinter)].csAddr;
        if (!conn.bAnswered)
            m_jobs.Write(csAddr, &conn.job, conn.csIn.data(), conn.csIn.size());
        m_jobs.End(csAddr, &conn.job);
    }
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
    m_connections.erase(fd);
}

void CSimulator::OnConnection(int fd, uint32_t events) {
    auto it = m_connections.find(fd);
    if (it == m_connections.end())
        return;
    SConnection& conn = it->second;
    if (events & EPOLLIN) {
        char szBuffer[8192];
        for (;;) {
            ssize_t n = ::recv(fd, szBuffer, sizeof szBuffer, 0);
            if (n > 0) {
                conn.csIn.append(szBuffer, size_t(n));
                // Print data is taken as it comes, of any size.
                if (conn.bPrintPort && !OnPrintData(fd, conn))
                    return;
                if (conn.csIn.size() > kMaxRequest)
                    return Close(fd);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                return Close(fd); // the client went away
            break;
        }
    }
    if (conn.bPrintPort) {
        if (events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR))
            Close(fd);
        return;
    }
    if (!conn.bAnswered) {
        size_t nHeaderEnd = conn.csIn.find("\r\n\r\n");
        if (nHeaderEnd == std::string::npos)
            return;
        size_t nBodyLength = 0;
        const char* pszLength = strcasestr(conn.csIn.c_str(), "\r\nCONTENT-LENGTH:");
        if (pszLength && size_t(pszLength - conn.csIn.c_str()) < nHeaderEnd)
            nBodyLength = std::strtoul(pszLength + 17, nullptr, 10);
        if (conn.csIn.size() < nHeaderEnd + 4 + nBodyLength)
            return;
        const size_t nMethodEnd = conn.csIn.find(' ');
        const size_t nPathEnd = conn.csIn.find(' ', nMethodEnd + 1);
        const std::string csMethod = conn.csIn.substr(0, nMethodEnd);
        const std::string csPath =
            nPathEnd == std::string::npos
                ? ""
                : conn.csIn.substr(nMethodEnd + 1, nPathEnd - nMethodEnd - 1);
        Log(conn, csMethod, csPath);
        conn.bAnswered = true;
        const SPrinter& printer = m_printers[size_t(conn.iPrinter)];
        if (m_options.eFault == EFault::Silent || printer.bBlackHole)
            return; // keep the connection, say nothing
        conn.csOut = HttpAnswer(m_options, printer, csMethod, csPath);
        if (m_options.iLatencyMs > 0)
            m_late.push(
                {std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.iLatencyMs),
                 fd, conn.uiSerial});
        else
            StartAnswer(fd);
    }
    if ((events & EPOLLOUT) && conn.nSent < conn.csOut.size()) {
        ssize_t n = ::send(fd, conn.csOut.data() + conn.nSent, conn.csOut.size() - conn.nSent,
                           MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN)
            return Close(fd);
        if (n > 0)
            conn.nSent += size_t(n);
        if (conn.nSent == conn.csOut.size()) {
            if (m_options.eFault != EFault::NoClose)
                return Close(fd);
            epoll_event ev{};
            ev.events = EPOLLIN | EPOLLRDHUP;
            ev.data.fd = fd;
            ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &ev);
        }
    }
    if (events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR))
        Close(fd);
}

void CSimulator::StartAnswer(int fd) {
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
    ev.data.fd = fd;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &ev);
}

int CSimulator::StartDueAnswers() {
    const auto now = std::chrono::steady_clock::now();
    while (!m_late.empty() && m_late.top().tDue <= now) {
        const SLateAnswer late = m_late.top();
        m_late.pop();
        auto it = m_connections.find(late.fd);
        if (it != m_connections.end() && it->second.uiSerial == late.uiSerial)
            StartAnswer(late.fd);
    }
    if (m_late.empty())
        return -1;
    return int(std::chrono::ceil<std::chrono::milliseconds>(m_late.top().tDue - now).count());
}

bool CSimulator::OnPrintData(int fd, SConnection& conn) {
    if (!conn.job.Active() && conn.csIn.find("@PJL INFO CONFIG") != std::string::npos) {
        conn.bAnswered = true;
        Log(conn, "PJL", "INFO");
        const std::string csAnswer = PjlAnswer(m_options);
        (void)!::send(fd, csAnswer.data(), csAnswer.size(), MSG_NOSIGNAL);
        Close(fd);
        return false;
    }
    // Without --jobs print data goes nowhere; the questions' part is kept.
    if (!m_jobs.Enabled()) {
        if (conn.csIn.size() > kMaxQuestion)
            conn.csIn.clear();
        return true;
    }
    if (conn.job.Active() || conn.csIn.size() > kMaxQuestion) {
        m_jobs.Write(m_printers[size_t(conn.iPrinter)].csAddr, &conn.job, conn.csIn.data(),
                     conn.csIn.size());
        conn.csIn.clear();
    }
    return true;
}

int CSimulator::Run() {
    if (m_options.csSend == "byebye") {
        ByeByeRound();
        return 0;
    }
    if (!m_options.csReadyFile.empty()) {
        FILE* pReady = std::fopen(m_options.csReadyFile.c_str(), "w");
        if (pReady)
            std::fclose(pReady);
    }
    std::thread announcer([this] { Announce(); });
    epoll_event events[256];
    for (;;) {
        int n = ::epoll_wait(m_epoll, events, 256, StartDueAnswers());
        if (n < 0 && errno == EINTR)
            continue;
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == m_search) {
                OnSearch();
            } else if (fd == m_http || fd == m_print) {
                OnAccept(fd);
            } else if (fd == m_signals) {
                {
                    std::lock_guard lock(m_stopMutex);
                    m_bStop = true;
                }
                m_stopCv.notify_all();
                announcer.join();
                if (m_options.bByeByeAtExit)
                    ByeByeRound();
                return 0;
            } else {
                OnConnection(fd, events[i].events);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    // Nothing this program sends may reach a real network.
    const char* pszNetns = std::getenv("VEX_NETNS");
    if (!pszNetns || std::strcmp(pszNetns, "1") != 0) {
        std::fputs("printer-sim: run it inside a private network namespace: scripts/netns "
                   "printer-sim ...\n",
                   stderr);
        return 2;
    }
    SOptions options;
    if (!ParseOptions(argc, argv, &options)) {
        PrintUsage();
        return 2;
    }
    std::vector<SPrinter> printers;
    if (!MakePrinters(options, &printers))
        return 2;
    CSimulator simulator(options, printers);
    if (!simulator.Open())
        return 1;
    return simulator.Run();
}
