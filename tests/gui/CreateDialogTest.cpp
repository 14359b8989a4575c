// The create-printer dialog against the real command server, spooler, port
// monitor and driver package: what it proposes, what it refuses, what it asks
// the service for, and how it reports the outcome.
#include "DialogMachine.h"
#include "GuiTestSupport.h"

#include "TraceLog.h"
#include "common/VexData.h"
#include "gui/printerdialogs/AddIconDlg.h"
#include "gui/printerdialogs/ViewIconDlg.h"
#include "platform/os.h"
#include "platform/spooler.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;
using vexguitest::CScriptedPrompter;
using vextest::ReadQueue;
using vextest::SQueueRecord;

// The dialogs run by an ordinary user of the administrators' group: creates
// the queue ARGS[3] for the printer (UUID, address, model), then gives it a
// comment through Modify.
VEX_TEST_HELPER(dialogs_as_administrator) {
    vexguitest::COffscreenApplication application;
    CScriptedPrompter prompter;
    CPrinter printer;
    printer.m_csUUID = args.at(0);
    printer.m_csIpAddr = args.at(1);
    printer.m_csPrinterModel = args.at(2);
    {
        CAddIconDlg dialog(printer);
        dialog.show();
        dialog.findChild<QLineEdit*>("iconName")->setText(QString::fromStdString(args.at(3)));
        dialog.findChild<QPushButton*>("ok")->click();
        if (dialog.result() != QDialog::Accepted || !prompter.Shown().empty())
            return 1;
    }
    CViewIconDlg dialog(args.at(3), printer);
    dialog.show();
    dialog.findChild<QLineEdit*>("comments")->setText("set by an administrator");
    dialog.findChild<QPushButton*>("ok")->click();
    return dialog.result() == QDialog::Accepted && prompter.Shown().empty() ? 0 : 2;
}

namespace {

template <typename T> T* Child(QWidget* pDialog, const char* pszName) {
    T* pChild = pDialog->findChild<T*>(pszName);
    EXPECT_NE(pChild, nullptr) << pszName;
    return pChild;
}
void SetText(QWidget* pDialog, const char* pszName, const std::string& csText) {
    Child<QLineEdit>(pDialog, pszName)->setText(QString::fromStdString(csText));
}
std::string Text(QWidget* pDialog, const char* pszName) {
    return Child<QLineEdit>(pDialog, pszName)->text().toStdString();
}
void ClickOk(QWidget* pDialog) {
    Child<QPushButton>(pDialog, "ok")->click();
}

// Removes the .inf files of a driver type: its installer stays, but no model
// is supported by it any more.
void RemoveModelsOf(eDriverType eType) {
    CVexData data;
    for (const auto& entry :
         std::filesystem::directory_iterator(data.GetDriverPath(data.GetOs(), eType)))
        if (entry.path().extension() == ".inf")
            std::filesystem::remove(entry.path());
}

class CreateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(machine.Ready());
        printer = machine.AddPrinter(1);
    }

    vexguitest::CDialogMachine machine;
    CPrinter printer;
};

TEST_F(CreateDialogTest, ProposesTheDefaultValues) {
    CVexData().SetSharePrinter(true);
    CVexData().SetDriverType(eDriverPcl5);
    CVexData().SetUseExistingDriver(eUseExistingReplace);
    CAddIconDlg dialog(printer);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle().toStdString(), printer.m_csIpAddr + " - Create printer");
    EXPECT_EQ(Text(&dialog, "iconName"), "Zantor Pressa A");
    EXPECT_EQ(Text(&dialog, "portName"), "ZANTOR:" + printer.m_csIpAddr);
    EXPECT_EQ(Text(&dialog, "shareName"),
              CVexData().GetShareName(printer.m_csPrinterModel, printer.m_csIpAddr));
    EXPECT_EQ(Text(&dialog, "separatorPage"), "");
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "pcl5")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "replaceExisting")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "addlReplaceExisting")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(&dialog, "share")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(&dialog, "publish")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(&dialog, "publish")->isVisible());
    // No internet here: updated software is not offered.
    EXPECT_FALSE(Child<QRadioButton>(&dialog, "checkUpdates")->isEnabled());
    // A queue of that name makes the proposal the next free one.
    ASSERT_EQ(machine.CreateQueue(printer, "Zantor Pressa A"), 0u);
    CAddIconDlg second(printer);
    second.show();
    EXPECT_EQ(Text(&second, "iconName"), "Zantor Pressa A (2)");
}

