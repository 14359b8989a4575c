// "Discover" end to end: vexsrv on a private system root in a private network
// of its own, printers played by printer-sim that only answer searches, and
// the command sent over the real command pipe.
#include "TestSupport.h"
#include "common/GtosPipeComm.h"
#include "common/PipeMessage.h"
#include "common/Printers.h"
#include "common/VexData.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class DiscoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string csError;
        ASSERT_TRUE(vextest::EnterPrivateNetwork(&csError)) << csError;
        // Windows of 500 ms instead of 5 s; the service inherits it.
        ::setenv("VEX_DELAY_PERCENT", "10", 1);
        std::string csOutput;
        ASSERT_EQ(Run("vexsys", {"setup", "--workdir", m_root.WorkDir()}, &csOutput), 0)
            << csOutput;
        ASSERT_EQ(Run("samplepkg", {"--workdir", m_root.WorkDir()}, &csOutput), 0) << csOutput;
        // Manual mode: the printers are only listed.
        ASSERT_TRUE(CVexData().SetOpMode(eModeManual));
        ASSERT_EQ(Run("vexsrv", {"-install"}, &csOutput), 0) << csOutput;
        ASSERT_EQ(Run("vexsrv", {"-start"}, &csOutput), 0) << csOutput;
        ASSERT_TRUE(vextest::WaitFor([] {
            return vextest::PipeOffered(kGtosPipeName, platform::PipeAccess::EveryLocalUser);
        }));
    }
    void TearDown() override {
        if (m_simPid > 0) {
            ::kill(m_simPid, SIGTERM);
            ::waitpid(m_simPid, nullptr, 0);
        }
        ::unsetenv("VEX_DELAY_PERCENT");
    }

    static int Run(const std::string& csProgram, const std::vector<std::string>& args,
                   std::string* pcsOutput) {
        return vextest::RunProgram(vextest::ProgramPath(csProgram), args, pcsOutput);
    }

    // Plays nCount printers from 127.0.0.60 on that only answer searches.
    void StartPrinters(int nCount) {
        const std::string csReady = m_root.Path() + "/sim.ready";
        const std::string csProgram = vextest::ProgramPath("printer-sim");
        std::vector<std::string> args = {csProgram,     "--count",    std::to_string(nCount),
                                         "--first",     "127.0.0.60", "--no-announce",
                                         "--http-port", "18080",      "--ready",
                                         csReady};
        std::vector<char*> argv;
        for (std::string& csArg : args)
            argv.push_back(csArg.data());
        argv.push_back(nullptr);
        ASSERT_EQ(
            ::posix_spawn(&m_simPid, csProgram.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(vextest::WaitFor([&] { return ::access(csReady.c_str(), F_OK) == 0; }));
    }

    // Sends "Discover"; its answer and how long it took.
    static std::string Discover(std::chrono::milliseconds* pElapsed) {
        const auto start = std::chrono::steady_clock::now();
        std::string csAnswer;
        platform::HPIPE hPipe = OpenPipeClient(kGtosPipeName);
        if (hPipe == platform::INVALID_PIPE_HANDLE)
            return "<no pipe>";
        if (!WritePipeMessage(hPipe, CGtosPipeComm::kCmdDiscover) ||
            !ReadPipeMessage(hPipe, &csAnswer))
            csAnswer = "<no answer>";
        *pElapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        WritePipeMessage(hPipe, CGtosPipeComm::kCmdQuit);
        platform::ClosePipe(hPipe);
        return csAnswer;
    }

    std::set<std::string> ListedAddresses() {
        CPrinters printers;
        printers.SetKplPath(m_root.WorkDir() + "vexkpl.dat");
        EXPECT_TRUE(printers.Read());
        std::set<std::string> addresses;
        printers.ForEach([&](const CPrinter& printer) { addresses.insert(printer.m_csIpAddr); });
        return addresses;
    }

    vextest::TempRoot m_root;
    pid_t m_simPid = -1;
};

TEST_F(DiscoverTest, PrintersThatOnlyAnswerSearchesAreListedBeforeTheAnswer) {
    StartPrinters(6);
    // They never announce themselves: nothing is known before the search.
    EXPECT_TRUE(ListedAddresses().empty());
    std::chrono::milliseconds elapsed{};
    EXPECT_EQ(Discover(&elapsed), "Discover\nSuccess");
    EXPECT_EQ(ListedAddresses(), (std::set<std::string>{"127.0.0.60", "127.0.0.61", "127.0.0.62",
                                                        "127.0.0.63", "127.0.0.64", "127.0.0.65"}));
}

TEST_F(DiscoverTest, WithNoPrinterTheAnswerComesAfterBothWindowsAndTheWaits) {
    std::chrono::milliseconds elapsed{};
    EXPECT_EQ(Discover(&elapsed), "Discover\nSuccess");
    // Two windows of 500 ms, and at least two pauses of 10 ms in each of the
    // two waits for three quiet checks.
    EXPECT_GE(elapsed.count(), 2 * 500 + 4 * 10);
    EXPECT_TRUE(ListedAddresses().empty());
}

} // namespace
