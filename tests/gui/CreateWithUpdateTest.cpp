// "Create printer" with "Check for updated software": the driver update runs
// first against the tests' download site, then the printer is created with
// the drivers it installed.
#include "DialogMachine.h"
#include "DownloadSite.h"
#include "GuiTestSupport.h"

#include "common/DriverSite.h"
#include "common/VexData.h"
#include "gui/printerdialogs/AddIconDlg.h"
#include "platform/registry.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <gtest/gtest.h>

using vexguitest::CScriptedPrompter;

namespace {

class CreateWithUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(site.Ready()) << site.Error();
        ASSERT_TRUE(machine.Ready());
        printer = machine.AddPrinter(1);
        platform::HKEY hKey = nullptr;
        platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE,
                                 "Software\\Microsoft\\Internet Explorer", &hKey);
        platform::RegSetString(hKey, "Version", "6.0.2900.2180");
        platform::RegSetString(hKey, "MkEnabled", "Yes");
        platform::RegCloseKey(hKey);
        platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                 &hKey);
        platform::RegCloseKey(hKey);
        CVexData().AddStringData(CVexData::kMainKey, kDriverSiteValue, site.FtpRoot());
        CVexData().SetInstallAdditionalDrivers(false);
    }
    bool Lay(const std::string& csVersion, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--os", "2", "--drivers", "6", "--version", csVersion};
        args.insert(args.end(), extra.begin(), extra.end());
        return site.Lay(args);
    }
    // Opens the dialog, names the queue, asks for updated software and clicks OK.
    void CreateWithUpdate(CAddIconDlg& dialog, const std::string& csName) {
        dialog.show();
        dialog.findChild<QLineEdit*>("iconName")->setText(QString::fromStdString(csName));
        auto* pCheck = dialog.findChild<QRadioButton*>("checkUpdates");
        ASSERT_NE(nullptr, pCheck);
        ASSERT_TRUE(vexguitest::WaitForUi([pCheck] { return pCheck->isEnabled(); }));
        pCheck->click();
        dialog.findChild<QPushButton*>("ok")->click();
    }

    vextest::CDownloadSite site; // first: it moves the test into its own network
    vexguitest::CDialogMachine machine;
    CPrinter printer;
    CScriptedPrompter prompter;
};

TEST_F(CreateWithUpdateTest, ANewerPackageIsInstalledAndThePrinterCreatedWithIt) {
    ASSERT_TRUE(Lay("2.0", {"--pad", "100000"}));
    CAddIconDlg dialog(printer);
    CreateWithUpdate(dialog, "Updated");
    EXPECT_EQ(QDialog::Accepted, dialog.result());
    EXPECT_TRUE(prompter.Shown().empty());
    CVexData data;
    EXPECT_EQ("2.0", data.GetDriverVer(eDriverPcl6));
    EXPECT_TRUE(
        std::filesystem::exists(data.GetDriverPath(data.GetOs(), eDriverPcl6) + "data.cab"));
    vextest::SQueueRecord queue;
    ASSERT_TRUE(vextest::ReadQueue("Updated", &queue));
    EXPECT_EQ("Zantor Pressa A PCL6", queue.csDriver);
}

TEST_F(CreateWithUpdateTest, NothingNewerClosesTheDialogWithoutAPrinter) {
    ASSERT_TRUE(Lay(CVexData().GetDriverVer(eDriverPcl6)));
    CAddIconDlg dialog(printer);
    CreateWithUpdate(dialog, "Not made");
    EXPECT_EQ(QDialog::Rejected, dialog.result());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(prompter.Shown().empty());
    vextest::SQueueRecord queue;
    EXPECT_FALSE(vextest::ReadQueue("Not made", &queue));
}

TEST_F(CreateWithUpdateTest, AFailedUpdateKeepsTheDialogOpenWithItsEntries) {
    ASSERT_TRUE(Lay("2.0", {"--sum-text", "ERROR"}));
    CAddIconDlg dialog(printer);
    CreateWithUpdate(dialog, "Kept");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ((std::vector<uint32_t>{133}), prompter.Shown());
    EXPECT_EQ("Kept", dialog.findChild<QLineEdit*>("iconName")->text().toStdString());
    // The existing driver will do.
    dialog.findChild<QRadioButton*>("useExisting")->click();
    dialog.findChild<QPushButton*>("ok")->click();
    EXPECT_EQ(QDialog::Accepted, dialog.result());
    vextest::SQueueRecord queue;
    EXPECT_TRUE(vextest::ReadQueue("Kept", &queue));
}

} // namespace
