// Service manager costs: the real vexsrv from StartService to the running
// state it reports (no pauses of the system in the measured part), the whole
// "vexsrv -start" console command, and the cheap "is the spooler running"
// look that the spooler layer makes on every call.
#include "common/Spooler.h"
#include "platform/service.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

const std::string kBinDir = VEX_BIN_DIR;

// A private system root with vexsrv and the spooler daemon registered. The
// benchmark adopts the detached services (subreaper) and collects them.
struct BenchRoot {
    std::string path;
    BenchRoot() {
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        char pattern[] = "/tmp/vexbench-XXXXXX";
        path = ::mkdtemp(pattern);
        ::setenv("VEX_ROOT", path.c_str(), 1);
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        for (auto [name, program] :
             {std::pair{"ZANTOR_AMBREL", "vexsrv"}, std::pair{"Spooler", "vexspoolerd"}}) {
            SC_HANDLE hService =
                CreateService(hManager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, kBinDir + "/" + program);
            CloseServiceHandle(hService);
        }
        CloseServiceHandle(hManager);
    }
    ~BenchRoot() {
        TerminateAllServices();
        // Collect the stopped services once they have ended.
        for (int i = 0; i < 2000 && ::waitpid(-1, nullptr, WNOHANG) >= 0; ++i)
            ::usleep(1000);
        std::filesystem::remove_all(path);
    }
    static void Reap() {
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
};

BenchRoot& Root() {
    static BenchRoot root;
    return root;
}

struct SOpened {
    SC_HANDLE hManager;
    SC_HANDLE hService;
    explicit SOpened(const char* name) {
        hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        hService = OpenService(hManager, name, SERVICE_ALL_ACCESS);
    }
    ~SOpened() {
        CloseServiceHandle(hService);
        CloseServiceHandle(hManager);
    }
    uint32_t State() {
        SERVICE_STATUS status{};
        QueryServiceStatus(hService, &status);
        return status.dwCurrentState;
    }
    void StopAndWait() {
        SERVICE_STATUS status;
        ControlService(hService, SERVICE_CONTROL_STOP, &status);
        while (State() != SERVICE_STOPPED) {
        }
        BenchRoot::Reap();
    }
};

void BM_VexsrvStartToRunning(benchmark::State& state) {
    Root();
    SOpened vexsrv("ZANTOR_AMBREL");
    for (auto _ : state) {
        if (!StartService(vexsrv.hService, 0, nullptr)) {
            state.SkipWithError("StartService failed");
            break;
        }
        while (vexsrv.State() != SERVICE_RUNNING) {
        }
        state.PauseTiming();
        vexsrv.StopAndWait();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_VexsrvStartToRunning)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console command, with the pause on the wait hint at 1 % (20 or 30 ms).
void BM_VexsrvStartCommand(benchmark::State& state) {
    Root();
    ::setenv("VEX_DELAY_PERCENT", "1", 1);
    SOpened vexsrv("ZANTOR_AMBREL");
    std::string program = kBinDir + "/vexsrv";
    for (auto _ : state) {
        pid_t pid = ::fork();
        if (pid == 0) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::execl(program.c_str(), program.c_str(), "-start", nullptr);
            ::_exit(127);
        }
        ::waitpid(pid, nullptr, 0);
        state.PauseTiming();
        if (vexsrv.State() != SERVICE_RUNNING)
            state.SkipWithError("vexsrv -start did not start the service");
        vexsrv.StopAndWait();
        state.ResumeTiming();
    }
    ::unsetenv("VEX_DELAY_PERCENT");
}
BENCHMARK(BM_VexsrvStartCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IsServiceRunning(benchmark::State& state) {
    Root();
    SOpened spooler("Spooler");
    StartService(spooler.hService, 0, nullptr);
    while (spooler.State() != SERVICE_RUNNING) {
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(IsServiceRunning("Spooler"));
    spooler.StopAndWait();
}
BENCHMARK(BM_IsServiceRunning)->Unit(benchmark::kMicrosecond);

void BM_CSpoolerIsSpoolerRunning(benchmark::State& state) {
    Root();
    SOpened spooler("Spooler");
    StartService(spooler.hService, 0, nullptr);
    while (spooler.State() != SERVICE_RUNNING) {
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(CSpooler().IsSpoolerRunning());
    spooler.StopAndWait();
}
BENCHMARK(BM_CSpoolerIsSpoolerRunning)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
