// A private system root for one benchmark run: a temporary folder named by
// VEX_ROOT with a working directory, removed again at the end.
#pragma once

#include "common/Trace.h"
#include "common/VexData.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

class CBenchRoot {
public:
    CBenchRoot() {
        char pattern[] = "/tmp/vexbench-XXXXXX";
        m_path = ::mkdtemp(pattern);
        ::setenv("VEX_ROOT", m_path.c_str(), 1);
        std::filesystem::create_directories(WorkDir());
        CVexData().AddStringData(CVexData::kMainKey, "Working directory", WorkDir());
    }
    ~CBenchRoot() {
        TraceShutdown();
        std::filesystem::remove_all(m_path);
    }
    CBenchRoot(const CBenchRoot&) = delete;
    CBenchRoot& operator=(const CBenchRoot&) = delete;

    const std::string& Path() const { return m_path; }
    std::string WorkDir() const { return m_path + "/work/"; }

    // Switches the service's trace on at these levels and opens it.
    void StartServiceTrace(uint32_t level) const {
        CVexData data;
        data.SetTraceOn(eExeService, true);
        data.SetTraceLevel(eExeService, level);
        data.SetTraceWrapOn(eExeService, false);
        TraceInit(eExeService, ".bak");
    }

private:
    std::string m_path;
};