TEST_F(CreateDialogTest, DriverTypesTheModelLacksAreHidden) {
    ASSERT_TRUE(SetEmulatedVersion(4, 0));
    RemoveModelsOf(eDriverPostScript);
    RemoveModelsOf(eDriverPcl6);
    CVexData().SetDriverType(eDriverPcl6);
    CAddIconDlg dialog(printer);
    dialog.show();
    EXPECT_FALSE(Child<QRadioButton>(&dialog, "pcl6")->isVisible());
    EXPECT_FALSE(Child<QRadioButton>(&dialog, "postScript")->isVisible());
    // The choice moves to the type that is shown.
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "pcl5")->isVisible());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "pcl5")->isChecked());
    // Windows NT 4.0 does not publish.
    EXPECT_FALSE(Child<QCheckBox>(&dialog, "publish")->isVisible());
}

TEST_F(CreateDialogTest, NoDriverTypeAtAllClosesTheDialog) {
    CTraceLog log(machine.Root(), TRACE_ERR | TRACE_DET);
    CVexData data;
    for (eDriverType eType : {eDriverPcl6, eDriverPcl5, eDriverPostScript})
        std::filesystem::remove(data.GetDriverInstallerPathAndFilename(data.GetOs(), eType));
    CScriptedPrompter prompter;
    CAddIconDlg dialog(printer);
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5040});
    EXPECT_EQ(prompter.Messages()[0].eIcon, EMsgIcon::Stop);
    EXPECT_TRUE(log.Has("DET", "(CAddIconDlg::OnInitDialog)Message VEX208 displayed to user."));
    EXPECT_TRUE(
        log.Has("ERR", "(CAddIconDlg::OnInitDialog)Corrupted driver tree. No driver types exist."));
}

TEST_F(CreateDialogTest, ShareAdditionalDriversAndOkRules) {
    CVexData().SetSharePrinter(true);
    CVexData().SetInstallAdditionalDrivers(false);
    CAddIconDlg dialog(printer);
    dialog.show();
    auto* pShare = Child<QCheckBox>(&dialog, "share");
    auto* pPublish = Child<QCheckBox>(&dialog, "publish");
    auto* pOk = Child<QPushButton>(&dialog, "ok");
    const std::string csProposal = Text(&dialog, "shareName");

    // Emptied share name: OK is off; unsharing refills it and clears Publish.
    SetText(&dialog, "shareName", "");
    EXPECT_FALSE(pOk->isEnabled());
    pShare->click();
    EXPECT_EQ(Text(&dialog, "shareName"), csProposal);
    EXPECT_FALSE(pPublish->isChecked());
    EXPECT_FALSE(pPublish->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(&dialog, "shareName")->isEnabled());
    EXPECT_TRUE(pOk->isEnabled());
    pShare->click();
    EXPECT_TRUE(pPublish->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>(&dialog, "shareName")->isEnabled());

    SetText(&dialog, "portName", "");
    EXPECT_FALSE(pOk->isEnabled());
    SetText(&dialog, "portName", "ZANTOR:x");
    SetText(&dialog, "iconName", "");
    EXPECT_FALSE(pOk->isEnabled());

    // The additional-driver choices follow their check box.
    auto* pAddl = Child<QCheckBox>(&dialog, "installAdditional");
    EXPECT_FALSE(Child<QRadioButton>(&dialog, "addlUseExisting")->isEnabled());
    pAddl->click();
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "addlUseExisting")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, "addlReplaceExisting")->isEnabled());
}

TEST_F(CreateDialogTest, EveryCheckKeepsTheDialogOpen) {
    CTraceLog log(machine.Root(), TRACE_INF | TRACE_DET);
    ASSERT_EQ(machine.CreateQueue(printer, "Front desk", "FRONT"), 0u);
    CVexData().SetSharePrinter(true);
    CScriptedPrompter prompter;
    CAddIconDlg dialog(printer);
    dialog.show();
    const std::string csName = Text(&dialog, "iconName");
    struct {
        const char* pszField;
        std::string csValue;
        uint32_t uiMessage;
    } const cases[] = {
        {"iconName", "Desk:2", 5045},
        {"iconName", "Front desk", 5046},
        {"iconName", "tab\there", 5048},
        {"portName", "ZANTOR|2", 5045},
        {"shareName", "SHARE:2", 5045},
        {"shareName", "front", 5046},
        {"separatorPage", "/no/such.sep", 5044},
    };
    for (const auto& check : cases) {
        SCOPED_TRACE(check.pszField + (" " + check.csValue));
        const std::string csBefore = Text(&dialog, check.pszField);
        SetText(&dialog, check.pszField, check.csValue);
        const size_t nShown = prompter.Shown().size();
        ClickOk(&dialog);
        ASSERT_EQ(prompter.Shown().size(), nShown + 1);
        EXPECT_EQ(prompter.Shown().back(), check.uiMessage);
        EXPECT_EQ(prompter.Messages().back().eIcon, EMsgIcon::Exclamation);
        EXPECT_TRUE(dialog.isVisible());
        SetText(&dialog, check.pszField, csBefore);
    }
    EXPECT_NE(prompter.Messages()[0].csText.find("special characters !\\/:*?<>|,"),
              std::string::npos);
    EXPECT_NE(prompter.Messages()[3].csText.find("special characters !\\/*?<>|,"),
              std::string::npos);
    EXPECT_TRUE(
        log.Has("DET", "(CAddIconDlg::DDV_ValidIconName)Message VEX213 displayed to user."));
    EXPECT_TRUE(
        log.Has("DET", "(CAddIconDlg::DDV_ValidIconName)Message VEX216 displayed to user."));
    EXPECT_TRUE(
        log.Has("DET", "(CAddIconDlg::DDV_ValidShareName)Message VEX214 displayed to user."));
    EXPECT_TRUE(
        log.Has("DET", "(CAddIconDlg::DDV_ValidSeparatorPage)Message VEX212 displayed to user."));
    EXPECT_TRUE(log.Has("INF", "(CAddIconDlg::OnOK)data validation failed, returning to dialog"));
    // Nothing was asked of the service.
    SQueueRecord queue;
    EXPECT_FALSE(ReadQueue(csName, &queue));
}

