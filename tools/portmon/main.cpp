// zantornpmon.dll: the "Zantor TCP/IP Network Port" monitor of the emulated
// machine. The spooler (vexspoolerd) runs this file from the system directory
// for as long as it runs itself, which keeps the file busy, as a loaded module
// is on Windows. It answers monSetNewPort on the monitor's RPC endpoint:
//   - looks at the printer: a TCP connection to port 9100 (127.0.0.0/8 only;
//     nothing leaves the machine), then a PJL "INFO ID" and "INFO CONFIG"
//     question answered within a second: a quoted line names the model, the
//     line "SNMP COMMUNITY=READ" tells a read-only community;
//   - creates the port under its monitor and records the printer's IPv4
//     address in the port's "configInfo" value, bytes 532..535.
// Codes: 0 created (or the same port for the same printer again), 51 created
// under "name (N)" because the name is taken, 50 bad address, 52 bad port
// name, 60 the name belongs to another monitor's port, 70 the spooler refused
// the port, 100 created but the community is read-only, 150 the printer
// refuses the connection, 151 it does not answer (or lies off this machine),
// 152 the model is listed in the monitor's "Unsupported models" value
// (models separated by ";").
#include "common/PortMonitorRpc.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/spooler.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace platform;

// The file's version resource; samplepkg stamps the package's version into it.
extern "C" __attribute__((used, aligned(4)))
const VS_FIXEDFILEINFO g_vexVersionResource = {VS_FFI_SIGNATURE,
                                               VS_FFI_STRUCVERSION,
                                               0x00010000,
                                               0,
                                               0x00010000,
                                               0,
                                               0x3F,
                                               0,
                                               0x40004 /* VOS_NT_WINDOWS32 */,
                                               2 /* VFT_DLL */,
                                               0,
                                               0,
                                               0};

namespace {

constexpr uint16_t kPrintPort = 9100;
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 1000;
constexpr size_t kConfigInfoSize = 536;
constexpr size_t kConfigInfoAddress = 532;

std::string g_csMonitorName;
// One port at a time: the choice of a free name and its creation are one step.
std::mutex g_portLock;

std::string MonitorKey() {
    return "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + g_csMonitorName;
}

void Log(const std::string& text) {
    std::fprintf(stderr, "zantornpmon: %s\n", text.c_str());
}

// The IPv4 address of a numeric address or of a name in /etc/hosts (no name
// service: nothing may ask the network).
bool Resolve(const std::string& csAddr, in_addr* pAddr) {
    if (inet_pton(AF_INET, csAddr.c_str(), pAddr) == 1)
        return true;
    std::ifstream hosts("/etc/hosts");
    for (std::string line; std::getline(hosts, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string address, name;
        if (!(words >> address))
            continue;
        while (words >> name) {
            if (strcasecmp(name.c_str(), csAddr.c_str()) == 0 &&
                inet_pton(AF_INET, address.c_str(), pAddr) == 1)
                return true;
        }
    }
    return false;
}

struct SPrinterFacts {
    std::string csModel;
    bool bReadOnly = false;
};

// 0, 150 (refused) or 151 (no answer).
int32_t Probe(in_addr addr, SPrinterFacts* pFacts) {
    if ((ntohl(addr.s_addr) >> 24) != 127) {
        Log("will not talk to a printer off this machine");
        return 151;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 151;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(kPrintPort);
    sa.sin_addr = addr;
    int32_t code = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        pollfd pfd{fd, POLLOUT, 0};
        int err = errno;
        if (err == EINPROGRESS && ::poll(&pfd, 1, kConnectMs) == 1) {
            socklen_t len = sizeof err;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        } else if (err == EINPROGRESS) {
            err = ETIMEDOUT;
        }
        if (err == ECONNREFUSED)
            code = 150;
        else if (err != 0)
            code = 151;
    }
    if (code == 0) {
        const char question[] = "\x1B%-12345X@PJL INFO ID\r\n@PJL INFO CONFIG\r\n\x1B%-12345X";
        (void)!::send(fd, question, sizeof question - 1, MSG_NOSIGNAL);
        std::string answer;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
        // Two answers, each ended by a form feed, or the end of the connection.
        while (std::count(answer.begin(), answer.end(), '\f') < 2 && answer.size() < 65536) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd pfd{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, int(left.count())) != 1)
                break;
            char buffer[4096];
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answer.append(buffer, size_t(n));
        }
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
    ::close(fd);
    return code;
}

bool IsModelRefused(const std::string& csModel) {
    HKEY hKey;
    std::string list;
    if (csModel.empty() || RegOpenKeyEx(HKEY_LOCAL_MACHINE, MonitorKey(), &hKey) != ERROR_SUCCESS)
        return false;
    RegQueryString(hKey, "Unsupported models", &list);
    RegCloseKey(hKey);
    std::stringstream models(list);
    for (std::string model; std::getline(models, model, ';');) {
        if (model == csModel)
            return true;
    }
    return false;
}

struct SPort {
    std::string csName, csMonitor;
};

bool ListPorts(std::vector<SPort>* pPorts) {
    uint32_t needed = 0, count = 0;
    if (EnumPorts(2, nullptr, 0, &needed, &count))
        return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::vector<uint64_t> buffer((needed + 7) / 8);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    if (!EnumPorts(2, bytes, needed, &needed, &count))
        return false;
    auto* ports = reinterpret_cast<const PORT_INFO_2*>(bytes);
    for (uint32_t i = 0; i < count; ++i)
        pPorts->push_back({ports[i].pPortName, ports[i].pMonitorName});
    return true;
}

const SPort* FindPort(const std::vector<SPort>& ports, const std::string& csName) {
    for (const SPort& port : ports) {
        if (strcasecmp(port.csName.c_str(), csName.c_str()) == 0)
            return &port;
    }
    return nullptr;
}

bool RecordedAddress(const std::string& csPort, in_addr* pAddr) {
    HKEY hKey;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, MonitorKey() + "\\Ports\\" + csPort, &hKey) !=
        ERROR_SUCCESS)
        return false;
    uint8_t info[kConfigInfoSize];
    uint32_t type = 0, size = sizeof info;
    bool ok = RegQueryValueEx(hKey, "configInfo", &type, info, &size) == ERROR_SUCCESS &&
              size >= kConfigInfoAddress + 4;
    RegCloseKey(hKey);
    if (ok)
        std::memcpy(&pAddr->s_addr, info + kConfigInfoAddress, 4);
    return ok;
}

