// The settings store: defaults, key creation, special rules, derived paths and
// use by two processes under the settings mutex.
#include "TestSupport.h"
#include "TraceLog.h"

#include "common/VexData.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/sync.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class VexDataTest : public ::testing::Test {
protected:
    static bool KeyExists(const char* key) {
        HKEY hKey = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, &hKey) != ERROR_SUCCESS)
            return false;
        RegCloseKey(hKey);
        return true;
    }
    void MakeInstaller(eOs os, eDriverType type) {
        CVexData data;
        std::string path = data.GetDriverInstallerPathAndFilename(os, type);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        vextest::WriteFile(path, "#!/bin/sh\n");
    }
    vextest::TempRoot root;
};

TEST_F(VexDataTest, EmptyRegistryReadsDefaultsAndCreatesTheKeys) {
    CVexData data;
    EXPECT_EQ(eModePrompt, data.GetOpMode());
    for (const char* key :
         {CVexData::kMainKey, CVexData::kSettingsKey, CVexData::kTraceKey, CVexData::kColumnsKey})
        EXPECT_TRUE(KeyExists(key)) << key;
    EXPECT_EQ("vexkpl.dat", data.GetKplFile());
    EXPECT_EQ("", data.GetWorkingDir());
    EXPECT_FALSE(data.GetFirstTime());
    EXPECT_TRUE(data.GetSharePrinter());
    EXPECT_EQ(4u, data.GetTTL());
    EXPECT_FALSE(data.GetTraceOn(eExeGui));
    EXPECT_EQ(127u, data.GetTraceLevel(eExeService));
    EXPECT_EQ(1400000, data.GetTraceWrapSize(eExeService));
    EXPECT_EQ("vexgui.log", data.GetTraceFile(eExeGui));
    EXPECT_EQ("vexsrv.log", data.GetTraceFile(eExeService));
    SWindowRect rect = data.GetWindowRect();
    EXPECT_EQ(60, rect.left);
    EXPECT_EQ(480, rect.bottom);
    EXPECT_EQ(150, data.GetColumnWidth(eColumnState));
    EXPECT_EQ(-1, data.GetColumnPosition(eColumnUuid));
    EXPECT_EQ(eColumnIpAddress, data.GetSortColumn());
}

TEST_F(VexDataTest, ValuesAreStoredUnderTheirNames) {
    CVexData data;
    ASSERT_TRUE(data.SetTraceOn(eExeGui, true));
    ASSERT_TRUE(data.SetWindowRect({5, 6, 700, 1200}));
    ASSERT_TRUE(data.SetColumnPosition(eColumnModel, 5));
    EXPECT_FALSE(data.SetColumnPosition(eColumnIpAddress, 2)); // it has no position value
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyEx(HKEY_LOCAL_MACHINE, CVexData::kTraceKey, &hKey));
    uint32_t value = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryDword(hKey, "GUI trace on", &value));
    EXPECT_EQ(1u, value);
    RegCloseKey(hKey);
    std::string text;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyEx(HKEY_LOCAL_MACHINE, CVexData::kMainKey, &hKey));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryString(hKey, "Window Coordinates", &text));
    EXPECT_EQ("0005 0006 0700 1200", text);
    RegCloseKey(hKey);
    EXPECT_EQ(5, data.GetColumnPosition(eColumnModel));
}

TEST_F(VexDataTest, TextsLongerThanTheReadBufferReadAsDefault) {
    CVexData data;
    ASSERT_TRUE(
        data.AddStringData(CVexData::kMainKey, "Known printer list file", std::string(1023, 'k')));
    EXPECT_EQ(std::string(1023, 'k'), data.GetKplFile());
    ASSERT_TRUE(
        data.AddStringData(CVexData::kMainKey, "Known printer list file", std::string(1024, 'k')));
    EXPECT_EQ("vexkpl.dat", data.GetKplFile());
}

TEST(VexDataTraceTest, AValueThatCannotBeReadIsTracedNotSilentlyDefaulted) {
    CTraceLog log;
    CVexData data;
    ASSERT_TRUE(
        data.AddStringData(CVexData::kMainKey, "Known printer list file", std::string(1024, 'k')));
    EXPECT_EQ("vexkpl.dat", data.GetKplFile());
    EXPECT_TRUE(log.Has("ERR", "(CVexData::GetStringData)RegQueryValueEx failed, rc=234"));
    // A value that is simply not there reads as its default without an error.
    EXPECT_EQ(data.GetNumData(CVexData::kMainKey, "Not there", 7), 7u);
    EXPECT_FALSE(log.Has("ERR", "(CVexData::GetNumData)RegQueryValueEx failed, rc=2"));
}

TEST_F(VexDataTest, SeparatorPageNoneRule) {
    CVexData data;
    EXPECT_EQ("", data.GetSeparatorPage());
    ASSERT_TRUE(data.SetSeparatorPage(""));
    EXPECT_EQ("<none>", data.GetStringData(CVexData::kSettingsKey, "Separator Page", "x"));
    ASSERT_TRUE(data.SetSeparatorPage("sysprint.sep"));
    EXPECT_EQ("sysprint.sep", data.GetSeparatorPage());
    ASSERT_TRUE(data.AddStringData(CVexData::kSettingsKey, "Separator Page", "<NONE>"));
    EXPECT_EQ("<NONE>", data.GetSeparatorPage()); // the comparison is exact
}

