// The test helpers that are the same on every system, and the helper
// processes' dispatch.
#include "TestSupport.h"

#include "common/VexData.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <thread>

namespace vextest {

namespace {
std::map<std::string, HelperFunction>& Helpers() {
    static std::map<std::string, HelperFunction> helpers;
    return helpers;
}
} // namespace

void TempRoot::SetUpWorkDir() const {
    std::filesystem::create_directories(WorkDir());
    CVexData data;
    data.AddStringData(CVexData::kMainKey, "Working directory", WorkDir());
}

void TempRoot::EnableTrace(int eExe, uint32_t level, bool bWrapOn, int32_t iWrapSize) const {
    SetUpWorkDir();
    CVexData data;
    auto exe = static_cast<::eExe>(eExe);
    data.SetTraceOn(exe, true);
    data.SetTraceLevel(exe, level);
    data.SetTraceWrapOn(exe, bWrapOn);
    data.SetTraceWrapSize(exe, iWrapSize);
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool RegisterHelper(const char* name, HelperFunction function) {
    Helpers()[name] = function;
    return true;
}

int RunHelperOrTests(int argc, char** argv) {
    if (argc >= 2 && std::strncmp(argv[1], "--vex-helper=", 13) == 0) {
        auto& helpers = Helpers();
        auto it = helpers.find(argv[1] + 13);
        if (it == helpers.end()) {
            std::fprintf(stderr, "unknown helper %s\n", argv[1] + 13);
            return 126;
        }
        return it->second(std::vector<std::string>(argv + 2, argv + argc));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace vextest