bool RecordAddress(const std::u16string& csPort16, const std::string& csPort, in_addr addr) {
    uint8_t info[kConfigInfoSize] = {};
    for (size_t i = 0; i < csPort16.size() && i < (kConfigInfoAddress - 2) / 2; ++i) {
        info[i * 2] = uint8_t(csPort16[i]);
        info[i * 2 + 1] = uint8_t(csPort16[i] >> 8);
    }
    std::memcpy(info + kConfigInfoAddress, &addr.s_addr, 4); // network order: a.b.c.d
    HKEY hKey;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, MonitorKey() + "\\Ports\\" + csPort, &hKey) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueEx(hKey, "configInfo", REG_BINARY, info, sizeof info) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return ok;
}

int32_t SetNewPort(char16_t szPortName[kMonPortNameChars], const std::u16string& csAddr16,
                   uint8_t) {
    std::u16string name16(szPortName);
    std::string name = Utf16ToAnsi(name16.data(), name16.size());
    std::string address = Utf16ToAnsi(csAddr16.data(), csAddr16.size());
    szPortName[0] = 0; // empty unless a port exists at the end
    in_addr addr{};
    if (address.empty() || !Resolve(address, &addr)) {
        Log("cannot use the address '" + address + "'");
        return address.empty() || address.find_first_of(" \t\r\n") != std::string::npos ? 50 : 151;
    }
    if (name.empty() || name.size() > 128 || name.find_first_of("!\\/*?<>|,") != std::string::npos)
        return 52;
    SPrinterFacts facts;
    if (int32_t code = Probe(addr, &facts))
        return code;
    if (IsModelRefused(facts.csModel))
        return 152;

    std::lock_guard guard(g_portLock);
    std::vector<SPort> ports;
    if (!ListPorts(&ports))
        return 70;
    std::string chosen = name;
    int32_t code = 0;
    if (const SPort* taken = FindPort(ports, name)) {
        if (taken->csMonitor != g_csMonitorName)
            return 60;
        in_addr recorded{};
        bool bSamePrinter =
            RecordedAddress(taken->csName, &recorded) && recorded.s_addr == addr.s_addr;
        if (!bSamePrinter) {
            code = 51;
            for (int i = 2; FindPort(ports, chosen = name + " (" + std::to_string(i) + ")"); ++i) {
            }
        } else {
            chosen = taken->csName;
        }
    }
    if (!FindPort(ports, chosen)) {
        PORT_INFO_2 port{chosen.c_str(), g_csMonitorName.c_str(), "Zantor TCP/IP Network Port",
                         PORT_TYPE_WRITE | PORT_TYPE_READ};
        if (!AddPortEx(2, &port, g_csMonitorName)) {
            Log("the spooler refused the port '" + chosen + "': " + ErrorText(GetLastError()));
            return 70;
        }
    }
    std::u16string chosen16;
    AnsiToUtf16(chosen, &chosen16);
    if (!RecordAddress(chosen16, chosen, addr))
        Log("cannot record the printer's address of the port '" + chosen + "'");
    if (chosen16.size() >= kMonPortNameChars)
        chosen16.resize(kMonPortNameChars - 1);
    std::copy(chosen16.begin(), chosen16.end(), szPortName);
    szPortName[chosen16.size()] = 0;
    if (code == 0 && facts.bReadOnly)
        code = 100;
    return code;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--host") != 0) {
        std::fprintf(stderr, "zantornpmon: a port monitor; the spooler runs it as\n"
                             "  zantornpmon.dll --host MONITOR-NAME\n");
        return 1;
    }
    g_csMonitorName = argv[2];
    // A monitor lives inside its spooler: it goes when the spooler goes.
    pid_t spooler = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != spooler)
        return 1;
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    ::pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    CPortMonitorServer server;
    RPC_STATUS status = server.Listen(SetNewPort);
    if (status != RPC_S_OK) {
        Log("cannot listen on the monitor's endpoint: " + ErrorText(status));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    server.Stop();
    return 0;
}
