// A workstation for driver updates: a private system root with the sample
// driver package at version 1.9, a browser and Internet settings, and the
// tests' download site (HTTP and FTP on loopback, private network) as the
// configured site.
#pragma once

#include "DownloadSite.h"
#include "TestSupport.h"
#include "common/DriverSite.h"
#include "common/VexData.h"
#include "platform/os.h"
#include "platform/registry.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace vexguitest {

class DriverUpdateFixture : public ::testing::Test {
protected:
    static constexpr const char* kPackagePath =
        "/printers/drivers/zhdp/win2kxp/pcl6/english/wxpp6enu.exe";

    explicit DriverUpdateFixture(uint32_t uKBytesPerSecond = 0) : site(uKBytesPerSecond) {}

    void SetUp() override {
        ASSERT_TRUE(site.Ready()) << site.Error();
        ::setenv("VEX_DELAY_PERCENT", "1", 1);
        root.SetUpWorkDir();
        CVexData data;
        data.AddNumData(CVexData::kMainKey, "Language", 1);
        ASSERT_EQ(0, vextest::RunProgram(vextest::ProgramPath("samplepkg"),
                                         {"--workdir", root.WorkDir(), "--driver-ver",
                                          "05/01/2005,1.9", "--os", "2"}));
        ASSERT_EQ("1.9", data.GetDriverVer(eDriverPcl6));
        SetKey(platform::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer",
               {{"Version", "6.0.2900.2180"}, {"MkEnabled", "yes"}});
        SetProxy("");
        UseSite(site.FtpRoot());
        before = Snapshot();
    }

    // Lays the PCL 6 package for Windows 2000 and XP on the site.
    bool Lay(std::vector<std::string> args) {
        args.insert(args.begin(), {"--os", "2", "--drivers", "6"});
        return site.Lay(args);
    }
    void UseSite(const std::string& csRoot) {
        CVexData().AddStringData(CVexData::kMainKey, kDriverSiteValue, csRoot);
    }
    // An empty server switches the proxy off.
    void SetProxy(const std::string& csServer) {
        platform::HKEY hKey = nullptr;
        platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                 &hKey);
        platform::RegSetDword(hKey, "ProxyEnable", csServer.empty() ? 0 : 1);
        platform::RegSetString(hKey, "ProxyServer", csServer);
        platform::RegCloseKey(hKey);
    }
    static void SetKey(platform::HKEY hRoot, const std::string& csKey,
                       const std::map<std::string, std::string>& values) {
        platform::HKEY hKey = nullptr;
        platform::RegCreateKeyEx(hRoot, csKey, &hKey);
        for (const auto& [name, value] : values)
            platform::RegSetString(hKey, name, value);
        platform::RegCloseKey(hKey);
    }

    std::string DriverDir() { return CVexData().GetDriverPath(CVexData().GetOs(), eDriverPcl6); }
    std::string MonitorDir() { return CVexData().GetPortMonPath(); }
    std::string TempDir() { return root.WorkDir() + "Temp"; }

    // Every file of the driver and monitor folders with its bytes.
    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> files;
        for (const std::string& dir : {DriverDir(), MonitorDir()})
            for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
                files[entry.path().string()] =
                    entry.is_regular_file() ? vextest::ReadFile(entry.path().string()) : "<dir>";
        return files;
    }
    bool Unchanged() { return Snapshot() == before; }

    vextest::TempRoot root;
    vextest::CDownloadSite site;
    std::map<std::string, std::string> before;
};

} // namespace vexguitest
