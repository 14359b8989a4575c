// The port monitor's installation and upgrade, and its RPC client, against the
// spooler service that hosts it.
#include "CreationMachine.h"
#include "TestService.h"
#include "common/Trace.h"

#include "common/PortMonitorRpc.h"
#include "common/VexData.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/os.h"
#include "platform/rpc_ndr.h"
#include "platform/service.h"
#include "platform/spooler.h"
#include "service/PortManager.h"
#include "service/PortMonInstall.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

using namespace platform;

namespace {

std::vector<MONITOR_INFO_2> Monitors(std::vector<uint64_t>* pStorage) {
    uint32_t needed = 0, count = 0;
    EnumMonitors(2, nullptr, 0, &needed, &count);
    pStorage->assign(needed / 8 + 1, 0);
    auto* bytes = reinterpret_cast<uint8_t*>(pStorage->data());
    if (!EnumMonitors(2, bytes, needed, &needed, &count))
        return {};
    auto* monitors = reinterpret_cast<const MONITOR_INFO_2*>(bytes);
    return std::vector<MONITOR_INFO_2>(monitors, monitors + count);
}

std::string InstalledVersion() {
    CPortMonInstall install;
    int32_t v[4];
    if (!install.GetPMVersionNum(GetSystemDirectory(), v))
        return "none";
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

class PortMonInstallTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(machine.Ready()); }
    vextest::CCreationMachine machine{{"--monitor-version", "2.1.0.5"}};
};

TEST_F(PortMonInstallTest, FirstStartInstallsAndRegistersTheMonitor) {
    std::string package = CVexData().GetPortMonPath();
    std::filesystem::rename(package + "monitor.inf", package + "MONITOR.INF");
    CPortMonInstall install;
    EXPECT_FALSE(install.IsPortMonInstalled());
    ASSERT_TRUE(install.InstallIfNecessary());
    EXPECT_TRUE(install.IsPortMonInstalled());
    std::vector<uint64_t> storage;
    auto monitors = Monitors(&storage);
    auto ours = std::find_if(monitors.begin(), monitors.end(), [](const MONITOR_INFO_2& m) {
        return std::string(m.pDLLName) == "zantornpmon.dll";
    });
    ASSERT_NE(monitors.end(), ours);
    EXPECT_STREQ("Zantor TCP/IP Network Port", ours->pName);
    EXPECT_EQ("2.1.0.5", InstalledVersion());
    EXPECT_FALSE(FileExists(GetSystemDirectory() + "MONITOR.INF"));
    EXPECT_FALSE(FileExists(GetSystemDirectory() + "monitor.inf"));
    // The registered monitor answers at once.
    EXPECT_TRUE(std::filesystem::exists(RpcEndpointPath(kPortMonitorInterface)));
    // Nothing to do the next time.
    EXPECT_FALSE(install.NeedToReinstall());
    EXPECT_TRUE(CPortMonInstall().InstallIfNecessary());
}

TEST_F(PortMonInstallTest, ANewerPackageReplacesTheRunningMonitor) {
    ASSERT_TRUE(machine.LayPackage({"--monitor-version", "2.0.9.9"}));
    ASSERT_TRUE(CPortMonInstall().InstallIfNecessary());
    EXPECT_EQ("2.0.9.9", InstalledVersion());
    // The spooler runs the monitor: its file cannot be overwritten.
    EXPECT_FALSE(CopyFile(CVexData().GetPortMonPath() + "zantornpmon.dll",
                          GetSystemDirectory() + "zantornpmon.dll", false));
    EXPECT_EQ(uint32_t(ERROR_SHARING_VIOLATION), GetLastError());

    ASSERT_TRUE(machine.LayPackage({"--monitor-version", "2.1.0.5"}));
    CPortMonInstall install;
    EXPECT_TRUE(install.IsPortMonInstalled());
    EXPECT_TRUE(install.NeedToReinstall());
    ASSERT_TRUE(install.InstallIfNecessary());
    EXPECT_EQ("2.1.0.5", InstalledVersion());
    EXPECT_EQ(unsigned(SERVICE_RUNNING), vextest::ServiceState("Spooler"));
    EXPECT_TRUE(std::filesystem::exists(RpcEndpointPath(kPortMonitorInterface)));

    // Equal and older packages are left alone.
    EXPECT_FALSE(install.NeedToReinstall());
    ASSERT_TRUE(machine.LayPackage({"--monitor-version", "2.1.0.4"}));
    EXPECT_FALSE(install.NeedToReinstall());
}

