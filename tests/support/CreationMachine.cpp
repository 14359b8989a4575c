// The machine for printer-creation tests.
#include "CreationMachine.h"

#include "TestService.h"
#include "platform/root.h"
#include "platform/spooler.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vextest {

bool ReadQueue(const std::string& csName, SQueueRecord* pQueue) {
    using namespace platform;
    uint32_t needed = 0, count = 0;
    EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &count);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    if (!EnumPrinters(PRINTER_ENUM_LOCAL, 2, bytes, needed, &needed, &count))
        return false;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2*>(bytes);
    for (uint32_t i = 0; i < count; ++i) {
        const PRINTER_INFO_2& p = printers[i];
        if (csName == p.pPrinterName) {
            *pQueue = {p.pPrinterName, p.pShareName, p.pPortName, p.pDriverName,
                       p.pComment,     p.pLocation,  p.pSepFile,  p.Attributes};
            return true;
        }
    }
    return false;
}

std::string LoopbackAddress(int n) {
    unsigned pid = unsigned(::getpid());
    return "127." + std::to_string(1 + (pid >> 8) % 250) + "." + std::to_string(pid % 256) + "." +
           std::to_string(n);
}

CFakePrinter::CFakePrinter(const std::string& csAddress, const std::string& csModel, bool bReadOnly)
    : m_csAddress(csAddress), m_csModel(csModel), m_bReadOnly(bReadOnly) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(9100);
    if (inet_pton(AF_INET, csAddress.c_str(), &sa.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_thread = std::thread([this] { Serve(); });
}

CFakePrinter::~CFakePrinter() {
    if (m_fd < 0)
        return;
    (void)!::write(m_wake[1], "x", 1);
    m_thread.join();
    ::close(m_fd);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void CFakePrinter::Serve() {
    for (;;) {
        pollfd pfds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(pfds, 2, -1) < 0 || (pfds[1].revents & POLLIN))
            return;
        int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        // Read the question (it ends with the second UEL), then answer both.
        std::string question;
        char buffer[512];
        while (question.find("@PJL INFO CONFIG") == std::string::npos) {
            pollfd pfd{client, POLLIN, 0};
            if (::poll(&pfd, 1, 2000) != 1)
                break;
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            question.append(buffer, size_t(n));
        }
        std::string answer = "@PJL INFO ID\r\n\"" + m_csModel + "\"\r\n\f@PJL INFO CONFIG\r\n" +
                             (m_bReadOnly ? "SNMP COMMUNITY=READ\r\n" : "") + "\f";
        (void)!::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(client);
    }
}

bool CupsSchedulerCanRun(std::string* pcsWhy) {
    if (::access("/usr/sbin/cupsd", X_OK) != 0)
        *pcsWhy = "cupsd is not installed (scripts/install-deps installs the cups package)";
    else if (::geteuid() != 0)
        *pcsWhy = "a private cupsd needs root (its filters run as the lp user)";
    else
        return true;
    return false;
}

CCreationMachine::CCreationMachine(const std::vector<std::string>& packageArgs, ESpooler eSpooler) {
    // Retry pauses and time limits shortened a hundred times.
    const char* delay = std::getenv("VEX_DELAY_PERCENT");
    m_bHadDelay = delay != nullptr;
    m_previousDelay = delay ? delay : "";
    ::setenv("VEX_DELAY_PERCENT", "1", 1);
    m_root.SetUpWorkDir();
    bool bCups = eSpooler == ESpooler::Cups;
    if (bCups) {
        // CUPS's clients find the root's scheduler, and keep their files in it.
        const std::string csFolder = m_root.Path() + "/cups";
        for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
                 {"CUPS_SERVER", csFolder + "/cups.sock"},
                 {"CUPS_SERVERROOT", csFolder},
                 {"HOME", csFolder}}) {
            if (const char* old = std::getenv(name.c_str()))
                m_savedEnvironment.emplace_back(name, old);
            else
                m_unsetEnvironment.push_back(name);
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
    m_bReady = platform::EnsureSystemRoot() &&
               (!bCups || (platform::SetSpoolerBackEnd(platform::SpoolerBackEnd::Cups, "") &&
                           platform::LayPrivateScheduler())) &&
               LayPackage(packageArgs) && StartSpoolerService();
}

CCreationMachine::~CCreationMachine() {
    // The scheduler ends with the spooler, before the root goes.
    if (!m_savedEnvironment.empty() || !m_unsetEnvironment.empty())
        StopSpoolerService();
    for (const auto& [name, value] : m_savedEnvironment)
        ::setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : m_unsetEnvironment)
        ::unsetenv(name.c_str());
    if (m_bHadDelay)
        ::setenv("VEX_DELAY_PERCENT", m_previousDelay.c_str(), 1);
    else
        ::unsetenv("VEX_DELAY_PERCENT");
}

bool CCreationMachine::LayPackage(const std::vector<std::string>& packageArgs) {
    std::vector<std::string> args{"--workdir", m_root.WorkDir()};
    args.insert(args.end(), packageArgs.begin(), packageArgs.end());
    std::string output;
    return RunProgram(ProgramPath("samplepkg"), args, &output) == 0;
}

} // namespace vextest
