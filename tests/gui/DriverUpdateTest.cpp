// Driver updates against the tests' own download site: what the two workers
// decide, download and install, and what they leave behind when they fail.
#include "DownloadSite.h"
#include "DriverUpdateFixture.h"

#include "gui/core/DriverUpdate.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using vexguitest::DriverUpdateFixture;

namespace {

// What the workers told the window.
class CRecordingSink : public CDriverUpdateSink {
public:
    void SetPhase(int iPhase) override { phases.push_back(iPhase); }
    void SetProgress(int iPosition) override { progress.push_back(iPosition); }
    void SetStatus(const std::string& csText) override { statuses.push_back(csText); }
    void BeginDownload() override { bDownloadBegun = true; }
    void SetDownloaded(uint64_t qwBytes, uint64_t qwTotal) override {
        qwLastBytes = qwBytes;
        qwLastTotal = qwTotal;
    }
    void BeginInstall() override { bInstallBegun = true; }
    bool AskToConnect() override {
        bAsked = true;
        return false;
    }

    std::vector<int> phases, progress;
    std::vector<std::string> statuses;
    bool bDownloadBegun = false, bInstallBegun = false, bAsked = false;
    uint64_t qwLastBytes = 0, qwLastTotal = 0;
};

class DriverUpdateTest : public DriverUpdateFixture {
protected:
    // Both workers, one after the other, as the dialog runs them.
    SUpdateEnd Run(eDriverType eType = eDriverPcl6) {
        CDriverUpdate update(eType, sink, gate);
        SUpdateEnd end = update.Connect();
        if (end.eEnd == EUpdateEnd::Proceed)
            end = update.DownloadAndInstall();
        update.CloseHandles();
        return end;
    }

    CRecordingSink sink;
    CWorkerGate gate;
};

TEST_F(DriverUpdateTest, ANewerPackageIsDownloadedCheckedAndInstalledOverHttpAndFtp) {
    // 1.10 is newer than 1.9 (numbers, not texts, are compared), 1.10.1 than 1.10.
    const std::pair<std::string, std::string> kSites[] = {{site.FtpRoot(), "1.10"},
                                                          {site.HttpRoot(), "1.10.1"}};
    for (const auto& [csRoot, csVersion] : kSites) {
        SCOPED_TRACE(csRoot);
        UseSite(csRoot);
        ASSERT_TRUE(Lay({"--version", csVersion, "--pad", "300000"}));
        sink = CRecordingSink();
        SUpdateEnd end = Run();
        ASSERT_EQ(EUpdateEnd::Installed, end.eEnd) << end.uiMessage;
        EXPECT_EQ(csVersion, CVexData().GetDriverVer(eDriverPcl6));
        EXPECT_EQ((std::vector<int>{0, 1}), sink.phases);
        EXPECT_EQ((std::vector<int>{250, 500, 750, 0, 0, 250, 500, 750, 1000}), sink.progress);
        EXPECT_EQ((std::vector<std::string>{"Downloading software...", "Installing software..."}),
                  sink.statuses);
        EXPECT_TRUE(sink.bDownloadBegun && sink.bInstallBegun);
        EXPECT_EQ(sink.qwLastTotal, sink.qwLastBytes);
        EXPECT_GT(sink.qwLastTotal, 300000u);
        EXPECT_TRUE(fs::exists(DriverDir() + "data.cab"));
        EXPECT_TRUE(fs::exists(DriverDir() + "setup"));
        EXPECT_FALSE(fs::exists(DriverDir() + "portmon"));
        EXPECT_FALSE(fs::exists(DriverDir() + "bak"));
        EXPECT_FALSE(fs::exists(MonitorDir() + "bak"));
        EXPECT_FALSE(fs::exists(TempDir()));
        // The next look finds the same version: nothing newer.
        EXPECT_EQ(EUpdateEnd::NoNewer, Run().eEnd);
    }
}

TEST_F(DriverUpdateTest, TheSameOrAnOlderVersionEndsWithoutADownload) {
    for (const char* version : {"1.9", "1.9.0", "1.8.99", "01.09"}) {
        SCOPED_TRACE(version);
        ASSERT_TRUE(Lay({"--version", version}));
        SUpdateEnd end = Run();
        EXPECT_EQ(EUpdateEnd::NoNewer, end.eEnd);
        EXPECT_EQ(0u, end.uiMessage);
    }
    EXPECT_EQ(std::string::npos, site.Requests().find("wxpp6enu.exe")) << site.Requests();
    EXPECT_NE(std::string::npos, site.Requests().find("wxpp6enu.sum"));
    EXPECT_TRUE(Unchanged());
}

TEST_F(DriverUpdateTest, AChecksumFileWithErrorOrWithoutItsFieldsGives133) {
    for (const char* text :
         {"ERROR", "wxpp6enu.exe 2.0 0x00000000 ERROR\r\n", "wxpp6enu.exe 2.0", ""}) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(Lay({"--version", "2.0", "--sum-text", text}));
        SUpdateEnd end = Run();
        EXPECT_EQ(EUpdateEnd::Failed, end.eEnd);
        EXPECT_EQ(133u, end.uiMessage);
    }
    // No checksum file at all, and no packages for PCL 5.
    UseSite(site.HttpRoot() + "/nothing");
    EXPECT_EQ(133u, Run().uiMessage);
    UseSite(site.HttpRoot());
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    EXPECT_EQ(133u, Run(eDriverPcl5).uiMessage);
    EXPECT_EQ(std::string::npos, site.Requests().find("wxpp6enu.exe")) << site.Requests();
    EXPECT_TRUE(Unchanged());
}

