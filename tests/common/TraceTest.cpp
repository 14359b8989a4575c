// The trace file: line format, levels, indentation, date lines, roll and start.
#include "TestSupport.h"

#include "common/Trace.h"
#include "common/VexData.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace {

// One trace line split into its parts; the thread id and the time vary.
struct SLine {
    bool bDate = false;
    int tid = 0;
    std::string tag;
    std::string indentAndMessage;
};

SLine ParseLine(const std::string& line) {
    static const std::regex date(R"(^------ The date is [A-Z][a-z]{2} [A-Z][a-z]{2} \d\d, \d{4}$)");
    static const std::regex text(R"(^( *\d+) \d\d:\d\d:\d\d\.\d{3} (ERR|WRN|INF|TRC|DET) (.*)$)");
    SLine parsed;
    std::smatch m;
    if (std::regex_match(line, date)) {
        parsed.bDate = true;
    } else if (std::regex_match(line, m, text) && m[1].length() >= 5) {
        parsed.tid = std::stoi(m[1]);
        parsed.tag = m[2];
        parsed.indentAndMessage = m[3];
    } else {
        ADD_FAILURE() << "not a trace line: '" << line << "'";
    }
    return parsed;
}

// The tag and the indented message of each line after the date line.
using TagsAndMessages = std::vector<std::pair<std::string, std::string>>;
void ExpectLinesAfterTheDate(const TagsAndMessages& expected, const std::vector<SLine>& lines) {
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, lines[i + 1].tag) << i;
        EXPECT_EQ(expected[i].second, lines[i + 1].indentAndMessage) << i;
    }
}

class TraceTest : public ::testing::Test {
protected:
    std::string TracePath() const { return root.WorkDir() + "vexsrv.log"; }
    std::vector<SLine> ReadTrace() const {
        std::vector<SLine> lines;
        for (const auto& line : vextest::Lines(vextest::ReadFile(TracePath())))
            lines.push_back(ParseLine(line));
        return lines;
    }
    vextest::TempRoot root;
};

TEST_F(TraceTest, LineFormatAndIndentation) {
    root.EnableTrace(eExeService);
    TraceInit(eExeService, ".bak");
    {
        CTraceScope outer("CMainThread::Run");
        {
            CTraceScope inner("CPrinters::Read");
            TraceErr("(CPrinters::Read)failed %d", 7);
            inner.Result("%s", "failure");
        }
        TraceDet("(CMainThread::Run)parameters (n=%d)", 1);
    }
    TraceTrc("Exit  (Unbalanced)"); // at depth 0 it stays at 0
    TraceInf("plain");

    auto lines = ReadTrace();
    ASSERT_EQ(9u, lines.size());
    EXPECT_TRUE(lines[0].bDate);
    const TagsAndMessages expected = {
        {"TRC", "Entry (CMainThread::Run)"},
        {"TRC", " Entry (CPrinters::Read)"},
        {"ERR", "  (CPrinters::Read)failed 7"},
        {"TRC", " Exit  (CPrinters::Read) failure"},
        {"DET", " (CMainThread::Run)parameters (n=1)"},
        {"TRC", "Exit  (CMainThread::Run)"},
        {"TRC", "Exit  (Unbalanced)"},
        {"INF", "plain"},
    };
    ExpectLinesAfterTheDate(expected, lines);
}

TEST_F(TraceTest, ThreadsIndentIndependently) {
    root.EnableTrace(eExeService);
    TraceInit(eExeService, ".bak");
    TraceTrc("Entry (Main)");
    std::thread([] {
        TraceTrc("Entry (Worker)");
        TraceInf("worker line");
    }).join();
    TraceInf("main line");
    auto lines = ReadTrace();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("Entry (Worker)", lines[2].indentAndMessage);
    EXPECT_EQ(" worker line", lines[3].indentAndMessage);
    EXPECT_EQ(" main line", lines[4].indentAndMessage);
    EXPECT_NE(lines[1].tid, lines[2].tid);
    EXPECT_EQ(lines[1].tid, lines[4].tid);
}

