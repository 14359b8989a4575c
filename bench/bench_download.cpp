// A driver update end to end: connecting, the checksum file, the download in
// 1024-byte blocks, the checksum, the back-up, the unpacking and the copies,
// from the local download site (HTTP and FTP). Run by bench/measure-download,
// which lays the system root, the package and the site; each round first puts
// the installed drivers back to an older version (not timed).
#include "common/DriverSite.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/core/DriverUpdate.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace {

class CQuietSink : public CDriverUpdateSink {
public:
    void SetPhase(int) override {}
    void SetProgress(int) override {}
    void SetStatus(const std::string&) override {}
    void BeginDownload() override {}
    void SetDownloaded(uint64_t, uint64_t) override {}
    void BeginInstall() override {}
    bool AskToConnect() override { return false; }
};

void Update(benchmark::State& state, const std::string& csRoot) {
    CVexData().AddStringData(CVexData::kMainKey, kDriverSiteValue, csRoot);
    const char* pszReset = std::getenv("VEX_BENCH_RESET");
    uint64_t qwBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!pszReset || std::system(pszReset) != 0) {
            state.SkipWithError("VEX_BENCH_RESET must lay the older drivers again");
            break;
        }
        state.ResumeTiming();
        CQuietSink sink;
        CWorkerGate gate;
        CDriverUpdate update(eDriverPcl6, sink, gate);
        SUpdateEnd end = update.Connect();
        if (end.eEnd == EUpdateEnd::Proceed)
            end = update.DownloadAndInstall();
        if (end.eEnd != EUpdateEnd::Installed) {
            state.SkipWithError(
                ("no installation, message " + std::to_string(end.uiMessage)).c_str());
            break;
        }
        qwBytes += update.PackageSize();
    }
    state.SetBytesProcessed(int64_t(qwBytes));
}

BENCHMARK_CAPTURE(Update, http, std::string("http://127.0.0.1"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Update, ftp, std::string("ftp://127.0.0.1"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