TEST_F(DriverUpdateTest, AMissingPackageGives143) {
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    fs::remove(site.Path(kPackagePath));
    SUpdateEnd end = Run();
    EXPECT_EQ(EUpdateEnd::Failed, end.eEnd);
    EXPECT_EQ(143u, end.uiMessage);
    EXPECT_TRUE(Unchanged());
}

TEST_F(DriverUpdateTest, AChecksumMismatchDeletesThePackageAndLeavesTheDriversAlone) {
    ASSERT_TRUE(Lay({"--version", "2.0", "--checksum", "0x12345678"}));
    SUpdateEnd end = Run();
    EXPECT_EQ(EUpdateEnd::Failed, end.eEnd);
    EXPECT_EQ(131u, end.uiMessage);
    EXPECT_FALSE(end.bStopIcon);
    EXPECT_FALSE(sink.bInstallBegun);
    EXPECT_FALSE(fs::exists(TempDir()));
    EXPECT_TRUE(Unchanged());
}

TEST_F(DriverUpdateTest, AFailureDuringInstallationPutsTheSavedFilesBack) {
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    // The monitor's files are copied first; then a driver file that cannot be
    // overwritten fails the installation half-way.
    ASSERT_TRUE(platform::SetFileAttributes(DriverDir() + "zantor6.inf",
                                            platform::FILE_ATTRIBUTE_READONLY));
    SUpdateEnd end = Run();
    EXPECT_EQ(EUpdateEnd::Failed, end.eEnd);
    EXPECT_EQ(131u, end.uiMessage);
    EXPECT_TRUE(end.bStopIcon);
    EXPECT_TRUE(sink.bInstallBegun);
    EXPECT_TRUE(Unchanged());
    EXPECT_FALSE(fs::exists(DriverDir() + "bak"));
    EXPECT_FALSE(fs::exists(MonitorDir() + "bak"));
    EXPECT_FALSE(fs::exists(TempDir()));
}

TEST_F(DriverUpdateTest, AHostilePackageFailsWith131AndWritesNothingOutside) {
    for (const char* kind : {"dotdot", "absolute", "symlink", "hardlink"}) {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(Lay({"--version", "2.0", "--hostile", kind}));
        SUpdateEnd end = Run();
        EXPECT_EQ(EUpdateEnd::Failed, end.eEnd);
        EXPECT_EQ(131u, end.uiMessage);
        EXPECT_TRUE(Unchanged());
        EXPECT_FALSE(fs::exists(root.WorkDir() + "escaped.txt"));
        EXPECT_FALSE(fs::exists(fs::temp_directory_path() / "drvsite-escaped.txt"));
        EXPECT_FALSE(fs::exists(TempDir()));
    }
}

TEST_F(DriverUpdateTest, ThroughTheUsersProxyTheSizeIsTheAnswersLength) {
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    // Only the proxy knows the site's name.
    UseSite("http://drivers.invalid");
    SetProxy("127.0.0.1:80");
    ASSERT_EQ(EUpdateEnd::Installed, Run().eEnd);
    EXPECT_EQ("2.0", CVexData().GetDriverVer(eDriverPcl6));
}

TEST_F(DriverUpdateTest, AStoppedWorkerEndsAtItsNextCheckpointAndRemovesItsFiles) {
    ASSERT_TRUE(Lay({"--version", "2.0", "--pad", "2000000"}));
    // The window asked and the user said yes while the first blocks came in.
    struct CStopAfter : CRecordingSink {
        CDriverUpdate* pUpdate = nullptr;
        std::string csTemp;
        bool bSeenFile = false;
        void SetDownloaded(uint64_t qwBytes, uint64_t qwTotal) override {
            if (qwBytes >= 64 * 1024 && pUpdate) {
                bSeenFile = fs::exists(csTemp);
                pUpdate->Stop();
                pUpdate = nullptr;
            }
            CRecordingSink::SetDownloaded(qwBytes, qwTotal);
        }
    };
    CStopAfter stopper;
    CWorkerGate stopGate;
    CDriverUpdate stopped(eDriverPcl6, stopper, stopGate);
    stopper.pUpdate = &stopped;
    stopper.csTemp = TempDir() + "/temp.exe";
    ASSERT_EQ(EUpdateEnd::Proceed, stopped.Connect().eEnd);
    SUpdateEnd end = stopped.DownloadAndInstall();
    EXPECT_EQ(EUpdateEnd::Stopped, end.eEnd);
    EXPECT_EQ(0u, end.uiMessage);
    EXPECT_TRUE(stopper.bSeenFile);
    EXPECT_LT(stopper.qwLastBytes, stopper.qwLastTotal);
    EXPECT_FALSE(fs::exists(TempDir()));
    EXPECT_TRUE(Unchanged());
}

} // namespace
