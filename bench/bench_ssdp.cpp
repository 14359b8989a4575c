// A 500-byte NOTIFY: CSsdp's parse with the five values the advert thread
// takes out, against http_parser's pass over the same header block.
#include "service/Ssdp.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <string>
#include <vector>

#ifdef VEX_HAVE_HTTP_PARSER
#include <http_parser.h>
#endif

namespace {

const std::string& Notify() {
    static const std::string csNotify =
        "NOTIFY * HTTP/1.1\r\n"
        "HOST: 239.255.255.250:1900\r\n"
        "CACHE-CONTROL: max-age=1800\r\n"
        "LOCATION: http://192.168.100.123:8080/upnp/description.xml\r\n"
        "NT: urn:zantor-schemas-ambrel:service:Print:1\r\n"
        "NTS: ssdp:alive\r\n"
        "SERVER: Zos/4.2 UPnP/1.0 Model_77_Duplex/A1.2.345\r\n"
        "USN: uuid:0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9::"
        "urn:zantor-schemas-ambrel:service:Print:1\r\n"
        "X-ZANTOR-UPNP-SEQNUM: 1234567\r\n"
        "DATE: Sun, 06 Dec 2026 10:00:00 GMT\r\n"
        "OPT: \"http://schemas.upnp.org/upnp/1/0/\"; ns=01\r\n"
        "01-NLS: 0a1b2c3d4e5f60718293a4b5c6d7\r\n"
        "\r\n";
    return csNotify;
}

void BM_CSsdp_Notify(benchmark::State& state) {
    const std::string& csText = Notify();
    std::vector<char> scratch(csText.size() + 1);
    CSsdp ssdp;
    for (auto _ : state) {
        std::memcpy(scratch.data(), csText.c_str(), csText.size() + 1);
        if (!ssdp.ParseRequest(scratch.data()))
            state.SkipWithError("parse failed");
        int32_t iPort = 0;
        benchmark::DoNotOptimize(ssdp.GetUuid());
        benchmark::DoNotOptimize(ssdp.GetPrinterModel());
        benchmark::DoNotOptimize(ssdp.GetPrinterMicrocodeLevel());
        benchmark::DoNotOptimize(ssdp.GetDescriptionUrl(&iPort));
        benchmark::DoNotOptimize(ssdp.GetSequenceNumber());
        benchmark::DoNotOptimize(iPort);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(csText.size()));
    state.counters["bytes"] = double(csText.size());
}
BENCHMARK(BM_CSsdp_Notify);

#ifdef VEX_HAVE_HTTP_PARSER
// http_parser's pass: it finds the request line and every header field and
// value, which the callbacks only count.
int CountSpan(http_parser* pParser, const char*, size_t nLength) {
    *static_cast<size_t*>(pParser->data) += nLength;
    return 0;
}

void BM_HttpParser_Notify(benchmark::State& state) {
    const std::string& csText = Notify();
    http_parser_settings settings;
    http_parser_settings_init(&settings);
    settings.on_url = CountSpan;
    settings.on_header_field = CountSpan;
    settings.on_header_value = CountSpan;
    for (auto _ : state) {
        size_t nSeen = 0;
        http_parser parser;
        http_parser_init(&parser, HTTP_REQUEST);
        parser.data = &nSeen;
        const size_t nParsed =
            http_parser_execute(&parser, &settings, csText.data(), csText.size());
        if (nParsed != csText.size() || parser.http_errno != HPE_OK)
            state.SkipWithError("http_parser failed");
        benchmark::DoNotOptimize(nSeen);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(csText.size()));
}
BENCHMARK(BM_HttpParser_Notify);
#endif

} // namespace

BENCHMARK_MAIN();
