// Round trips on the command pipe: one whole GUI command (open, command,
// answer, "Quit", close, with a worker thread per connection as the service
// runs it), one message and its answer on an open connection, and the same
// over a bare socket pair for comparison. Reports the median and the 99th
// percentile of single round trips besides the mean.
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
#include <sys/socket.h>
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
            platform::HPIPE h =
                platform::OpenNamedPipe(kGtosPipeName, platform::PipeAccess::EveryLocalUser);
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

// The floor under both: one message and its answer between two threads over a
// bare socket pair of the same kind, with no pipe layer at all.
void BM_BareSocketRoundTrip(benchmark::State& state) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) {
        state.SkipWithError("socketpair failed");
        return;
    }
    std::thread echo([fd = fds[1]] {
        char buffer[kPipeBufferSize];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            ::send(fd, buffer, size_t(n), MSG_NOSIGNAL);
    });
    char buffer[kPipeBufferSize];
    Timed(state, [&] {
        return ::send(fds[0], "Ignore\nuuid:bench-0001", 23, MSG_NOSIGNAL) == 23 &&
               ::recv(fds[0], buffer, sizeof buffer, 0) == 23;
    });
    ::shutdown(fds[0], SHUT_RDWR);
    echo.join();
    ::close(fds[0]);
    ::close(fds[1]);
}
BENCHMARK(BM_BareSocketRoundTrip)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
