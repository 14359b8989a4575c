// The real vexsrv in a private system root: installed, started, controlled and
// removed through its console commands and the service manager, and run in
// debug mode from a console. Pauses run at 25 %: "-start" sleeps the wait hint
// (2000 ms before the service's first report) and must leave a slow-starting
// service (sanitizer build, busy machine) time for that report.
#include "TestService.h"
#include "TestSupport.h"

#include "common/VexData.h"
#include "platform/root.h"
#include "platform/service.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace platform;

namespace {

const std::string kNotInstalled =
    "(err=(0x424) The specified service does not exist as an installed service.)\n";

class VexsrvTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("VEX_DELAY_PERCENT", "25", 1);
        root.EnableTrace(eExeService);
    }
    void TearDown() override { ::unsetenv("VEX_DELAY_PERCENT"); }

    std::string Vexsrv(const std::vector<std::string>& args, int* pExitCode = nullptr) {
        std::string output;
        int rc = vextest::RunProgram(vextest::ProgramPath("vexsrv"), args, &output);
        if (pExitCode)
            *pExitCode = rc;
        else
            EXPECT_EQ(rc, 0) << output;
        return output;
    }
    SERVICE_STATUS Status() {
        SERVICE_STATUS status{};
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = OpenService(hManager, "ZANTOR_AMBREL", SERVICE_ALL_ACCESS);
        EXPECT_NE(hService, nullptr);
        if (hService) {
            EXPECT_TRUE(QueryServiceStatus(hService, &status));
            CloseServiceHandle(hService);
        }
        CloseServiceHandle(hManager);
        return status;
    }
    bool Control(uint32_t code) {
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = OpenService(hManager, "ZANTOR_AMBREL", SERVICE_ALL_ACCESS);
        SERVICE_STATUS status;
        bool ok = hService && ControlService(hService, code, &status);
        if (hService)
            CloseServiceHandle(hService);
        CloseServiceHandle(hManager);
        return ok;
    }
    bool Installed() {
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = OpenService(hManager, "ZANTOR_AMBREL", SERVICE_ALL_ACCESS);
        if (hService)
            CloseServiceHandle(hService);
        CloseServiceHandle(hManager);
        return hService != nullptr;
    }
    // True when no service process of this root has its control socket open.
    bool NoControlSockets() const {
        for (const auto& entry : std::filesystem::directory_iterator(root.Path() + "/run")) {
            if (entry.path().filename().string().rfind("svc-", 0) == 0)
                return false;
        }
        return true;
    }
    std::string TracePath() const { return root.WorkDir() + "vexsrv.log"; }

    vextest::TempRoot root;
};

