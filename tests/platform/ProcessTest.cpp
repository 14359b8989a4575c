// Processes: the command-line rules, starting without a shell, exit codes,
// waits with a limit, starting as another user, the process list.
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/process.h"

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace platform;

namespace {

std::string Self() {
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, size_t(n > 0 ? n : 0));
}

std::string HelperLine(const std::string& name, const std::string& args) {
    return QuoteArgument(Self()) + " --vex-helper=" + name + " " + args;
}

// Writes its arguments, one a line with a trailing '|', to the file named first.
VEX_TEST_HELPER(write_args) {
    std::ofstream out(args.at(0), std::ios::binary);
    for (size_t i = 1; i < args.size(); ++i)
        out << args[i] << "|\n";
    return 0;
}

// Writes its own command line as GetProgramCommandLine reads it, one item a
// line with a trailing '|', to the file named first.
VEX_TEST_HELPER(write_command_line) {
    std::vector<std::string> line;
    if (!GetProgramCommandLine(&line))
        return 1;
    std::ofstream out(args.at(0), std::ios::binary);
    for (const std::string& item : line)
        out << item << "|\n";
    return 0;
}

// Writes "uid gid groups... ; VAR=value ; cwd" to the file named first.
VEX_TEST_HELPER(write_identity) {
    std::ofstream out(args.at(0));
    out << ::getuid() << " " << ::getgid();
    gid_t groups[64];
    int count = ::getgroups(64, groups);
    for (int i = 0; i < count; ++i)
        out << " " << groups[i];
    const char* value = std::getenv(args.at(1).c_str());
    char cwd[4096];
    out << ";" << (value ? value : "(unset)") << ";" << (::getcwd(cwd, sizeof cwd) ? cwd : "");
    return 0;
}

VEX_TEST_HELPER(exit_with) {
    return std::stoi(args.at(0));
}

VEX_TEST_HELPER(sleep_forever) {
    for (;;)
        ::pause();
}

class ProcessTest : public ::testing::Test {
protected:
    vextest::TempRoot root;
    // A folder every user may write, for helpers that run as someone else.
    std::string Shared() {
        std::string dir = root.Path() + "/shared";
        std::filesystem::create_directories(dir);
        ::chmod(root.Path().c_str(), 0755);
        ::chmod(dir.c_str(), 0777);
        return dir;
    }
};

