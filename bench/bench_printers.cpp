// Known printer list costs at 10,000 printers: Read and Write of the file
// (goal under 20 ms each), 10,000 Adds in random order (under 50 ms) and one
// FindWithPos (under 200 ns). The trace is on at ERR|TRC level, as the
// service's default, so filtered-out lines are part of the cost.
#include "common/Printers.h"
#include "common/Trace.h"
#include "common/VexData.h"

#include "BenchRoot.h"
#include <algorithm>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kPrinters = 10000;

struct BenchRoot : CBenchRoot {
    BenchRoot() { StartServiceTrace(TRACE_ERR); }
    std::string KplPath() const { return WorkDir() + "vexkpl.dat"; }
};

BenchRoot& Root() {
    static BenchRoot root;
    return root;
}

CPrinter Make(int i) {
    char uuid[48];
    std::snprintf(uuid, sizeof uuid, "uuid:%08x-1c6f-4a3e-9d1b-00%010d", unsigned(i) * 2654435761u,
                  i);
    CPrinter p;
    p.m_csUUID = uuid;
    p.m_csIpAddr = "10.1." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
    p.m_csHostName = "printer" + std::to_string(i) + ".example.net";
    p.m_csPrinterModel = "Laser 1332";
    p.m_csMicrocodeLevel = "A1.2.3";
    p.m_csIconName = "Laser 1332 (" + std::to_string(i) + ")";
    p.m_VexState = eVexAdded;
    p.m_uiPrtConfig1Var = 0xC0000000u;
    return p;
}

const std::vector<CPrinter>& Shuffled() {
    static std::vector<CPrinter> printers = [] {
        std::vector<CPrinter> v;
        for (int i = 0; i < kPrinters; ++i)
            v.push_back(Make(i));
        std::shuffle(v.begin(), v.end(), std::mt19937(42));
        return v;
    }();
    return printers;
}

void Fill(CPrinters& list) {
    for (const auto& p : Shuffled())
        list.Add(p);
}

void BM_AddRandomOrder(benchmark::State& state) {
    Root();
    const auto& printers = Shuffled();
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<CPrinters>();
        state.ResumeTiming();
        for (const auto& p : printers)
            list->Add(p);
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.counters["printers"] = kPrinters;
}
BENCHMARK(BM_AddRandomOrder)->Unit(benchmark::kMillisecond);

void BM_FindWithPos(benchmark::State& state) {
    Root();
    CPrinters list;
    Fill(list);
    const auto& printers = Shuffled();
    size_t i = 0;
    CPrinter found;
    int pos = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.FindWithPos(printers[i].m_csUUID, &found, &pos));
        i = (i + 1) % printers.size();
    }
}
BENCHMARK(BM_FindWithPos);

void BM_FindWithPosNoRecord(benchmark::State& state) {
    Root();
    CPrinters list;
    Fill(list);
    const auto& printers = Shuffled();
    size_t i = 0;
    int pos = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.FindWithPos(printers[i].m_csUUID, nullptr, &pos));
        i = (i + 1) % printers.size();
    }
}
BENCHMARK(BM_FindWithPosNoRecord);

void BM_Write(benchmark::State& state) {
    Root();
    CPrinters list;
    list.SetKplPath(Root().KplPath());
    Fill(list);
    for (auto _ : state) {
        if (!list.Write())
            state.SkipWithError("Write failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) *
                            int64_t(std::filesystem::file_size(Root().KplPath())));
}
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);

void BM_Read(benchmark::State& state) {
    Root();
    {
        CPrinters writer;
        writer.SetKplPath(Root().KplPath());
        Fill(writer);
        writer.Write();
    }
    CPrinters list;
    list.SetKplPath(Root().KplPath());
    for (auto _ : state) {
        if (!list.Read(true) || list.GetCount() != kPrinters)
            state.SkipWithError("Read failed");
    }
}
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