TEST_F(VexsrvTest, InstallStartControlAndRemove) {
    EXPECT_EQ(Vexsrv({"-install"}), "(CmdInstallService)Zantor Ambrel installed.\n");
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE hService = OpenService(hManager, "zantor_ambrel", SERVICE_ALL_ACCESS);
    ASSERT_NE(hService, nullptr);
    QUERY_SERVICE_CONFIG config;
    ASSERT_TRUE(QueryServiceConfig(hService, &config));
    EXPECT_EQ(config.lpBinaryPathName, vextest::ProgramPath("vexsrv"));
    EXPECT_EQ(config.lpDisplayName, "Zantor Ambrel");
    EXPECT_EQ(config.dwStartType, uint32_t(SERVICE_AUTO_START));
    EXPECT_TRUE(config.dependencies.empty());
    CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
    EXPECT_EQ(Vexsrv({"-install"}), "(CmdInstallService)CreateService failed. (err=(0x431) The "
                                    "specified service already exists.)\n");

    EXPECT_EQ(Vexsrv({"-start"}), "(CmdStartService)Zantor Ambrel successfully started.\n");
    SERVICE_STATUS status = Status();
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_RUNNING));
    EXPECT_EQ(status.dwControlsAccepted, uint32_t(SERVICE_ACCEPT_STOP));
    EXPECT_EQ(status.dwCheckPoint, 0u);
    EXPECT_EQ(Vexsrv({"-start"}), "(CmdStartService)StartService failed. (err=(0x420) An instance "
                                  "of the service is already running.)\n");

    // The service opened its trace; the console commands wrote none.
    std::string trace = vextest::ReadFile(TracePath());
    EXPECT_NE(trace.find("Entry (vex_main)"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Entry (CMainThread::Start)"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("Cmd"), std::string::npos) << trace;

    // Code 130 moves the trace to ".prev" and opens a new one.
    ASSERT_TRUE(Control(130));
    std::string previous = vextest::ReadFile(TracePath() + ".prev");
    EXPECT_NE(previous.find("Entry (vex_main)"), std::string::npos) << previous;
    EXPECT_NE(previous.find("Entry (vex_ctrl)"), std::string::npos) << previous;
    trace = vextest::ReadFile(TracePath());
    EXPECT_EQ(trace.find("Entry (vex_main)"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Exit  (vex_ctrl)"), std::string::npos) << trace;
    // Any other code makes it report again.
    ASSERT_TRUE(Control(SERVICE_CONTROL_INTERROGATE));
    EXPECT_EQ(Status().dwCurrentState, uint32_t(SERVICE_RUNNING));

    EXPECT_EQ(
        Vexsrv({"-remove"}),
        "(CmdRemoveService)Zantor Ambrel stopped.\n(CmdRemoveService)Zantor Ambrel removed.\n");
    EXPECT_FALSE(Installed());
    EXPECT_TRUE(vextest::WaitFor([&] { return NoControlSockets(); }));
    trace = vextest::ReadFile(TracePath());
    EXPECT_NE(trace.find("Exit (ServiceStop)"), std::string::npos) << trace;

    EXPECT_EQ(Vexsrv({"-remove"}), "(CmdRemoveService)OpenService failed. " + kNotInstalled);
    EXPECT_EQ(Vexsrv({"-start"}), "(CmdStartService)OpenService failed. " + kNotInstalled);
}

TEST_F(VexsrvTest, OnlyTheFirstArgumentCountsAndOnlyAfterDashOrSlash) {
    // Without "-" or "/" the word starts the dispatcher, which fails from a
    // console: nothing happens and the exit code is 0.
    EXPECT_EQ(Vexsrv({"install"}), "");
    EXPECT_EQ(Vexsrv({}), "");
    EXPECT_EQ(Vexsrv({"-installed"}), "");
    EXPECT_EQ(Vexsrv({"-bogus", "-install"}), "");
    EXPECT_FALSE(Installed());
    EXPECT_EQ(Vexsrv({"/INSTALL"}), "(CmdInstallService)Zantor Ambrel installed.\n");
    EXPECT_EQ(Vexsrv({"-ReMoVe", "-install"}), "(CmdRemoveService)Zantor Ambrel removed.\n");
    EXPECT_EQ(Vexsrv({"-Install"}), "(CmdInstallService)Zantor Ambrel installed.\n");
    EXPECT_EQ(Vexsrv({"/Start"}), "(CmdStartService)Zantor Ambrel successfully started.\n");
    EXPECT_EQ(
        Vexsrv({"/remove"}),
        "(CmdRemoveService)Zantor Ambrel stopped.\n(CmdRemoveService)Zantor Ambrel removed.\n");
}

TEST_F(VexsrvTest, ServiceThatStopsAtOnceIsReportedWithItsStatus) {
    // Another program under the service's name, one that stops at once.
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE hService =
        CreateService(hManager, "ZANTOR_AMBREL", "Zantor Ambrel", SERVICE_ALL_ACCESS,
                      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                      vextest::TestServiceCommandLine("ZANTOR_AMBREL", "refuse"));
    ASSERT_NE(hService, nullptr);
    CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
    EXPECT_EQ(Vexsrv({"-start"}), "(CmdStartService)Zantor Ambrel failed to start.\n"
                                  "     Current state: 1\n"
                                  "     Exit code: 1066\n"
                                  "     Service specific exit code: 42\n"
                                  "     Check point: 0\n"
                                  "     Wait hint: 0\n");
    // Removing a stopped service says nothing about stopping.
    EXPECT_EQ(Vexsrv({"-remove"}), "(CmdRemoveService)Zantor Ambrel removed.\n");
}

TEST_F(VexsrvTest, DebugModeRunsInTheConsoleUntilItIsClosed) {
    std::string outputPath = root.Path() + "/debug.out";
    std::string program = vextest::ProgramPath("vexsrv");
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::execl(program.c_str(), program.c_str(), "-debug", "-install", nullptr);
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    // Ready once the console handler is in place (SIGINT caught).
    auto handlerInstalled = [&] {
        for (const std::string& line :
             vextest::Lines(vextest::ReadFile("/proc/" + std::to_string(pid) + "/status"))) {
            if (line.rfind("SigCgt:", 0) == 0)
                return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
        }
        return false;
    };
    EXPECT_TRUE(vextest::WaitFor(handlerInstalled));
    EXPECT_EQ(vextest::ReadFile(outputPath), "(CmdDebugService)Debugging Zantor Ambrel.\n");
    // Ctrl+C and Ctrl+Break leave it running; a shut-down ends it.
    ::kill(pid, SIGINT);
    ::kill(pid, SIGQUIT);
    ::kill(pid, SIGTERM);
    EXPECT_EQ(vextest::WaitHelper(pid), -SIGTERM);
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(std::filesystem::exists(TracePath()));
}

} // namespace
