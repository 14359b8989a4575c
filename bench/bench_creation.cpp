// Printer creation end to end: CIconManager::AddWithDefaults against the
// spooler daemon, its hosted port monitor, the package's installer and a
// printer that answers at once on 127.x.y.z:9100. Each iteration creates one
// queue; the queue, its port and the port's record are removed again outside
// the measured time. The counter "median_ms" is the median of the iterations.
// Argument 0 runs on the emulated spooler, 1 on CUPS (a private cupsd in the
// root). BM_CupsQueues adds 1,000 queues to CUPS through the spooler and
// reports the time of each hundred ("hundred_N_ms"): CUPS writes its whole
// printers.conf on every change.
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

// The root's spooler, on CUPS when bCups, with the sample package laid.
bool StartSpooler(const CBenchRoot& root, bool bCups, SC_HANDLE* phManager, SC_HANDLE* phSpooler) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    EnsureSystemRoot();
    if (bCups && !(SetSpoolerBackEnd(SpoolerBackEnd::Cups, "") && LayPrivateScheduler()))
        return false;
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
    *phManager = hManager;
    *phSpooler = hSpooler;
    return ready && status.dwCurrentState == SERVICE_RUNNING;
}

void StopSpooler(SC_HANDLE hManager, SC_HANDLE hSpooler) {
    TerminateAllServices();
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (hSpooler)
        CloseServiceHandle(hSpooler);
    if (hManager)
        CloseServiceHandle(hManager);
}

void BM_AddWithDefaults(benchmark::State& state) {
    CBenchRoot root;
    SC_HANDLE hManager = nullptr, hSpooler = nullptr;
    bool ready = StartSpooler(root, state.range(0) == 1, &hManager, &hSpooler);
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
    StopSpooler(hManager, hSpooler);
}
BENCHMARK(BM_AddWithDefaults)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_CupsQueues(benchmark::State& state) {
    CBenchRoot root;
    SC_HANDLE hManager = nullptr, hSpooler = nullptr;
    const std::string port = "ZANTOR:127.0.0.2";
    const std::string folder = root.WorkDir() + "Files/d/2/6/";
    PORT_INFO_2 portInfo{port.c_str(), "", "", 0};
    std::string driverPath = folder + "zantor.drv", dataFile = folder + "zantor.gpd",
                configFile = folder + "zantorui.dll";
    DRIVER_INFO_3 driver{
        3, "Laser 1332 PCL6", nullptr, driverPath.c_str(), dataFile.c_str(), configFile.c_str()};
    if (!StartSpooler(root, true, &hManager, &hSpooler) ||
        !AddPortEx(2, &portInfo, "Standard TCP/IP Port") || !AddPrinterDriver(3, &driver)) {
        state.SkipWithError("cannot set up the spooler on CUPS");
    } else {
        for (auto _ : state) {
            auto start = std::chrono::steady_clock::now();
            for (int i = 1; i <= 1000; ++i) {
                std::string name = "Laser 1332 (" + std::to_string(i) + ")";
                PRINTER_INFO_2 info{
                    name.c_str(), "", port.c_str(), "Laser 1332 PCL6", "", "Bench location", "", 0};
                HPRINTER hPrinter = AddPrinter(2, &info);
                if (!hPrinter) {
                    state.SkipWithError(
                        ("AddPrinter failed, error " + std::to_string(GetLastError())).c_str());
                    break;
                }
                ClosePrinter(hPrinter);
                if (i % 100 == 0) {
                    auto now = std::chrono::steady_clock::now();
                    state.counters["hundred_" + std::to_string(i / 100) + "_ms"] =
                        std::chrono::duration<double, std::milli>(now - start).count();
                    start = now;
                }
            }
        }
    }
    StopSpooler(hManager, hSpooler);
}
BENCHMARK(BM_CupsQueues)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
