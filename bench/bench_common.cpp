// Trace and settings costs: a filtered-out line, a written and flushed line
// against a plain fwrite + fflush of the same text, and one settings read.
#include "BenchRoot.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// A private system root for the whole run, with the service trace switched on.
CBenchRoot& Root() {
    static CBenchRoot root;
    static bool bTraceOn = (root.StartServiceTrace(TRACE_ERR | TRACE_TRC), true);
    (void)bTraceOn;
    return root;
}

void BM_TraceFilteredLine(benchmark::State& state) {
    Root();
    int value = 42;
    for (auto _ : state)
        TraceDet("(CBench::Filtered)parameters (value=%d)", value);
}
BENCHMARK(BM_TraceFilteredLine);

void BM_TraceWrittenLine(benchmark::State& state) {
    Root();
    for (auto _ : state)
        TraceErr("(CBench::Written)a line of a usual length with a number %d", 12345);
}
BENCHMARK(BM_TraceWrittenLine);

// The same bytes as one trace line, written with fwrite and flushed.
void BM_PlainFwriteFlush(benchmark::State& state) {
    std::string path = Root().WorkDir() + "plain.log";
    FILE* f = std::fopen(path.c_str(), "w");
    const char line[] = "12345 14:03:07.045 ERR (CBench::Written)a line of a usual length with a "
                        "number 12345\n";
    for (auto _ : state) {
        std::fwrite(line, 1, sizeof line - 1, f);
        std::fflush(f);
    }
    std::fclose(f);
}
BENCHMARK(BM_PlainFwriteFlush);

void BM_SettingsRead(benchmark::State& state) {
    Root();
    TraceShutdown(); // the read alone, without trace lines of its own
    for (auto _ : state) {
        CVexData data;
        benchmark::DoNotOptimize(data.GetOpMode());
    }
}
BENCHMARK(BM_SettingsRead);

} // namespace

BENCHMARK_MAIN();