TEST_F(ProcessTest, ArgumentsReachTheProgramWithoutAShell) {
    std::string out = root.Path() + "/args";
    std::string marker = root.Path() + "/injected";
    Process process;
    ASSERT_TRUE(process.Start(
        HelperLine("write_args", QuoteArgument(out) + " " + QuoteArgument("a;touch " + marker) +
                                     " $(touch " + marker + ") \"x\\\" y\"")));
    ASSERT_EQ(WaitResult::Signaled, process.Wait(10000));
    EXPECT_EQ("a;touch " + marker + "|\n$(touch|\n" + marker + ")|\nx\" y|\n",
              vextest::ReadFile(out));
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(ProcessTest, ExitCodesAreSignedAndTerminateSetsTheCode) {
    Process failing;
    ASSERT_TRUE(failing.Start(HelperLine("exit_with", "-6")));
    EXPECT_EQ(WaitResult::Signaled, failing.Wait());
    uint32_t code = 0;
    ASSERT_TRUE(failing.GetExitCode(&code));
    EXPECT_EQ(-6, int32_t(code));

    Process hung;
    ASSERT_TRUE(hung.Start(HelperLine("sleep_forever", "")));
    EXPECT_EQ(WaitResult::Timeout, hung.Wait(30));
    ASSERT_TRUE(hung.GetExitCode(&code));
    EXPECT_EQ(uint32_t(STILL_ACTIVE), code);
    ASSERT_TRUE(hung.Terminate(1234));
    EXPECT_EQ(WaitResult::Signaled, hung.Wait(0));
    ASSERT_TRUE(hung.GetExitCode(&code));
    EXPECT_EQ(1234u, code);
    EXPECT_FALSE(hung.Terminate(1));
}

TEST_F(ProcessTest, StartFailuresAreReported) {
    Process process;
    EXPECT_FALSE(process.Start("/no/such/program -x"));
    EXPECT_EQ(uint32_t(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(process.Start("no-such-program-anywhere"));
    EXPECT_EQ(uint32_t(ERROR_FILE_NOT_FOUND), GetLastError());
    std::string text = root.Path() + "/text";
    vextest::WriteFile(text, "not a program");
    EXPECT_FALSE(process.Start(text));
    EXPECT_EQ(uint32_t(ERROR_ACCESS_DENIED), GetLastError());
    ProcessOptions options;
    options.csCurrentDirectory = root.Path() + "/missing";
    EXPECT_FALSE(process.Start(HelperLine("exit_with", "0"), options));
    EXPECT_EQ(uint32_t(ERROR_DIRECTORY), GetLastError());
    // The machine has no console session to start a program in.
    ProcessOptions consoleUser;
    consoleUser.bActiveConsoleUser = true;
    EXPECT_FALSE(process.Start(HelperLine("exit_with", "0"), consoleUser));
    EXPECT_EQ(uint32_t(ERROR_NOT_SUPPORTED), GetLastError());
    EXPECT_FALSE(process.IsStarted());
}

TEST_F(ProcessTest, AnUnquotedProgramPathWithBlanksIsFound) {
    std::string dir = root.Path() + "/my tools";
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(Self(), dir + "/helper");
    std::string out = root.Path() + "/args";
    Process process;
    ASSERT_TRUE(process.Start(dir + "/helper --vex-helper=write_args " + out + " one"));
    ASSERT_EQ(WaitResult::Signaled, process.Wait(10000));
    EXPECT_EQ("one|\n", vextest::ReadFile(out));

    // The program reads its own line back as the start read it.
    Process reader;
    ASSERT_TRUE(reader.Start(dir + "/helper --vex-helper=write_command_line " + out +
                             " \"two words\" \"\""));
    ASSERT_EQ(WaitResult::Signaled, reader.Wait(10000));
    uint32_t code = 1;
    ASSERT_TRUE(reader.GetExitCode(&code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(dir + "/helper|\n--vex-helper=write_command_line|\n" + out + "|\ntwo words|\n|\n",
              vextest::ReadFile(out));
}

TEST_F(ProcessTest, RunsAsAnotherUserWithExtraVariablesAndFolder) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may start a program as another user";
    std::string shared = Shared();
    std::string out = shared + "/identity";
    ProcessOptions options;
    options.bRunAsUser = true;
    options.uiUserId = 65534;
    options.uiGroupId = 65534;
    options.vEnvironment = {{"VEX_TEST_VALUE", "a b=c"}};
    options.csCurrentDirectory = shared;
    Process process;
    ASSERT_TRUE(process.Start(HelperLine("write_identity", out + " VEX_TEST_VALUE"), options));
    ASSERT_EQ(WaitResult::Signaled, process.Wait(10000));
    std::string identity = vextest::ReadFile(out);
    // No group of root survives the switch.
    EXPECT_EQ(0u, identity.rfind("65534 65534", 0)) << identity;
    EXPECT_EQ(std::string::npos, identity.find(" 0;")) << identity;
    EXPECT_NE(std::string::npos, identity.find(";a b=c;" + shared)) << identity;
}

TEST_F(ProcessTest, RunsAsTheUserOfAnotherProcess) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may start a program as another user";
    std::string shared = Shared();
    ProcessOptions asNobody;
    asNobody.bRunAsUser = true;
    asNobody.uiUserId = 65534;
    asNobody.uiGroupId = 65534;
    Process gui;
    ASSERT_TRUE(gui.Start(HelperLine("sleep_forever", ""), asNobody));

    uint32_t uid = 0, gid = 0;
    std::vector<uint32_t> groups;
    ASSERT_TRUE(vextest::WaitFor(
        [&] { return GetProcessUser(gui.Id(), &uid, &gid, &groups) && uid == 65534; }));
    std::vector<ProcessEntry> processes;
    ASSERT_TRUE(EnumProcesses(&processes));
    auto it = std::find_if(processes.begin(), processes.end(),
                           [&](const ProcessEntry& e) { return e.dwProcessId == gui.Id(); });
    ASSERT_NE(processes.end(), it);
    EXPECT_EQ(Self(), it->csImagePath);
    EXPECT_EQ(65534u, it->uiUserId);

    std::string out = shared + "/identity";
    ProcessOptions options;
    options.dwRunAsUserOfProcessId = gui.Id();
    Process process;
    ASSERT_TRUE(process.Start(HelperLine("write_identity", out + " HOME"), options));
    ASSERT_EQ(WaitResult::Signaled, process.Wait(10000));
    EXPECT_EQ(0u, vextest::ReadFile(out).rfind("65534 65534 65534;"));
    gui.Terminate(0);

    options.dwRunAsUserOfProcessId = gui.Id(); // gone now
    Process late;
    EXPECT_FALSE(late.Start(HelperLine("exit_with", "0"), options));
    EXPECT_EQ(uint32_t(ERROR_INVALID_PARAMETER), GetLastError());
}

} // namespace