TEST_F(TraceTest, LevelsAreIndependentBits) {
    root.EnableTrace(eExeService, TRACE_ERR | TRACE_TRC);
    TraceInit(eExeService, ".bak");
    {
        CTraceScope scope("A::B");
        TraceWrn("warning");
        TraceInf("info");
        TraceDet("detail");
        TraceErr("error");
    }
    auto lines = ReadTrace();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("Entry (A::B)", lines[1].indentAndMessage);
    EXPECT_EQ(" error", lines[2].indentAndMessage);
    EXPECT_EQ("Exit  (A::B)", lines[3].indentAndMessage);
}

// The scope's own lines carry its name exactly as a hand-typed prefix would,
// at their own level whatever the scope's; a level that is off writes nothing.
TEST_F(TraceTest, NamedLinesCarryTheRoutinesNameAtTheirOwnLevel) {
    root.EnableTrace(eExeService, TRACE_ERR | TRACE_WRN | TRACE_DET);
    TraceInit(eExeService, ".bak");
    {
        CTraceScope scope("CPrinters::Write", TRACE_DET);
        scope.Err("Open failed with file exception: %d", 3);
        scope.Wrn("%s", "100% busy"); // a percent sign in an argument stays one
        scope.Inf("not written: INF is off");
        scope.Det("%s", "");
        constexpr CTraceName kTraceAsRun("CWriteThread::Run");
        kTraceAsRun.Det("Known printer list written to file %s", "vexkpl.dat");
        EXPECT_EQ("(CRequests::Add)Queue full, request dropped",
                  CTraceName("CRequests::Add").Prefixed("Queue full, request dropped"));
        EXPECT_STREQ("CPrinters::Write", scope.Name());
    }
    auto lines = ReadTrace();
    ASSERT_EQ(7u, lines.size());
    const TagsAndMessages expected = {
        {"DET", "Entry (CPrinters::Write)"},
        {"ERR", " (CPrinters::Write)Open failed with file exception: 3"},
        {"WRN", " (CPrinters::Write)100% busy"},
        {"DET", " (CPrinters::Write)"},
        {"DET", " (CWriteThread::Run)Known printer list written to file vexkpl.dat"},
        {"DET", "Exit  (CPrinters::Write)"},
    };
    ExpectLinesAfterTheDate(expected, lines);
}

// A long named line is written whole, as a long hand-typed one is.
TEST_F(TraceTest, LongNamedLinesAreWrittenWhole) {
    root.EnableTrace(eExeService);
    TraceInit(eExeService, ".bak");
    const std::string csData(2000, 'x');
    CTraceName("CSsdpSocket::Send").Det("Data sent: %s", csData.c_str());
    TraceDet("(CSsdpSocket::Send)Data sent: %s", csData.c_str());
    auto lines = ReadTrace();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("(CSsdpSocket::Send)Data sent: " + csData, lines[1].indentAndMessage);
    EXPECT_EQ(lines[2].indentAndMessage, lines[1].indentAndMessage);
}

TEST_F(TraceTest, DateLineEveryHundredLines) {
    root.EnableTrace(eExeService);
    TraceInit(eExeService, ".bak");
    for (int i = 0; i < 201; ++i)
        TraceInf("line %d", i);
    auto lines = ReadTrace();
    ASSERT_EQ(204u, lines.size());
    for (size_t i : {size_t(0), size_t(101), size_t(202)})
        EXPECT_TRUE(lines[i].bDate) << i;
    EXPECT_EQ("line 100", lines[102].indentAndMessage);
}

TEST_F(TraceTest, RollsToPrevPastTheWrapSize) {
    root.EnableTrace(eExeService, 0x7F, true, 1000);
    TraceInit(eExeService, ".bak");
    std::string prev = TracePath() + ".prev";
    int written = 0;
    while (!std::filesystem::exists(prev) && written < 100)
        TraceInf("line number %03d of the roll test", written++);
    ASSERT_TRUE(std::filesystem::exists(prev));
    auto prevSize = std::filesystem::file_size(prev);
    EXPECT_GT(prevSize, 1000u);
    EXPECT_LT(prevSize, 1000u + 80u); // by at most one line
    // The line that found the file too long starts the new file, with no date line.
    auto lines = ReadTrace();
    ASSERT_EQ(1u, lines.size());
    EXPECT_FALSE(lines[0].bDate);
    char expected[64];
    std::snprintf(expected, sizeof expected, "line number %03d of the roll test", written - 1);
    EXPECT_EQ(expected, lines[0].indentAndMessage);
}

