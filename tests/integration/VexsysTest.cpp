// vexsys on a fresh system root: setup, registry access and its refusals.
#include "TestSupport.h"

#include "common/VexData.h"
#include "platform/os.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class VexsysTest : public ::testing::Test {
protected:
    int Vexsys(const std::vector<std::string>& args, std::string* output = nullptr) {
        return vextest::RunProgram(vextest::ProgramPath("vexsys"), args, output);
    }
    // vexsys run as another user through setpriv, as an attacker would run it.
    int VexsysAs(vextest::Identity eWho, const std::vector<std::string>& args,
                 std::string* output = nullptr) {
        return vextest::RunProgramAs(eWho, vextest::ProgramPath("vexsys"), args, output);
    }
    vextest::TempRoot root;
};

TEST_F(VexsysTest, SetupWritesWhatTheInstallerWrites) {
    ASSERT_EQ(0, Vexsys({"setup", "--workdir", root.Path() + "/inst", "--language", "4",
                         "--os-version", "5.0"}));
    CVexData data;
    EXPECT_EQ(root.Path() + "/inst/", data.GetWorkingDir());
    EXPECT_TRUE(data.GetFirstTime());
    std::string code;
    EXPECT_TRUE(data.GetLanguageCode(code));
    EXPECT_EQ("deu", code);
    EXPECT_EQ(eOsWin2000, data.GetOs());
}

TEST_F(VexsysTest, RegistryRoundTrip) {
    const std::string key = "SOFTWARE\\Zantor Printing Systems\\Zantor Ambrel\\Settings";
    ASSERT_EQ(0, Vexsys({"reg", "set", "HKLM", key, "TTL", "REG_DWORD", "9"}));
    EXPECT_EQ(9u, CVexData().GetTTL());
    std::string output;
    ASSERT_EQ(0, Vexsys({"reg", "get", "hklm", key, "ttl"}, &output));
    EXPECT_EQ("REG_DWORD\t0x00000009 (9)\n", output);
    ASSERT_EQ(0, Vexsys({"reg", "delete", "HKLM", key, "TTL"}));
    EXPECT_EQ(4u, CVexData().GetTTL());
}

TEST_F(VexsysTest, BadArgumentsGetClearErrors) {
    std::string output;
    EXPECT_EQ(2, Vexsys({"setup", "--language", "16"}, &output));
    EXPECT_NE(std::string::npos, output.find("--language takes a number from 1 to 15"));
    EXPECT_EQ(2, Vexsys({"setup", "--os-version", "five"}, &output));
    EXPECT_EQ(2, Vexsys({"setup", "--workdir"}, &output));
    EXPECT_NE(std::string::npos, output.find("needs a value"));
    EXPECT_EQ(2, Vexsys({"reg", "set", "HKXX", "SOFTWARE", "a", "REG_SZ", "b"}, &output));
    EXPECT_NE(std::string::npos, output.find("unknown hive"));
    EXPECT_EQ(2, Vexsys({"reg", "set", "HKLM", "SOFTWARE", "a", "REG_DWORD", "-1"}, &output));
    EXPECT_EQ(2, Vexsys({"reg", "set", "HKLM", "SOFTWARE", "a", "REG_BINARY", "abc"}, &output));
    EXPECT_EQ(1, Vexsys({"reg", "get", "HKLM", "SOFTWARE\\Missing", "a"}, &output));
    EXPECT_NE(std::string::npos, output.find("error 2"));
    EXPECT_EQ(2, Vexsys({"frobnicate"}, &output));
    EXPECT_NE(std::string::npos, output.find("unknown command"));
}

TEST_F(VexsysTest, TheMachineIsForItsAdministrators) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "other users are played through setpriv, which needs root";
    ASSERT_EQ(0, Vexsys({"setup"}));
    const std::string key = "SOFTWARE\\Zantor\\Vex";
    ASSERT_EQ(0, Vexsys({"reg", "set", "HKLM", key, "TTL", "REG_DWORD", "97531"}));
    std::string output;
    // An outsider is told why, and learns nothing.
    EXPECT_EQ(1,
              VexsysAs(vextest::Identity::Outsider, {"reg", "get", "HKLM", key, "TTL"}, &output));
    EXPECT_NE(std::string::npos, output.find("as root or as a member of the group")) << output;
    // (A number the root's random name does not hold, as a lone "9" may.)
    EXPECT_EQ(std::string::npos, output.find("97531")) << output;
    // An administrator reads and writes the settings ...
    EXPECT_EQ(
        0, VexsysAs(vextest::Identity::Administrator, {"reg", "get", "HKLM", key, "TTL"}, &output))
        << output;
    EXPECT_NE(std::string::npos, output.find("97531")) << output;
    EXPECT_EQ(0, VexsysAs(vextest::Identity::Administrator,
                          {"reg", "set", "HKLM", key, "TTL", "REG_DWORD", "10"}, &output))
        << output;
    // ... and reads them with read access only (the store's schema is not
    // made again on every open).
    ASSERT_EQ(0, ::chmod((root.Path() + "/registry.db").c_str(), 0640));
    EXPECT_EQ(
        0, VexsysAs(vextest::Identity::Administrator, {"reg", "get", "HKLM", key, "TTL"}, &output))
        << output;
    EXPECT_NE(std::string::npos, output.find("10")) << output;
    EXPECT_NE(0, VexsysAs(vextest::Identity::Administrator,
                          {"reg", "set", "HKLM", key, "TTL", "REG_DWORD", "11"}, &output));
}

TEST_F(VexsysTest, SetupCreatesTheAdministratorsGroup) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "only root can create a group";
    const std::string csGroup = "vextest" + std::to_string(::getpid());
    ::setenv("VEX_ADMIN_GROUP", csGroup.c_str(), 1);
    // A root not laid yet (the test's own belongs to the test group).
    const std::string csRoot = root.Path() + "/fresh";
    ::setenv("VEX_ROOT", csRoot.c_str(), 1);
    ASSERT_EQ(nullptr, ::getgrnam(csGroup.c_str()));
    std::string output;
    EXPECT_EQ(0, Vexsys({"setup"}, &output)) << output;
    const group* pGroup = ::getgrnam(csGroup.c_str());
    ASSERT_NE(nullptr, pGroup);
    struct stat st {};
    ASSERT_EQ(0, ::stat(csRoot.c_str(), &st));
    EXPECT_EQ(st.st_gid, pGroup->gr_gid);
    EXPECT_EQ(st.st_mode & 07777, 02770u);
    ASSERT_EQ(0, ::stat((csRoot + "/run").c_str(), &st));
    EXPECT_EQ(st.st_gid, pGroup->gr_gid);
    EXPECT_EQ(st.st_mode & 07777, 03770u);
    ASSERT_EQ(0, ::stat((csRoot + "/registry.db").c_str(), &st));
    EXPECT_EQ(st.st_gid, pGroup->gr_gid);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    vextest::RunProgram("/usr/sbin/groupdel", {csGroup});
    ::setenv("VEX_ROOT", root.Path().c_str(), 1);
}

} // namespace
