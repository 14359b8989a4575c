// The Modify dialog on a queue the service created: what it shows, what it
// changes through the spooler, and what it refuses or warns about.
#include "DialogMachine.h"
#include "GuiTestSupport.h"

#include "TestService.h"
#include "gui/core/QueueSettings.h"
#include "gui/printerdialogs/SepPageBrowseDlg.h"
#include "gui/printerdialogs/ViewIconDlg.h"
#include "platform/os.h"
#include "platform/spooler.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <memory>
#include <strings.h>

using namespace platform;
using vexguitest::CScriptedPrompter;
using vextest::ReadQueue;
using vextest::SQueueRecord;

namespace {

using ESpooler = vextest::CCreationMachine::ESpooler;

// On the emulated spooler and on CUPS (a private cupsd in the test's root).
class ModifyDialogTest : public ::testing::TestWithParam<ESpooler> {
protected:
    static std::unique_ptr<vexguitest::CDialogMachine> MakeMachine() {
        std::string csWhy;
        if (GetParam() == ESpooler::Cups && !vextest::CupsSchedulerCanRun(&csWhy))
            return nullptr;
        return std::make_unique<vexguitest::CDialogMachine>(GetParam());
    }
    void SetUp() override {
        std::string csWhy;
        if (!machine && !vextest::CupsSchedulerCanRun(&csWhy))
            GTEST_SKIP() << "no private CUPS scheduler: " << csWhy;
        ASSERT_TRUE(machine->Ready());
        printer = machine->AddPrinter(1);
        ASSERT_EQ(machine->CreateQueue(printer, "Front desk", "FRONT"), 0u);
        ownPort = "ZANTOR:" + printer.m_csIpAddr;
    }

    template <typename T> static T* Child(QWidget* pDialog, const char* pszName) {
        T* pChild = pDialog->findChild<T*>(pszName);
        EXPECT_NE(pChild, nullptr) << pszName;
        return pChild;
    }
    static void SetText(QWidget* pDialog, const char* pszName, const std::string& csText) {
        Child<QLineEdit>(pDialog, pszName)->setText(QString::fromStdString(csText));
    }
    static std::string Text(QWidget* pDialog, const char* pszName) {
        return Child<QLineEdit>(pDialog, pszName)->text().toStdString();
    }

    std::unique_ptr<vexguitest::CDialogMachine> machine = MakeMachine();
    CPrinter printer;
    std::string ownPort;
};

TEST_P(ModifyDialogTest, ShowsTheQueue) {
    CViewIconDlg dialog("Front desk", printer);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Modify Front desk");
    EXPECT_EQ(Text(&dialog, "iconName"), "Front desk");
    EXPECT_EQ(Text(&dialog, "portName"), ownPort);
    EXPECT_EQ(Text(&dialog, "shareName"), "FRONT");
    EXPECT_TRUE(Child<QCheckBox>(&dialog, "share")->isChecked());
    EXPECT_TRUE(Child<QLineEdit>(&dialog, "shareName")->isEnabled());
    // The driver type is shown, never changed.
    auto* pPcl6 = Child<QRadioButton>(&dialog, "pcl6");
    EXPECT_TRUE(pPcl6->isChecked());
    EXPECT_FALSE(pPcl6->isEnabled());
    EXPECT_EQ(dialog.findChild<QPushButton*>("ok")->text(), "&Modify");
}

TEST_P(ModifyDialogTest, ChangesTheQueueThroughTheSpooler) {
    // A second port of the system's own monitor to move the queue to.
    const CPrinter other = machine->AddPrinter(2, "Zantor Pressa B");
    ASSERT_EQ(machine->CreateQueue(other, "Back office"), 0u);
    const std::string csPage = GetSystemDirectory() + "banner.sep";
    vextest::WriteFile(csPage, "banner");
    CScriptedPrompter prompter;

    CViewIconDlg dialog("Front desk", printer);
    dialog.show();
    SetText(&dialog, "iconName", "  Reception  ");
    SetText(&dialog, "comments", "by the door");
    SetText(&dialog, "location", "ground floor");
    SetText(&dialog, "portName", "zantor:" + other.m_csIpAddr);
    SetText(&dialog, "shareName", "RECEPTION");
    // The separator page through the chooser.
    vexguitest::WhenModalOpens<CSepPageBrowseDlg>(&dialog, [&](CSepPageBrowseDlg* pChooser) {
        pChooser->selectFile(QString::fromStdString(csPage));
        static_cast<QDialog*>(pChooser)->accept();
    });
    Child<QPushButton>(&dialog, "browse")->click();
    EXPECT_EQ(Text(&dialog, "separatorPage"), csPage);
    Child<QPushButton>(&dialog, "ok")->click();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(prompter.Shown().empty());
    SQueueRecord queue;
    EXPECT_FALSE(ReadQueue("Front desk", &queue));
    ASSERT_TRUE(ReadQueue("Reception", &queue));
    EXPECT_EQ(queue.csComment, "by the door");
    EXPECT_EQ(queue.csLocation, "ground floor");
    EXPECT_EQ(queue.csShare, "RECEPTION");
    EXPECT_EQ(queue.csSepFile, csPage);
    EXPECT_TRUE(strcasecmp(queue.csPort.c_str(), ("ZANTOR:" + other.m_csIpAddr).c_str()) == 0);
    EXPECT_EQ(queue.csDriver, "Zantor Pressa A PCL6");
    if (GetParam() == ESpooler::Cups) {
        // The CUPS queue was renamed and points at the other printer.
        std::string output;
        vextest::RunProgram("/usr/bin/lpstat", {"-v"}, &output);
        EXPECT_NE(output.find("device for Reception: socket://" + other.m_csIpAddr + ":9100"),
                  std::string::npos)
            << output;
        EXPECT_EQ(output.find("Front_desk"), std::string::npos) << output;
    }
}

TEST_P(ModifyDialogTest, APortOutsideTheMonitorIsLeftWithAWarning) {
    // Another monitor's port is a name in use; a name no port has is kept
    // off the queue with a warning, while the other changes are made.
    PORT_INFO_2 standard{"IP_9.8.7.65", nullptr, "", PORT_TYPE_WRITE};
    ASSERT_TRUE(AddPortEx(2, &standard, "Standard TCP/IP Port"));
    CScriptedPrompter prompter;
    {
        CViewIconDlg dialog("Front desk", printer);
        dialog.show();
        SetText(&dialog, "portName", "ip_9.8.7.65");
        Child<QPushButton>(&dialog, "ok")->click();
        ASSERT_EQ(prompter.Shown(), std::vector<uint32_t>{5046});
        EXPECT_TRUE(dialog.isVisible());
        SetText(&dialog, "portName", "ZANTOR:elsewhere");
        SetText(&dialog, "comments", "moved");
        Child<QPushButton>(&dialog, "ok")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    ASSERT_FALSE(prompter.Messages().empty());
    const SVexMessage& warning = prompter.Messages().back();
    EXPECT_EQ(warning.uiId, 5059u);
    EXPECT_EQ(warning.eIcon, EMsgIcon::Exclamation);
    EXPECT_EQ(warning.csText,
              "The printer was updated successfully, but the following warnings occurred:\n\n"
              "- Ambrel had to use a different port name than the one you specified\n");
    SQueueRecord queue;
    ASSERT_TRUE(ReadQueue("Front desk", &queue));
    EXPECT_EQ(queue.csPort, ownPort);
    EXPECT_EQ(queue.csComment, "moved");
}

TEST_P(ModifyDialogTest, RefusesBadNamesAndAMissingShareName) {
    ASSERT_EQ(machine->CreateQueue(printer, "Back office"), 0u);
    CScriptedPrompter prompter;
    CViewIconDlg dialog("Front desk", printer);
    dialog.show();
    auto* pOk = Child<QPushButton>(&dialog, "ok");
    SetText(&dialog, "iconName", "Front:desk");
    pOk->click();
    SetText(&dialog, "iconName", "Back office");
    pOk->click();
    SetText(&dialog, "iconName", "Front desk");
    SetText(&dialog, "shareName", "");
    pOk->click();
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{5045, 5046, 154}));
    EXPECT_NE(prompter.Messages()[0].csText.find("characters !\\/:*?<>|,"), std::string::npos);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(Child<QLineEdit>(&dialog, "shareName")->hasFocus() || !dialog.isActiveWindow());
    SQueueRecord queue;
    ASSERT_TRUE(ReadQueue("Front desk", &queue));
    EXPECT_EQ(queue.csShare, "FRONT");
}

