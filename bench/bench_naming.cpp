// Costs of the model check and the queue-name proposal: IsModelSupported over
// a driver folder of 50 .inf files of 100 KB each (goal under 5 ms a call), and
// GetIconName with 99 names taken (goal under 20 ms).
#include "BenchRoot.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/service.h"
#include "platform/spooler.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A private system root for the whole run with a running spooler, the driver
// package and 99 queues named after one model.
struct BenchRoot : CBenchRoot {
    BenchRoot() {
        CVexData data;
        StartSpooler();
        LayPackage(data);
        AddQueues();
    }
    ~BenchRoot() { platform::TerminateAllServices(); }

    // The machine's spooler: vexspoolerd beside this program.
    static void StartSpooler() {
        using namespace platform;
        std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        std::string daemon = std::filesystem::path(self).parent_path().string() + "/vexspoolerd";
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = CreateService(hManager, "Spooler", "Print Spooler", SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                           SERVICE_ERROR_NORMAL, "\"" + daemon + "\"");
        if (!hService || !StartService(hService, 0, nullptr)) {
            std::fprintf(stderr, "cannot start the spooler: error %u\n", GetLastError());
            std::exit(1);
        }
        CloseServiceHandle(hService);
        CloseServiceHandle(hManager);
        for (int i = 0; i < 10000 && !IsServiceRunning("Spooler"); ++i)
            ::usleep(1000);
    }

    // 50 files of about 100 KB of model lines, none naming the benchmark's model.
    static void LayPackage(CVexData& data) {
        std::string folder = data.GetDriverPath(data.GetOs(), eDriverPcl6);
        std::filesystem::create_directories(folder);
        std::string line = "\"Zantor Model 0000 PCL6\" = ZA6.GPD, ZANTOR_MODEL_0000\r\n";
        for (int file = 0; file < 50; ++file) {
            std::string text = "[Version]\r\nDriverVer=05/01/2005,1.2.3.4\r\n[ZANTOR]\r\n";
            for (int n = 0; text.size() < 100 * 1024; ++n) {
                std::string entry = line;
                std::string number = std::to_string(n % 10000);
                entry.replace(18 - number.size(), number.size(), number);
                text += entry;
            }
            std::ofstream(folder + "zantor" + std::to_string(file) + ".inf", std::ios::binary)
                << text;
        }
    }

    static void AddQueues() {
        using namespace platform;
        DRIVER_INFO_3 driver{3, "Laser 1332 PCL6", nullptr, "", "", ""};
        AddPrinterDriver(3, &driver);
        for (int i = 1; i <= 99; ++i) {
            std::string name = i == 1 ? "Laser 1332" : "Laser 1332 (" + std::to_string(i) + ")";
            PRINTER_INFO_2 info{name.c_str(), "", "LPT1:", "Laser 1332 PCL6", "", "", "", 0};
            if (HPRINTER h = AddPrinter(2, &info))
                ClosePrinter(h);
        }
    }
};

BenchRoot& Root() {
    static BenchRoot root;
    return root;
}

// The worst case: every file is read and searched to its end.
void BM_IsModelSupportedMiss(benchmark::State& state) {
    Root();
    CVexData data;
    for (auto _ : state)
        benchmark::DoNotOptimize(data.IsModelSupported("Laser 1332", eDriverPcl6));
}
BENCHMARK(BM_IsModelSupportedMiss)->Unit(benchmark::kMillisecond);

// The best case: the first file read names the model.
void BM_IsModelSupportedHit(benchmark::State& state) {
    Root();
    CVexData data;
    for (auto _ : state)
        benchmark::DoNotOptimize(data.IsModelSupported("Zantor Model 0100", eDriverPcl6));
}
BENCHMARK(BM_IsModelSupportedHit)->Unit(benchmark::kMillisecond);

void BM_GetIconName99Taken(benchmark::State& state) {
    Root();
    CVexData data;
    for (auto _ : state) {
        std::string name = data.GetIconName("Laser 1332");
        if (name != "Laser 1332 (99)")
            state.SkipWithError(("unexpected proposal " + name).c_str());
    }
}
BENCHMARK(BM_GetIconName99Taken)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