TEST_F(PortMonInstallTest, VersionComparisonAndFilesWithoutVersion) {
    // No monitor runs in these cases: the files are compared only.
    std::string installed = GetSystemDirectory() + "zantornpmon.dll";
    std::filesystem::copy_file(CVexData().GetPortMonPath() + "zantornpmon.dll", installed);
    CPortMonInstall install;
    ASSERT_TRUE(UpdateFileVersion(installed, 0x00020000, 0x00090009)); // 2.0.9.9
    EXPECT_TRUE(install.NeedToReinstall());
    ASSERT_TRUE(UpdateFileVersion(installed, 0x00020001, 0x00010000)); // 2.1.1.0
    EXPECT_FALSE(install.NeedToReinstall());
    ASSERT_TRUE(UpdateFileVersion(installed, 0x00020001, 0x00000005)); // 2.1.0.5
    EXPECT_FALSE(install.NeedToReinstall());
    vextest::WriteFile(installed, "no version in here");
    EXPECT_TRUE(install.NeedToReinstall());
    // A package without a version never replaces anything.
    vextest::WriteFile(CVexData().GetPortMonPath() + "zantornpmon.dll", "none here either");
    EXPECT_FALSE(install.NeedToReinstall());
}

TEST_F(PortMonInstallTest, ReadOnlyTargetsAreOverwrittenAndLeftWritable) {
    std::string target = GetSystemDirectory() + "zantornpmon.dll";
    vextest::WriteFile(target, "old");
    ASSERT_TRUE(SetFileAttributes(target, FILE_ATTRIBUTE_READONLY));
    vextest::WriteFile(CVexData().GetPortMonPath() + "extra.txt", "extra");
    ASSERT_TRUE(
        SetFileAttributes(CVexData().GetPortMonPath() + "extra.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CPortMonInstall().CopyPMFiles());
    EXPECT_EQ("2.1.0.5", InstalledVersion());
    EXPECT_FALSE(GetFileAttributes(target) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(GetFileAttributes(GetSystemDirectory() + "extra.txt") & FILE_ATTRIBUTE_READONLY);
}

TEST_F(PortMonInstallTest, ABusyFileIsTriedFourTimes) {
    ASSERT_TRUE(CPortMonInstall().InstallIfNecessary()); // now the spooler runs it
    machine.Root().EnableTrace(1, TRACE_ERR);
    TraceInit(1, ".bak");
    EXPECT_FALSE(CPortMonInstall().CopyPMFiles());
    std::string log = vextest::ReadFile(machine.Root().WorkDir() + "vexsrv.log");
    std::string failure = "(CPortMonInstall::CopyPMFiles)Failure #4 to copy file '" +
                          CVexData().GetPortMonPath() + "zantornpmon.dll' to '" +
                          GetSystemDirectory() + "zantornpmon.dll' GetLastError()=32";
    EXPECT_NE(std::string::npos, log.find(failure)) << log;
    EXPECT_EQ(std::string::npos, log.find("Failure #5")) << log;
}

TEST_F(PortMonInstallTest, AMonitorRegisteredUnderAnotherNameCounts) {
    // Registered in capitals, as an older installation did it.
    vextest::WriteFile(GetSystemDirectory() + "ZANTORNPMON.DLL", "an older monitor");
    MONITOR_INFO_2 info{"Old Zantor Monitor", nullptr, "ZANTORNPMON.DLL"};
    ASSERT_TRUE(AddMonitor(2, &info));
    CPortMonInstall install;
    EXPECT_TRUE(install.IsPortMonInstalled());
    EXPECT_EQ("Old Zantor Monitor", install.MonitorName());
}

TEST_F(PortMonInstallTest, AMissingPackageFailsTheInstallation) {
    std::filesystem::remove_all(CVexData().GetPortMonPath());
    EXPECT_FALSE(CPortMonInstall().InstallIfNecessary());
    std::filesystem::create_directories(CVexData().GetPortMonPath());
    // An empty folder copies nothing; the registration then finds no file.
    EXPECT_TRUE(CPortMonInstall().CopyPMFiles());
    EXPECT_FALSE(CPortMonInstall().InstallPortMonitor());
}

// A monitor played by the test: registered, but its file is no program, so
// the spooler hosts nothing and the test answers on the endpoint itself.
class PortManagerTest : public PortMonInstallTest {
protected:
    void SetUp() override {
        PortMonInstallTest::SetUp();
        vextest::WriteFile(GetSystemDirectory() + "zantornpmon.dll", "played by the test");
        MONITOR_INFO_2 info{"Zantor TCP/IP Network Port", nullptr, "zantornpmon.dll"};
        ASSERT_TRUE(AddMonitor(2, &info));
    }

    // Answers with this code and name.
    void Answer(int32_t code, const std::u16string& name) {
        server.Stop();
        ASSERT_EQ(RPC_S_OK, server.Listen([=, this](char16_t* szName, const std::u16string& addr,
                                                    uint8_t cFlag) {
            seenName = szName;
            seenAddr = addr;
            seenFlag = cFlag;
            std::copy(name.begin(), name.end(), szName);
            szName[name.size()] = 0;
            return code;
        }));
    }

    CPortMonitorServer server;
    std::u16string seenName, seenAddr;
    uint8_t seenFlag = 0;
};

TEST_F(PortManagerTest, CodesDecideWhichNameComesBack) {
    int32_t rc = -1;
    Answer(0, u"changed by the monitor");
    {
        CPortManager manager;
        ASSERT_TRUE(manager.BindingCreated());
        EXPECT_EQ("ZANTOR:1.2.3.4", manager.Add("1.2.3.4", "ZANTOR:1.2.3.4", rc));
        EXPECT_EQ(0, rc);
        EXPECT_EQ(u"1.2.3.4", seenAddr);
        EXPECT_EQ(3, seenFlag);
    }
    Answer(51, u"ZANTOR:x (2)");
    EXPECT_EQ("ZANTOR:x (2)", CPortManager().Add("h", "ZANTOR:x", rc));
    EXPECT_EQ(51, rc);
    Answer(100, u"ZANTOR:ro");
    EXPECT_EQ("ZANTOR:ro", CPortManager().Add("h", "ZANTOR:ro", rc));
    EXPECT_EQ(100, rc);
    Answer(150, u"");
    EXPECT_EQ("", CPortManager().Add("h", "ZANTOR:x", rc));
    EXPECT_EQ(150, rc);
    Answer(51, u"");
    EXPECT_EQ("", CPortManager().Add("h", "ZANTOR:x", rc));
}

TEST_F(PortManagerTest, LongNamesAreCutTo257Characters) {
    int32_t rc = -1;
    Answer(0, u"");
    std::string name257(257, 'p');
    EXPECT_EQ(name257, CPortManager().Add("h", name257, rc));
    EXPECT_EQ(257u, seenName.size());
    std::string name300 = std::string(257, 'q') + std::string(43, 'r');
    EXPECT_EQ(std::string(257, 'q'), CPortManager().Add("h", name300, rc));
    EXPECT_EQ(std::u16string(257, u'q'), seenName);
    // Text that is not valid in the code page is refused before the call.
    seenName.clear();
    EXPECT_EQ("", CPortManager().Add("h", "bad \xFF name", rc));
    EXPECT_TRUE(seenName.empty());
}

TEST_F(PortManagerTest, AFailedCallIsAnEmptyName) {
    int32_t rc = 0;
    // No server at all.
    EXPECT_EQ("", CPortManager().Add("h", "ZANTOR:x", rc));
    EXPECT_EQ(int32_t(RPC_S_SERVER_UNAVAILABLE), rc);
    // A server that takes the call and never answers: the call's limit (30 s,
    // shortened to its floor of 15 s) ends it.
    int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, RpcEndpointPath(kPortMonitorInterface).c_str());
    ASSERT_EQ(0, ::bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
    ASSERT_EQ(0, ::listen(silent, 4));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ("", CPortManager().Add("h", "ZANTOR:x", rc));
    EXPECT_EQ(int32_t(RPC_S_CALL_TIMEOUT), rc);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(CPortManager::kMinCallTimeoutMs));
    EXPECT_LT(took, std::chrono::milliseconds(3 * CPortManager::kMinCallTimeoutMs));
    ::close(silent);
}

} // namespace