TEST_P(ModifyDialogTest, UnsharingKeepsAProposalAndClearsPublish) {
    CScriptedPrompter prompter;
    CViewIconDlg dialog("Front desk", printer);
    dialog.show();
    auto* pShare = Child<QCheckBox>(&dialog, "share");
    auto* pPublish = Child<QCheckBox>(&dialog, "publish");
    pPublish->setChecked(true);
    SetText(&dialog, "shareName", "");
    pShare->click();
    EXPECT_FALSE(pShare->isChecked());
    EXPECT_FALSE(pPublish->isChecked());
    EXPECT_FALSE(pPublish->isEnabled());
    EXPECT_FALSE(Text(&dialog, "shareName").empty());
    Child<QPushButton>(&dialog, "ok")->click();
    EXPECT_TRUE(prompter.Shown().empty());
    SQueueRecord queue;
    ASSERT_TRUE(ReadQueue("Front desk", &queue));
    EXPECT_EQ(queue.dwAttributes & (PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_PUBLISHED), 0u);
}

TEST_P(ModifyDialogTest, PublishingOnWindowsNt4) {
    ASSERT_TRUE(SetEmulatedVersion(4, 0));
    CScriptedPrompter prompter;
    CViewIconDlg dialog("Front desk", printer);
    dialog.show();
    EXPECT_FALSE(Child<QCheckBox>(&dialog, "publish")->isVisible());
    Child<QPushButton>(&dialog, "ok")->click();
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST_P(ModifyDialogTest, AChangeTheSpoolerRefusesIsReported) {
    CScriptedPrompter prompter;
    CViewIconDlg dialog("Front desk", printer);
    dialog.show();
    SetText(&dialog, "comments", "lost?");
    ASSERT_TRUE(vextest::StopSpoolerService());
    Child<QPushButton>(&dialog, "ok")->click();
    ASSERT_FALSE(prompter.Shown().empty());
    EXPECT_EQ(prompter.Shown().front(), 5080u);
    EXPECT_EQ(prompter.Messages().front().eIcon, EMsgIcon::Stop);
}

INSTANTIATE_TEST_SUITE_P(Spoolers, ModifyDialogTest,
                         ::testing::Values(ESpooler::Emulated, ESpooler::Cups),
                         [](const ::testing::TestParamInfo<ESpooler>& info) {
                             return info.param == ESpooler::Cups ? "Cups" : "Emulated";
                         });

TEST(QueueSettingsTest, AQueueThatCannotBeOpenedGivesEmptyValues) {
    vexguitest::CDialogMachine machine;
    ASSERT_TRUE(machine.Ready());
    CQueueSettings queue;
    EXPECT_FALSE(queue.Open("No such queue"));
    EXPECT_FALSE(queue.IsOpen());
    EXPECT_EQ(queue.Values().csIconName, "");
    EXPECT_EQ(queue.Values().csPortName, "");
}

} // namespace
