// The end of the vexsrv process while its threads still work: printers that
// announce themselves every second and never answer their description keep
// the request threads waiting in the middle of an exchange when the service
// is told to stop. The process must end with its own exit code, not with a
// signal or a sanitizer's report from destroying what those threads use.
#include "TestSupport.h"

#include "common/VexData.h"
#include "platform/service.h"

#include <csignal>
#include <dirent.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class ServiceExitTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string csError;
        ASSERT_TRUE(vextest::EnterPrivateNetwork(&csError)) << csError;
        ::setenv("VEX_DELAY_PERCENT", "10", 1);
        std::string csOutput;
        ASSERT_EQ(Run("vexsys", {"setup", "--workdir", m_root.WorkDir()}, &csOutput), 0)
            << csOutput;
        ASSERT_TRUE(CVexData().SetOpMode(eModeManual));
        ASSERT_EQ(Run("vexsrv", {"-install"}, &csOutput), 0) << csOutput;
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

    // Printers that announce every second and hold every HTTP request open.
    void StartSilentPrinters(int nCount) {
        const std::string csReady = m_root.Path() + "/sim.ready";
        const std::string csProgram = vextest::ProgramPath("printer-sim");
        std::vector<std::string> args = {csProgram,     "--count",    std::to_string(nCount),
                                         "--first",     "127.0.0.70", "--interval",
                                         "1",           "--fault",    "noreturn",
                                         "--http-port", "18082",      "--log",
                                         LogPath(),     "--ready",    csReady};
        std::vector<char*> argv;
        for (std::string& csArg : args)
            argv.push_back(csArg.data());
        argv.push_back(nullptr);
        ASSERT_EQ(
            ::posix_spawn(&m_simPid, csProgram.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(vextest::WaitFor([&] { return ::access(csReady.c_str(), F_OK) == 0; }));
    }
    std::string LogPath() const { return m_root.Path() + "/sim.log"; }

    // The child of this process that runs vexsrv, or -1 (the test process is
    // the subreaper of the detached services, so their exit status comes here).
    static pid_t ServiceProcess() {
        DIR* pDir = ::opendir("/proc");
        pid_t found = -1;
        while (dirent* pEntry = pDir ? ::readdir(pDir) : nullptr) {
            const pid_t pid = pid_t(std::atoi(pEntry->d_name));
            if (pid <= 0)
                continue;
            const std::string csStat = vextest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
            // "pid (comm) state ppid ..."
            const size_t nClose = csStat.rfind(')');
            if (nClose == std::string::npos || csStat.find("(vexsrv)") == std::string::npos)
                continue;
            if (std::atoi(csStat.c_str() + nClose + 4) == ::getpid())
                found = pid;
        }
        if (pDir)
            ::closedir(pDir);
        return found;
    }

    static bool StopService() {
        using namespace platform;
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = OpenService(hManager, "ZANTOR_AMBREL", SERVICE_ALL_ACCESS);
        SERVICE_STATUS status;
        const bool bSent = hService && ControlService(hService, SERVICE_CONTROL_STOP, &status);
        if (hService)
            CloseServiceHandle(hService);
        CloseServiceHandle(hManager);
        return bSent;
    }

    vextest::TempRoot m_root;
    pid_t m_simPid = -1;
};

TEST_F(ServiceExitTest, StopWhileRequestsHangEndsTheProcessWithItsExitCode) {
    StartSilentPrinters(24);
    for (int iRound = 0; iRound < 3; ++iRound) {
        SCOPED_TRACE("round " + std::to_string(iRound));
        const size_t nLogged = vextest::ReadFile(LogPath()).size();
        std::string csOutput;
        ASSERT_EQ(Run("vexsrv", {"-start"}, &csOutput), 0) << csOutput;
        const pid_t service = ServiceProcess();
        ASSERT_GT(service, 0);
        // Requests of this run are under way (and will never be answered).
        ASSERT_TRUE(
            vextest::WaitFor([&] { return vextest::ReadFile(LogPath()).size() > nLogged + 200; }));
        ASSERT_TRUE(StopService());
        int iStatus = 0;
        ASSERT_TRUE(
            vextest::WaitFor([&] { return ::waitpid(service, &iStatus, WNOHANG) == service; }));
        EXPECT_TRUE(WIFEXITED(iStatus)) << "ended by signal " << WTERMSIG(iStatus);
        EXPECT_EQ(WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1, 0);
    }
}

} // namespace
