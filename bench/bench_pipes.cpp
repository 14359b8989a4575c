// Round trips on the command pipe: one whole GUI command (open, command,
// answer, "Quit", close, with a worker thread per connection as the service
// runs it), and one message and its answer on an open connection. Reports the
// median and the 99th percentile of single round trips besides the mean.
#include "common/GtosPipeComm.h"
#include "common/GtosPipeListenThread.h"
#include "common/PipeMessage.h"
#include "common/Printer.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A private system root and the command listener with a worker that parses
// each command and answers it, standing in for the service's command server.
struct BenchService {
    std::string path;
    CGtosPipeListenThread listener;
    std::thread thread;

    static uint32_t Work(SGtosPipeWorkData* pData) {
        platform::HPIPE hPipe = pData->hPipe;
        delete pData;
        for (std::string csData; ReadPipeMessage(hPipe, &csData);) {
            CGtosPipeComm comm;
            if (comm.ParseCmdFromGui(csData) == eGtosQuit)
                continue;
            if (!WritePipeMessage(hPipe, "Ignore\nSuccess"))
                break;
        }
        platform::FlushPipe(hPipe);
        platform::DisconnectNamedPipe(hPipe);
        platform::ClosePipe(hPipe);
        return 0;
    }

    static std::string MakeRoot() {
        char pattern[] = "/tmp/vexbench-XXXXXX";
        std::string path = ::mkdtemp(pattern);
        ::setenv("VEX_ROOT", path.c_str(), 1);
        return path;
    }

    BenchService()
        : path(MakeRoot()), listener(nullptr, nullptr, nullptr, Work),
          thread([this] { listener.Listen(); }) {
        // Wait until the first instance is offered.
        for (;;) {
            platform::HPIPE h = platform::OpenNamedPipe(kGtosPipeName);
            if (h) {
                platform::ClosePipe(h);
                break;
            }
            std::this_thread::yield();
        }
    }
    ~BenchService() {
        listener.Stop();
        thread.join();
        std::filesystem::remove_all(path);
    }
};

BenchService& Service() {
    static BenchService service;
    return service;
}

void ReportPercentiles(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p99_us"] = samples[samples.size() * 99 / 100];
}

template <typename F> void Timed(benchmark::State& state, F&& roundTrip) {
    std::vector<double> samples;
    samples.reserve(100000);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (!roundTrip()) {
            state.SkipWithError("round trip failed");
            break;
        }
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    ReportPercentiles(state, samples);
}

// One GUI command as the GUI sends it: a connection of its own.
void BM_CommandRoundTrip(benchmark::State& state) {
    Service();
    CPrinter printer;
    printer.m_csUUID = "uuid:bench-0001";
    Timed(state, [&] {
        CGtosPipeComm comm;
        return comm.SendIgnorePrinterCmdToService(&printer);
    });
}
BENCHMARK(BM_CommandRoundTrip)->UseRealTime();

// One command and its answer on a connection that stays open.
void BM_MessageRoundTrip(benchmark::State& state) {
    Service();
    platform::HPIPE h = OpenPipeClient(kGtosPipeName);
    std::string csAnswer;
    Timed(state, [&] {
        return WritePipeMessage(h, "Ignore\nuuid:bench-0001") && ReadPipeMessage(h, &csAnswer);
    });
    platform::ClosePipe(h);
}
BENCHMARK(BM_MessageRoundTrip)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
