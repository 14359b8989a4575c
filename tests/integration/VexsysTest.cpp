// vexsys on a fresh system root: setup, registry access and its refusals.
#include "TestSupport.h"

#include "common/VexData.h"
#include "platform/os.h"

#include <gtest/gtest.h>

namespace {

class VexsysTest : public ::testing::Test {
protected:
    int Vexsys(const std::vector<std::string>& args, std::string* output = nullptr) {
        return vextest::RunProgram(vextest::ProgramPath("vexsys"), args, output);
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

} // namespace
