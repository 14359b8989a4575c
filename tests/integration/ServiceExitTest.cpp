// The end of the vexsrv process while its threads still work: printers that
// announce themselves every second and never answer their description keep
// the request threads waiting in the middle of an exchange when the service
// is told to stop. The process must end with its own exit code, not with a
// signal or a sanitizer's report from destroying what those threads use.
#include "LiveService.h"
#include "TestSupport.h"

#include "common/VexData.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class ServiceExitTest : public ::testing::Test {
protected:
    std::string LogPath() { return m_service.Root().Path() + "/sim.log"; }

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

    vextest::CLiveService m_service{eModeManual};
};

TEST_F(ServiceExitTest, StopWhileRequestsHangEndsTheProcessWithItsExitCode) {
    ASSERT_TRUE(m_service.Ready()) << m_service.Error();
    ASSERT_TRUE(m_service.StartPrinters({"--count", "24", "--first", "127.0.0.70", "--interval",
                                         "1", "--fault", "noreturn", "--log", LogPath()}));
    for (int iRound = 0; iRound < 3; ++iRound) {
        SCOPED_TRACE("round " + std::to_string(iRound));
        const size_t nLogged = vextest::ReadFile(LogPath()).size();
        ASSERT_TRUE(m_service.Start());
        const pid_t service = ServiceProcess();
        ASSERT_GT(service, 0);
        // Requests of this run are under way (and will never be answered).
        ASSERT_TRUE(
            vextest::WaitFor([&] { return vextest::ReadFile(LogPath()).size() > nLogged + 200; }));
        ASSERT_TRUE(m_service.Stop());
        int iStatus = 0;
        ASSERT_TRUE(
            vextest::WaitFor([&] { return ::waitpid(service, &iStatus, WNOHANG) == service; }));
        EXPECT_TRUE(WIFEXITED(iStatus)) << "ended by signal " << WTERMSIG(iStatus);
        EXPECT_EQ(WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1, 0);
    }
}

} // namespace
