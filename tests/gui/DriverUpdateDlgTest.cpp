// The driver update dialog as the create-printer dialog runs it: its results,
// its messages, and Cancel in each phase, against the tests' download site.
#include "DriverUpdateFixture.h"
#include "GuiTestSupport.h"
#include "TestCertificates.h"

#include "gui/driverupdate/DriverUpdateDlg.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;
using vexguitest::CScriptedPrompter;
using vexguitest::DriverUpdateFixture;

namespace {

// Clicks Cancel once the condition holds while the dialog runs.
void CancelWhen(QObject* pOwner, std::function<bool(CDriverUpdateDlg*)> condition) {
    vexguitest::WhenModalOpens<CDriverUpdateDlg>(pOwner, [condition](CDriverUpdateDlg* pDlg) {
        auto* pTimer = new QTimer(pDlg);
        QObject::connect(pTimer, &QTimer::timeout, [pTimer, pDlg, condition] {
            if (!condition(pDlg))
                return;
            pTimer->stop();
            pDlg->findChild<QPushButton*>("cancel")->click();
        });
        pTimer->start(2);
    });
}

class DriverUpdateDlgTest : public DriverUpdateFixture {
protected:
    int Exec(eDriverType eType = eDriverPcl6) {
        CDriverUpdateDlg dlg(eType);
        return dlg.exec();
    }
    CScriptedPrompter prompter;
};

TEST_F(DriverUpdateDlgTest, ResultsAreOkAfterAnInstallationAndNoNewerWhenNothingIsNewer) {
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    EXPECT_EQ(QDialog::Accepted, Exec());
    EXPECT_EQ("2.0", CVexData().GetDriverVer(eDriverPcl6));
    EXPECT_EQ(CDriverUpdateDlg::kNoNewerSoftware, Exec());
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST_F(DriverUpdateDlgTest, FailuresShowOneMessageAndEndWithCancel) {
    ASSERT_TRUE(Lay({"--version", "2.0", "--sum-text", "ERROR"}));
    EXPECT_EQ(QDialog::Rejected, Exec());
    ASSERT_TRUE(Lay({"--version", "2.0", "--checksum", "0x00000001"}));
    EXPECT_EQ(QDialog::Rejected, Exec());
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    ASSERT_TRUE(
        platform::SetFileAttributes(DriverDir() + "setup", platform::FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(QDialog::Rejected, Exec());
    ASSERT_EQ((std::vector<uint32_t>{133, 131, 131}), prompter.Shown());
    EXPECT_EQ(EMsgIcon::Exclamation, prompter.Messages()[0].eIcon);
    EXPECT_EQ("Unable to access the internet.", prompter.Messages()[0].csText);
    EXPECT_EQ(EMsgIcon::Exclamation, prompter.Messages()[1].eIcon);
    // A failed installation is worse than a failed download.
    EXPECT_EQ(EMsgIcon::Stop, prompter.Messages()[2].eIcon);
    EXPECT_TRUE(Unchanged());
}

TEST_F(DriverUpdateDlgTest, AnHttpsSiteIsUsedOnlyWithACertificateTheMachineTrusts) {
    vextest::CTestCertificates certificates;
    ASSERT_TRUE(certificates.Ready()) << certificates.Error();
    ASSERT_TRUE(site.ServeHttps(8443, certificates.Issue("site", "IP:127.0.0.1")));
    ASSERT_TRUE(site.ServeHttps(8444, certificates.SelfSigned("self", "IP:127.0.0.1")));
    ASSERT_TRUE(site.ServeHttps(8445, certificates.Issue("other", "DNS:drivers.example.invalid")));
    ASSERT_TRUE(certificates.Trust());
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    // A stranger's certificate, or one for another host, ends at the first read.
    for (uint16_t wPort : {8444, 8445}) {
        UseSite(site.HttpsRoot(wPort));
        EXPECT_EQ(QDialog::Rejected, Exec()) << wPort;
    }
    ASSERT_EQ((std::vector<uint32_t>{133, 133}), prompter.Shown());
    EXPECT_EQ("Unable to access the internet.", prompter.Messages()[1].csText);
    EXPECT_TRUE(Unchanged());
    UseSite(site.HttpsRoot(8443));
    EXPECT_EQ(QDialog::Accepted, Exec());
    EXPECT_EQ("2.0", CVexData().GetDriverVer(eDriverPcl6));
    EXPECT_EQ(2u, prompter.Shown().size());
}

TEST_F(DriverUpdateDlgTest, WithoutAnInternetConnectionTheUserIsAskedToConnect) {
    SetKey(platform::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer",
           {{"MkEnabled", "no"}});
    ASSERT_TRUE(Lay({"--version", "2.0"}));
    // No: the site is tried all the same.
    prompter.Answer(eAnswerNo);
    EXPECT_EQ(QDialog::Accepted, Exec());
    // Yes, but no connection wizard is installed.
    prompter.Answer(eAnswerYes);
    EXPECT_EQ(QDialog::Rejected, Exec());
    EXPECT_EQ((std::vector<uint32_t>{142, 142, 133}), prompter.Shown());
}

TEST_F(DriverUpdateDlgTest, CancelWhileConnectingStopsTheWaitAtOnce) {
    // A server that takes the connection and never answers.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(8080);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, ::listen(fd, 4));
    UseSite("http://127.0.0.1:8080");
    int iPhaseAsked = -1;
    prompter.m_onShow = [&](const SVexMessage&) {
        auto* pDlg = qobject_cast<CDriverUpdateDlg*>(QApplication::activeModalWidget());
        iPhaseAsked = pDlg ? pDlg->Phase() : -1;
    };
    QObject owner;
    CancelWhen(&owner, [](CDriverUpdateDlg* pDlg) { return pDlg->Position() == 250; });
    EXPECT_EQ(QDialog::Rejected, Exec());
    ::close(fd);
    EXPECT_EQ((std::vector<uint32_t>{141}), prompter.Shown());
    EXPECT_EQ(0, iPhaseAsked);
    EXPECT_FALSE(fs::exists(TempDir()));
}

// A site that sends at 4 MB/s, so a download lasts long enough to be cancelled.
class DriverUpdateDownloadingTest : public DriverUpdateFixture {
protected:
    DriverUpdateDownloadingTest() : DriverUpdateFixture(4096) {}
    void SetUp() override {
        DriverUpdateFixture::SetUp();
        UseSite(site.HttpRoot());
        ASSERT_TRUE(Lay({"--version", "2.0", "--pad", "4000000"}));
        prompter.m_onShow = [this](const SVexMessage&) {
            auto* pDlg = qobject_cast<CDriverUpdateDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(nullptr, pDlg);
            iPhaseAsked = pDlg->Phase();
            csSizeText = pDlg->SizeText();
            bPartialFile = fs::exists(TempDir() + "/temp.exe");
        };
        // Cancel once the first kilobytes have come.
        CancelWhen(&owner, [](CDriverUpdateDlg* pDlg) {
            return pDlg->Phase() == 1 && pDlg->SizeTextVisible() && pDlg->Position() > 0;
        });
    }
    int Exec() {
        CDriverUpdateDlg dlg(eDriverPcl6);
        return dlg.exec();
    }

    CScriptedPrompter prompter;
    QObject owner;
    int iPhaseAsked = -1;
    QString csSizeText;
    bool bPartialFile = false;
};

TEST_F(DriverUpdateDownloadingTest, CancelConfirmedRemovesThePartialDownload) {
    prompter.Answer(eAnswerYes);
    EXPECT_EQ(QDialog::Rejected, Exec());
    EXPECT_EQ((std::vector<uint32_t>{135}), prompter.Shown());
    EXPECT_EQ(1, iPhaseAsked);
    EXPECT_TRUE(bPartialFile);
    const QRegularExpressionMatch match =
        QRegularExpression("^(\\d+) kB of (\\d+) kB$").match(csSizeText);
    ASSERT_TRUE(match.hasMatch()) << csSizeText.toStdString();
    EXPECT_LT(match.captured(1).toInt(), match.captured(2).toInt());
    EXPECT_EQ(int(fs::file_size(site.Path(kPackagePath)) / 1024), match.captured(2).toInt());
    EXPECT_FALSE(fs::exists(TempDir()));
    EXPECT_TRUE(Unchanged());
}

TEST_F(DriverUpdateDownloadingTest, CancelDeclinedLetsTheDownloadGoOn) {
    prompter.Answer(eAnswerNo);
    EXPECT_EQ(QDialog::Accepted, Exec());
    EXPECT_EQ((std::vector<uint32_t>{135}), prompter.Shown());
    EXPECT_TRUE(bPartialFile);
    EXPECT_EQ("2.0", CVexData().GetDriverVer(eDriverPcl6));
    EXPECT_TRUE(fs::exists(DriverDir() + "data.cab"));
    EXPECT_FALSE(fs::exists(TempDir()));
}

} // namespace