TEST_F(CreateDialogTest, CreatesThePrinterWithTheEnteredValues) {
    CVexData().SetInstallAdditionalDrivers(false);
    CVexData().SetSharePrinter(true);
    const std::string csPage = GetSystemDirectory() + "banner.sep";
    vextest::WriteFile(csPage, "banner");
    CScriptedPrompter prompter;
    CAddIconDlg dialog(printer);
    dialog.show();
    // Blanks around the name go; a colon is fine in a port name.
    SetText(&dialog, "iconName", "  Front desk  ");
    SetText(&dialog, "portName", "ZANTOR:front:1");
    SetText(&dialog, "shareName", "FRONT");
    SetText(&dialog, "comments", "by the door");
    SetText(&dialog, "location", "ground floor");
    SetText(&dialog, "separatorPage", csPage);
    ClickOk(&dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(prompter.Shown().empty());
    SQueueRecord queue;
    ASSERT_TRUE(ReadQueue("Front desk", &queue));
    EXPECT_EQ(queue.csPort, "ZANTOR:front:1");
    EXPECT_EQ(queue.csShare, "FRONT");
    EXPECT_EQ(queue.csComment, "by the door");
    EXPECT_EQ(queue.csLocation, "ground floor");
    EXPECT_EQ(queue.csSepFile, csPage);
    EXPECT_EQ(queue.dwAttributes, uint32_t(PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED));
    CPrinter stored;
    ASSERT_TRUE(machine.Printers().Find(printer.m_csUUID, stored));
    EXPECT_EQ(stored.m_VexState, eVexAdded);
    EXPECT_EQ(stored.m_csIconName, "Front desk");
}

TEST_F(CreateDialogTest, AnotherPortNameIsReportedFirst) {
    CVexData().SetSharePrinter(false);
    // The port name is the monitor's already, for another printer: the
    // monitor makes another port.
    const CPrinter other = machine.AddPrinter(2, "Zantor Pressa B");
    ASSERT_EQ(machine.CreateQueue(other, "Other", "", "ZANTOR:front"), 0u);
    CScriptedPrompter prompter;
    CAddIconDlg dialog(printer);
    dialog.show();
    SetText(&dialog, "portName", "ZANTOR:front");
    ClickOk(&dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(prompter.Shown(), std::vector<uint32_t>{5056});
    const std::string& csText = prompter.Messages()[0].csText;
    EXPECT_EQ(csText.find("The printer was created successfully, but the following warnings "
                          "occurred:\n\n- Ambrel had to use a different port name than the one "
                          "you specified\n"),
              0u);
}

TEST_F(CreateDialogTest, AFailureIsReportedTwice) {
    CTraceLog log(machine.Root(), TRACE_DET);
    const CPrinter unsupported = machine.AddPrinter(2, "Zantor Obscura 9");
    CScriptedPrompter prompter;
    CAddIconDlg dialog(unsupported);
    dialog.show();
    ClickOk(&dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{5054, 5011}));
    EXPECT_EQ(prompter.Messages()[1].eIcon, EMsgIcon::Stop);
    EXPECT_TRUE(log.Has("DET", "(CAddIconDlg::OnOK)Message VEX222 displayed to user."));
}

TEST_F(CreateDialogTest, AnAdministratorWhoIsNotRoot) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "other users are played through setpriv, which needs root";
    CVexData().SetInstallAdditionalDrivers(false);
    ASSERT_EQ(vextest::RunHelperAs(
                  vextest::Identity::Administrator, "dialogs_as_administrator",
                  {printer.m_csUUID, printer.m_csIpAddr, printer.m_csPrinterModel, "Admin queue"}),
              0);
    SQueueRecord queue;
    ASSERT_TRUE(ReadQueue("Admin queue", &queue));
    EXPECT_EQ(queue.csComment, "set by an administrator");
}

} // namespace
