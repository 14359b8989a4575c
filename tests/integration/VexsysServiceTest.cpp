// vexsys service on a set-up system root: the Spooler service that setup
// registers, and the life of a service driven from the command line.
#include "TestService.h"
#include "TestSupport.h"

#include "platform/service.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class VexsysServiceTest : public ::testing::Test {
protected:
    int Vexsys(const std::vector<std::string>& args, std::string* output = nullptr) {
        return vextest::RunProgram(vextest::ProgramPath("vexsys"), args, output);
    }
    int VexsysAs(vextest::Identity eWho, const std::vector<std::string>& args,
                 std::string* output = nullptr) {
        return vextest::RunProgramAs(eWho, vextest::ProgramPath("vexsys"), args, output);
    }
    vextest::TempRoot root;
};

TEST_F(VexsysServiceTest, AdministratorsStartAndControlServicesOutsidersCannot) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "other users are played through setpriv, which needs root";
    ASSERT_EQ(0, Vexsys({"setup"}));
    std::string output;
    ASSERT_EQ(0, Vexsys({"service", "create", "Echo", "Echo",
                         vextest::TestServiceCommandLine("Echo", "normal")},
                        &output))
        << output;
    // A member cannot run a service as itself: without the start manager the
    // start is refused.
    EXPECT_EQ(1, VexsysAs(vextest::Identity::Administrator, {"service", "start", "Echo"}, &output));
    EXPECT_NE(output.find("error 5 "), std::string::npos) << output;
    EXPECT_FALSE(platform::IsServiceRunning("Echo"));
    // With it, as the GUI does: start the service, send it 130.
    const std::string csManagerOut = root.Path() + "/manager.out";
    const pid_t manager =
        vextest::StartProgram(vextest::ProgramPath("vexsys"), {"service", "manager"}, csManagerOut);
    ASSERT_TRUE(vextest::WaitFor([&] { return !vextest::ReadFile(csManagerOut).empty(); }));
    // One manager at a time.
    EXPECT_EQ(1, Vexsys({"service", "manager"}, &output));
    EXPECT_NE(output.find("error 1056"), std::string::npos) << output;
    ASSERT_EQ(0, VexsysAs(vextest::Identity::Administrator, {"service", "start", "Echo"}, &output))
        << output;
    EXPECT_EQ(0, VexsysAs(vextest::Identity::Administrator, {"service", "control", "Echo", "130"},
                          &output))
        << output;
    EXPECT_EQ(vextest::ReadFile(vextest::TestServiceMarker("Echo", 130)), "x");
    // The service runs as the root's owner, not as the member who started it.
    struct stat st {};
    ASSERT_EQ(::stat(vextest::TestServiceMarker("Echo", 130).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
    // Outsiders cannot reach the manager.
    EXPECT_EQ(1, VexsysAs(vextest::Identity::Outsider, {"service", "start", "Echo"}, &output));
    ::kill(manager, SIGTERM);
    EXPECT_EQ(vextest::WaitHelper(manager), 0);
    // An outsider can neither stop it nor send it anything.
    EXPECT_EQ(1, VexsysAs(vextest::Identity::Outsider, {"service", "stop", "Echo"}, &output));
    EXPECT_TRUE(platform::IsServiceRunning("Echo"));
    EXPECT_EQ(0, Vexsys({"service", "stop", "Echo"}, &output)) << output;
}

TEST_F(VexsysServiceTest, SetupRegistersTheSpoolerDaemonWhichRunsUntilStopped) {
    ASSERT_EQ(0, Vexsys({"setup"}));
    // Setup again keeps one registration.
    ASSERT_EQ(0, Vexsys({"setup"}));
    std::string output;
    ASSERT_EQ(0, Vexsys({"service", "list"}, &output));
    EXPECT_EQ("Spooler\tSTOPPED\tPrint Spooler\n", output);
    ASSERT_EQ(0, Vexsys({"service", "query", "spooler"}, &output));
    EXPECT_NE(output.find("command line\t" + vextest::ProgramPath("vexspoolerd") + "\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("start\tauto\n"), std::string::npos);
    EXPECT_FALSE(platform::IsServiceRunning("Spooler"));

    ASSERT_EQ(0, Vexsys({"service", "start", "Spooler"}, &output)) << output;
    EXPECT_EQ(output.rfind("Spooler\tRUNNING (4)", 0), 0u) << output;
    EXPECT_TRUE(platform::IsServiceRunning("Spooler"));
    EXPECT_EQ(1, Vexsys({"service", "start", "Spooler"}, &output));
    EXPECT_NE(output.find("error 1056"), std::string::npos) << output;
    ASSERT_EQ(0, Vexsys({"service", "control", "Spooler", "4"}, &output)) << output;

    ASSERT_EQ(0, Vexsys({"service", "stop", "Spooler"}, &output)) << output;
    EXPECT_EQ(output.rfind("Spooler\tSTOPPED (1)", 0), 0u) << output;
    EXPECT_FALSE(platform::IsServiceRunning("Spooler"));
    // Stopping a stopped service is no error.
    EXPECT_EQ(0, Vexsys({"service", "stop", "Spooler"}));

    // The daemon is the manager's only: run by hand it refuses.
    EXPECT_EQ(1, vextest::RunProgram(vextest::ProgramPath("vexspoolerd"), {}, &output));
    EXPECT_NE(output.find("runs as the Spooler service only"), std::string::npos) << output;
}

TEST_F(VexsysServiceTest, CreateControlAndDeleteFromTheCommandLine) {
    ASSERT_EQ(0, Vexsys({"setup"}));
    std::string output;
    ASSERT_EQ(0, Vexsys({"service", "create", "Dep", "Dependant",
                         vextest::TestServiceCommandLine("Dep", "normal"), "--depend", "Spooler"},
                        &output))
        << output;
    // Starting the dependant brings the spooler up first.
    ASSERT_EQ(0, Vexsys({"service", "start", "Dep", "x"}, &output)) << output;
    EXPECT_TRUE(platform::IsServiceRunning("Spooler"));
    EXPECT_EQ(vextest::ReadFile(root.Path() + "/args-Dep"), "Dep\nx\n");
    ASSERT_EQ(0, Vexsys({"service", "control", "Dep", "131"}, &output)) << output;
    EXPECT_EQ(vextest::ReadFile(vextest::TestServiceMarker("Dep", 131)), "x");
    EXPECT_EQ(1, Vexsys({"service", "stop", "Spooler"}, &output));
    EXPECT_NE(output.find("error 1051"), std::string::npos) << output;
    EXPECT_EQ(2, Vexsys({"service", "control", "Dep", "x1"}, &output));
    EXPECT_EQ(2, Vexsys({"service", "create", "Dep2", "D", "/bin/true", "--start", "never"}));

    ASSERT_EQ(0, Vexsys({"service", "delete", "Dep"}, &output)) << output;
    ASSERT_EQ(0, Vexsys({"service", "stop", "Dep"}, &output)) << output;
    EXPECT_EQ(1, Vexsys({"service", "query", "Dep"}, &output));
    EXPECT_NE(output.find("error 1060"), std::string::npos) << output;
}

} // namespace