TEST_F(TraceTest, SecondStartKeepsTheFirstUnderBak) {
    root.EnableTrace(eExeService);
    TraceInit(eExeService, ".bak");
    TraceInf("first run");
    TraceShutdown();
    TraceInit(eExeService, ".bak");
    TraceInf("second run");
    EXPECT_NE(std::string::npos, vextest::ReadFile(TracePath() + ".bak").find("first run"));
    std::string now = vextest::ReadFile(TracePath());
    EXPECT_EQ(std::string::npos, now.find("first run"));
    EXPECT_NE(std::string::npos, now.find("second run"));
}

TEST_F(TraceTest, SwitchedOffTraceTouchesNoFile) {
    root.SetUpWorkDir();
    vextest::WriteFile(TracePath(), "old trace");
    TraceInit(eExeService, ".bak");
    TraceErr("nothing");
    EXPECT_FALSE(TraceOn(TRACE_ERR));
    EXPECT_EQ("old trace", vextest::ReadFile(TracePath()));
    EXPECT_FALSE(std::filesystem::exists(TracePath() + ".bak"));
}

TEST_F(TraceTest, RestartReadsTheSettingsAnew) {
    root.EnableTrace(eExeService);
    TraceInit(eExeService, ".bak");
    TraceInf("before");
    CVexData().SetTraceFile(eExeService, "other.log");
    TraceRestart();
    TraceInf("after");
    EXPECT_NE(std::string::npos, vextest::ReadFile(TracePath()).find("before"));
    EXPECT_NE(std::string::npos, vextest::ReadFile(root.WorkDir() + "other.log").find("after"));
    // Switched off by a restart: the trace stops writing.
    CVexData().SetTraceOn(eExeService, false);
    TraceRestart();
    TraceInf("gone");
    EXPECT_EQ(std::string::npos, vextest::ReadFile(root.WorkDir() + "other.log").find("gone"));
}

TEST_F(TraceTest, TheTraceNeverLeavesTheWorkingFolderNorFollowsALink) {
    root.EnableTrace(eExeService);
    const std::string csOutside = root.Path() + "/outside.txt";
    vextest::WriteFile(csOutside, "keep");
    // A name leading out of the folder falls back to the program's own name.
    CVexData().SetTraceFile(eExeService, "../outside.txt");
    TraceInit(eExeService, ".bak");
    TraceInf("inside");
    EXPECT_EQ(vextest::ReadFile(csOutside), "keep");
    const std::string csTrace = vextest::ReadFile(TracePath());
    EXPECT_NE(csTrace.find("ERR (TraceInit)Trace file name '../outside.txt' leads out of the "
                           "working folder; the trace is written to '" +
                           TracePath() + "'"),
              std::string::npos)
        << csTrace;
    EXPECT_NE(csTrace.find("inside"), std::string::npos);
    // A link planted under the trace's own name is not written through.
    CVexData().SetTraceFile(eExeService, "planted.log");
    std::filesystem::create_symlink(csOutside, root.WorkDir() + "planted.log");
    TraceRestart();
    TraceInf("through the link");
    EXPECT_EQ(vextest::ReadFile(csOutside), "keep");
}

TEST_F(TraceTest, ManyThreadsWhileRollingNeverMixLines) {
    root.EnableTrace(eExeService, 0x7F, true, 20000);
    TraceInit(eExeService, ".bak");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i)
                TraceInf("thread %d line %d", t, i);
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const char* suffix : {"", ".prev"}) {
        for (const auto& line : vextest::Lines(vextest::ReadFile(TracePath() + suffix))) {
            SLine parsed = ParseLine(line);
            if (parsed.bDate)
                continue;
            EXPECT_TRUE(
                std::regex_match(parsed.indentAndMessage, std::regex(R"(thread \d line \d+)")))
                << line;
        }
    }
}

} // namespace
