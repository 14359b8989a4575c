#include "FuzzTrace.h"

#include "common/Trace.h"
#include "common/VexData.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {
std::string g_csRoot;
void RemoveRoot() {
    TraceShutdown();
    std::error_code ec;
    std::filesystem::remove_all(g_csRoot, ec);
}
} // namespace

const std::string& FuzzWorkDir() {
    static const std::string csWork = [] {
        char szRoot[] = "/tmp/vexfuzz-XXXXXX";
        if (::mkdtemp(szRoot) == nullptr) {
            std::perror("fuzz: mkdtemp");
            std::abort();
        }
        ::setenv("VEX_ROOT", szRoot, 1);
        g_csRoot = szRoot;
        std::atexit(RemoveRoot);
        const std::string csDir = std::string(szRoot) + "/work/";
        ::mkdir(csDir.c_str(), 0700);
        return csDir;
    }();
    return csWork;
}

void FuzzStartTrace() {
    const char* pszSwitch = std::getenv("VEX_FUZZ_TRACE");
    if (pszSwitch != nullptr && std::strcmp(pszSwitch, "0") == 0)
        return;
    // The trace rolls at 1 MB so the file stays small.
    const std::string& csWork = FuzzWorkDir();
    CVexData data;
    data.AddStringData(CVexData::kMainKey, "Working directory", csWork);
    data.SetTraceOn(eExeService, true);
    data.SetTraceLevel(eExeService, TRACE_ERR | TRACE_WRN | TRACE_INF | TRACE_TRC | TRACE_DET);
    data.SetTraceWrapOn(eExeService, true);
    data.SetTraceWrapSize(eExeService, 1000000);
    TraceInit(eExeService, ".bak");
    std::fprintf(stderr, "fuzz: trace in %svexsrv.log\n", csWork.c_str());
}