TEST_F(VexDataTest, PostScriptFallsBackToPcl6ForLanguagesWithoutIt) {
    CVexData data;
    data.AddNumData(CVexData::kMainKey, "Language", 13); // rus
    data.SetDriverType(eDriverPostScript);
    EXPECT_EQ(eDriverPcl6, data.GetDriverType());
    EXPECT_EQ(0u, data.GetNumData(CVexData::kSettingsKey, "Driver Type", 9));

    data.AddNumData(CVexData::kMainKey, "Language", 1); // enu
    data.SetDriverType(eDriverPostScript);
    EXPECT_EQ(eDriverPostScript, data.GetDriverType());
}

TEST_F(VexDataTest, LanguageCodesAndFolders) {
    CVexData data;
    std::string code = "unchanged";
    EXPECT_FALSE(data.GetLanguageCode(code)); // no value yet
    EXPECT_EQ("unchanged", code);
    data.AddNumData(CVexData::kMainKey, "Language", 15);
    EXPECT_TRUE(data.GetLanguageCode(code));
    EXPECT_EQ("kor", code);
    data.AddNumData(CVexData::kMainKey, "Language", 16);
    EXPECT_FALSE(data.GetLanguageCode(code));
    EXPECT_EQ("", code);
    std::string folder;
    EXPECT_TRUE(data.GetLanguageFolder(folder, "ptb"));
    EXPECT_EQ("brazport", folder);
    EXPECT_FALSE(data.GetLanguageFolder(folder, "PTB"));
    EXPECT_EQ("", folder);
}

TEST_F(VexDataTest, ValidDriverTypeFallsBackToAnInstalledOne) {
    root.SetUpWorkDir();
    CVexData data;
    data.SetDriverType(eDriverPcl5);
    EXPECT_EQ(eDriverNone, data.GetValidDriverType());
    MakeInstaller(eOsXP, eDriverPostScript);
    EXPECT_EQ(eDriverPostScript, data.GetValidDriverType());
    MakeInstaller(eOsXP, eDriverPcl6);
    EXPECT_EQ(eDriverPcl6, data.GetValidDriverType());
    EXPECT_EQ(eDriverPcl5, eDriverType(data.GetNumData(CVexData::kSettingsKey, "Driver Type", 9)));
    data.SetDriverType(eDriverType(7));
    EXPECT_EQ(eDriverNone, data.GetValidDriverType());
}

TEST_F(VexDataTest, OsKindAndInstallationTree) {
    root.SetUpWorkDir();
    CVexData data;
    EXPECT_EQ(eOsXP, data.GetOs());
    SetEmulatedVersion(5, 0);
    EXPECT_EQ(eOsWin2000, data.GetOs());
    SetEmulatedVersion(4, 0);
    EXPECT_EQ(eOsNT4, data.GetOs());
    EXPECT_EQ(root.WorkDir() + "Files/p/n/", data.GetPortMonPath());
    EXPECT_EQ(root.WorkDir() + "Files/d/9/s/", data.GetDriverPath(eOsWin9x, eDriverPostScript));
    EXPECT_EQ(root.WorkDir() + "Files/d//5/", data.GetDriverPath(eOs(1), eDriverPcl5));
    EXPECT_EQ(root.WorkDir() + "Files/d/2//setup",
              data.GetDriverInstallerPathAndFilename(eOsXP, eDriverType(5)));
    EXPECT_EQ("Laser 1332 PCL6", data.GetDriverName("Laser 1332", eDriverPcl6));
    EXPECT_EQ("Laser 1332 PCL", data.GetDriverName("Laser 1332", eDriverPcl5));
    EXPECT_EQ("Laser 1332 PS", data.GetDriverName("Laser 1332", eDriverPostScript));
    EXPECT_EQ("Laser 1332 ", data.GetDriverName("Laser 1332", eDriverNone));
}

// Adds 1 to a shared number 1,000 times, each time under the settings mutex.
VEX_TEST_HELPER(increment_setting) {
    NamedMutex mutex("VexDataMutex");
    for (int i = 0; i < 1000; ++i) {
        NamedMutexLock lock(mutex);
        CVexData data;
        uint32_t value = data.GetNumData(CVexData::kSettingsKey, "Counter", 0);
        if (!data.AddNumData(CVexData::kSettingsKey, "Counter", value + 1))
            return 1;
    }
    return 0;
}

TEST_F(VexDataTest, TwoProcessesUnderTheSettingsMutexLoseNoIncrement) {
    pid_t first = vextest::StartHelper("increment_setting");
    pid_t second = vextest::StartHelper("increment_setting");
    EXPECT_EQ(0, vextest::WaitHelper(first));
    EXPECT_EQ(0, vextest::WaitHelper(second));
    EXPECT_EQ(2000u, CVexData().GetNumData(CVexData::kSettingsKey, "Counter", 0));
}

} // namespace
