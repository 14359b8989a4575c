// Printer creation end to end: CIconManager::AddWithDefaults against the
// spooler daemon, its hosted port monitor, the package's installer and a
// printer that answers at once on 127.x.y.z:9100. Each iteration creates one
// queue; the queue, its port and the port's record are removed again outside
// the measured time. The counter "median_ms" is the median of the iterations.
#include "BenchRoot.h"

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/root.h"
#include "platform/service.h"
#include "platform/spooler.h"
#include "service/IconManager.h"
#include "service/PortMonInstall.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

const std::string kBinDir = VEX_BIN_DIR;

// A printer that answers the monitor's questions at once.
class CPrinter {
public:
    explicit CPrinter(const std::string& address) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(9100);
        inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
               ::listen(m_fd, 16) == 0;
        m_thread = std::thread([this] {
            for (int client; (client = ::accept(m_fd, nullptr, nullptr)) >= 0;) {
                const char answer[] = "@PJL INFO ID\r\n\"Zantor Pressa A\"\r\n\f"
                                      "@PJL INFO CONFIG\r\n\f";
                ::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
                ::close(client);
            }
        });
    }
    ~CPrinter() {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    bool Ok() const { return m_ok; }

private:
    int m_fd;
    bool m_ok;
    std::thread m_thread;
};

bool Run(const std::string& commandLine) {
    Process process;
    uint32_t code = 1;
    return process.Start(commandLine) && process.Wait() == WaitResult::Signaled &&
           process.GetExitCode(&code) && code == 0;
}

void RemoveQueue(const SIconInfo& actual) {
    HPRINTER hPrinter = nullptr;
    PRINTER_DEFAULTS defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinter(actual.csIconName, &hPrinter, &defaults)) {
        DeletePrinter(hPrinter);
        ClosePrinter(hPrinter);
    }
    DeletePort(actual.csPortName);
    RegDeleteKey(HKEY_LOCAL_MACHINE,
                 "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Zantor TCP/IP Network "
                 "Port\\Ports\\" +
                     actual.csPortName);
}

void BM_AddWithDefaults(benchmark::State& state) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    CBenchRoot root;
    EnsureSystemRoot();
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE hSpooler = CreateService(
        hManager, "Spooler", "Print Spooler", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, QuoteArgument(kBinDir + "/vexspoolerd"));
    bool ready =
        hSpooler && StartService(hSpooler, 0, nullptr) &&
        Run(QuoteArgument(kBinDir + "/samplepkg") + " --workdir " + QuoteArgument(root.WorkDir()));
    SERVICE_STATUS status{};
    for (int i = 0; ready && i < 1000 && status.dwCurrentState != SERVICE_RUNNING; ++i) {
        QueryServiceStatus(hSpooler, &status);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::string address = "127.77." + std::to_string(::getpid() % 250 + 1) + ".1";
    CPrinter printer(address);
    ready = ready && printer.Ok() && CPortMonInstall().InstallIfNecessary();
    if (!ready) {
        state.SkipWithError("cannot set up the spooler, the package or the printer");
    } else {
        std::vector<double> times;
        for (auto _ : state) {
            SIconInfo actual;
            uint32_t warnings = 0;
            auto start = std::chrono::steady_clock::now();
            uint32_t rc = CIconManager().AddWithDefaults("uuid:bench", address, "Zantor Pressa A",
                                                         address, &actual, &warnings);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            state.PauseTiming();
            if (rc != ICON_OK) {
                state.SkipWithError(("creation failed, code " + std::to_string(rc)).c_str());
                break;
            }
            RemoveQueue(actual);
            state.ResumeTiming();
        }
        if (!times.empty()) {
            std::sort(times.begin(), times.end());
            state.counters["median_ms"] = times[times.size() / 2];
        }
    }
    TerminateAllServices();
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (hSpooler)
        CloseServiceHandle(hSpooler);
    CloseServiceHandle(hManager);
}
BENCHMARK(BM_AddWithDefaults)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

BENCHMARK_MAIN();
