// The printer actions of the list against the service's real command server
// (in this process, over the real command pipe), the Spooler with its port
// monitor and the driver package: what each asks, what it sends, what the
// user is told, and the rules that enable them.
#include "CreationMachine.h"
#include "DemoMachine.h"
#include "GuiTestSupport.h"
#include "TestService.h"
#include "common/GtosPipeListenThread.h"
#include "common/PipeMessage.h"
#include "common/Spooler.h"
#include "common/VexData.h"
#include "gui/app/QtStrings.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/core/ActionRules.h"
#include "gui/printerdialogs/AddIconDlg.h"
#include "gui/printerdialogs/InfoItemDlg.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/PrinterView.h"
#include "platform/service.h"
#include "platform/spooler.h"
#include "service/GtosPipeWorkThread.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <thread>

using vexguitest::CScriptedPrompter;
using vexguitest::MakePrinter;
using vexguitest::WaitForUi;

TEST(ActionRulesTest, EachRuleOverTheSelection) {
    using E = EPrinterAction;
    auto enabled = [](E eAction, std::vector<SSelectedPrinter> rows, bool bMark = true) {
        return ActionEnabled(eAction, rows, bMark);
    };
    const SSelectedPrinter waiting{eVexWaiting, false}, added{eVexAdded, true},
        addedGone{eVexAdded, false}, ignored{eVexIgnore, false}, error{eVexAddError, false},
        unsupported{eVexUnsupported, false};
    for (E eAction : {E::Ignore, E::Remove, E::Restore, E::Create, E::CreateDefaults, E::Manage})
        EXPECT_FALSE(enabled(eAction, {}));

    EXPECT_TRUE(enabled(E::Ignore, {waiting, error}));
    EXPECT_FALSE(enabled(E::Ignore, {waiting, added}));
    EXPECT_TRUE(enabled(E::Restore, {ignored, error}));
    // A created printer whose queues were all deleted by hand may be restored.
    EXPECT_TRUE(enabled(E::Restore, {addedGone}));
    EXPECT_FALSE(enabled(E::Restore, {added}));
    EXPECT_FALSE(enabled(E::Restore, {ignored, waiting}));
    EXPECT_TRUE(enabled(E::Remove, {unsupported, added, waiting}));

    for (E eAction : {E::Create, E::CreateDefaults}) {
        EXPECT_TRUE(enabled(eAction, {added}));
        EXPECT_TRUE(enabled(eAction, {ignored}));
        EXPECT_FALSE(enabled(eAction, {waiting, error}));
        EXPECT_FALSE(enabled(eAction, {unsupported}));
    }
    EXPECT_TRUE(enabled(E::Manage, {added}, true));
    EXPECT_FALSE(enabled(E::Manage, {added}, false));
    EXPECT_FALSE(enabled(E::Manage, {added, added}, true));
    EXPECT_FALSE(enabled(E::Manage, {unsupported}, true));
}

namespace {
// The service's command server over its own list, the service registered and
// running, and the main window on the same printers.
class ActionsTest : public ::testing::Test {
protected:
    explicit ActionsTest(const std::vector<std::string>& packageArgs = {})
        : m_machine(packageArgs) {}
    void SetUp() override {
        ASSERT_TRUE(m_machine.Ready());
        CVexData data;
        data.AddNumData(CVexData::kMainKey, "Language", 1);
        ASSERT_TRUE(vextest::CreateTestService(CVexApp::kServiceName, "normal"));
        ASSERT_TRUE(vextest::StartAndWait(CVexApp::kServiceName));
        m_service.SetKplPath(data.GetWorkingDir() + data.GetKplFile());
        m_pListener = std::make_unique<CGtosPipeListenThread>(&m_service, nullptr, nullptr,
                                                              GtosPipeWorkThreadProc);
        m_thread = std::thread([this] { m_pListener->Listen(); });
        ASSERT_TRUE(vextest::WaitFor([] {
            return vextest::PipeOffered(kGtosPipeName, platform::PipeAccess::EveryLocalUser);
        }));
    }
    void TearDown() override {
        m_pListener->Stop();
        m_thread.join();
    }
    // The service knows the printers and has written them; the window shows them.
    void Open(const std::vector<CPrinter>& printers) {
        for (const CPrinter& printer : printers)
            ASSERT_TRUE(m_service.Add(printer));
        ASSERT_TRUE(m_service.Write());
        m_app.ColumnData().GetInformation();
        ASSERT_TRUE(m_app.ProcessShellCommand());
        m_pFrame = m_app.Frame();
        m_pFrame->ReconcileTimer()->stop();
        m_pFrame->show();
        m_pView = m_pFrame->View();
        // The service rewrites the list file during the pause.
        m_pView->SetActionPause([this] {
            ++m_iPauses;
            m_service.Write();
        });
    }
    void Select(const std::vector<std::string>& uuids) {
        bool bFirst = true;
        for (const std::string& csUUID : uuids) {
            m_pView->SelectUuid(csUUID, bFirst);
            bFirst = false;
        }
    }
    int32_t StateOf(const std::string& csUUID) {
        CPrinter printer;
        return m_service.Find(csUUID, printer) ? printer.m_VexState : -1;
    }
    int32_t ShownState(const std::string& csUUID) const {
        const int iRow = m_pView->Model()->RowOfUuid(csUUID);
        return iRow < 0 ? -1 : m_pView->Model()->PrinterAt(iRow).m_VexState;
    }
    bool Held() const {
        return m_pView->Flags().m_bHoldKplUpdates || m_pView->Flags().m_bHoldNewPrinters;
    }
    bool Enabled(int iCommand) const { return m_pFrame->Action(iCommand)->isEnabled(); }

    vextest::CCreationMachine m_machine;
    CPrinters m_service;
    std::unique_ptr<CGtosPipeListenThread> m_pListener;
    std::thread m_thread;
    CVexApp m_app;
    CVexFrame* m_pFrame = nullptr;
    CPrinterView* m_pView = nullptr;
    int m_iPauses = 0;
};

std::vector<CPrinter> FourPrinters() {
    return {MakePrinter("u1", "10.0.0.1", eVexWaiting), MakePrinter("u2", "10.0.0.2", eVexWaiting),
            MakePrinter("u3", "10.0.0.3", eVexAddError), MakePrinter("u4", "10.0.0.4", eVexIgnore)};
}

enum : int {
    kIgnore = 32785,
    kRemove = 32793,
    kRestore = 32801,
    kCreate = 32782,
    kDefaults = 32795,
    kManage = 32811
};
} // namespace

TEST_F(ActionsTest, IgnoreAndRestoreOneAndSeveralPrinters) {
    Open(FourPrinters());
    CScriptedPrompter prompter;
    Select({"u1"});
    EXPECT_TRUE(Enabled(kIgnore));
    EXPECT_FALSE(Enabled(kRestore));
    m_pFrame->Action(kIgnore)->trigger();
    EXPECT_EQ(StateOf("u1"), eVexIgnore);
    EXPECT_EQ(ShownState("u1"), eVexIgnore); // refreshed after the pause
    EXPECT_EQ(m_iPauses, 1);

    Select({"u2", "u3"});
    m_pView->OnPrinterIgnore();
    EXPECT_EQ(StateOf("u2"), eVexIgnore);
    EXPECT_EQ(StateOf("u3"), eVexIgnore);

    Select({"u1", "u3", "u4"});
    EXPECT_FALSE(Enabled(kIgnore));
    EXPECT_TRUE(Enabled(kRestore));
    m_pView->OnPrinterRestore();
    for (const char* pszUUID : {"u1", "u3", "u4"})
        EXPECT_EQ(StateOf(pszUUID), eVexWaiting) << pszUUID;
    EXPECT_EQ(StateOf("u2"), eVexIgnore);
    EXPECT_TRUE(prompter.Shown().empty());
    EXPECT_FALSE(Held());
}

TEST_F(ActionsTest, AFailedSendIsReportedOnceAndTheOthersAreStillSent) {
    std::vector<CPrinter> printers = FourPrinters();
    Open(printers);
    // The service has forgotten u1 and u2 since the file was written.
    ASSERT_TRUE(m_service.Remove("u1"));
    ASSERT_TRUE(m_service.Remove("u2"));
    CScriptedPrompter prompter;
    Select({"u1", "u2", "u3"});
    m_pView->OnPrinterIgnore();
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5041});
    EXPECT_EQ(StateOf("u3"), eVexIgnore);

    Select({"u4"});
    ASSERT_TRUE(m_service.Remove("u4"));
    m_pView->OnPrinterRestore();
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{5041, 5042}));
    EXPECT_FALSE(Held());
}

TEST_F(ActionsTest, RemoveAsksAndAnswerNoStillRefreshes) {
    Open(FourPrinters());
    CScriptedPrompter prompter({eAnswerNo});
    Select({"u1", "u4"});
    EXPECT_TRUE(Enabled(kRemove));
    // Meanwhile the service has changed a printer: the refresh shows it.
    CPrinter changed;
    ASSERT_TRUE(m_service.Find("u2", changed));
    changed.m_VexState = eVexAddError;
    m_service.UpdatePrinter(changed);
    ASSERT_TRUE(m_service.Write());
    m_pView->OnPrinterRemove();
    ASSERT_EQ(prompter.Shown(), std::vector<uint32_t>{5035});
    const std::string& csQuestion = prompter.Messages()[0].csText;
    EXPECT_NE(csQuestion.find("back in the 'Awaiting user action' state or 'Printer created' "
                              "state"),
              std::string::npos)
        << csQuestion;
    EXPECT_NE(csQuestion.find("put it in the 'Ignored by user' state"), std::string::npos);
    EXPECT_EQ(prompter.Messages()[0].eIcon, EMsgIcon::Question);
    EXPECT_EQ(m_service.GetCount(), 4);
    EXPECT_EQ(m_iPauses, 0);
    EXPECT_EQ(ShownState("u2"), eVexAddError);

    prompter.Answer(eAnswerYes);
    Select({"u1", "u4"});
    m_pView->OnPrinterRemove();
    EXPECT_EQ(m_service.GetCount(), 2);
    EXPECT_EQ(m_pView->RowCount(), 2);
    // One more, with the Delete key of the list.
    Select({"u3"});
    prompter.Answer(eAnswerYes);
    emit m_pView->DeletePressed();
    EXPECT_EQ(StateOf("u3"), -1);
    EXPECT_FALSE(Held());
}

TEST_F(ActionsTest, TheServiceCheckAsksForTheSpoolerAndTheService) {
    Open(FourPrinters());
    Select({"u1"});
    ASSERT_TRUE(vextest::StopSpoolerService());
    {
        CScriptedPrompter prompter({eAnswerNo});
        m_pView->OnPrinterIgnore();
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5057});
        EXPECT_EQ(StateOf("u1"), eVexWaiting);
        EXPECT_EQ(m_iPauses, 0);
        EXPECT_FALSE(Held());
    }
    {
        CScriptedPrompter prompter({eAnswerYes});
        m_pView->OnPrinterIgnore();
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5057});
        EXPECT_TRUE(CSpooler().IsSpoolerRunning());
        EXPECT_EQ(StateOf("u1"), eVexIgnore);
    }
    // The service stopped: 5036; No sends nothing, Yes starts it and sends.
    auto stopService = [] {
        platform::SC_HANDLE hManager =
            platform::OpenSCManager(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
        platform::SC_HANDLE hService =
            platform::OpenService(hManager, CVexApp::kServiceName, platform::SERVICE_ALL_ACCESS);
        platform::SERVICE_STATUS status{};
        platform::ControlService(hService, platform::SERVICE_CONTROL_STOP, &status);
        platform::CloseServiceHandle(hService);
        platform::CloseServiceHandle(hManager);
        return vextest::WaitFor([] { return vextest::ServiceState(CVexApp::kServiceName) == 1u; });
    };
    ASSERT_TRUE(stopService());
    Select({"u2"});
    {
        CScriptedPrompter prompter({eAnswerNo});
        m_pView->OnPrinterAddIconDefaults();
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5036});
        EXPECT_EQ(StateOf("u2"), eVexWaiting);
    }
    {
        CScriptedPrompter prompter({eAnswerYes});
        m_pView->OnPrinterIgnore();
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5036});
        EXPECT_EQ(vextest::ServiceState(CVexApp::kServiceName), 4u);
        EXPECT_EQ(StateOf("u2"), eVexIgnore);
    }
    EXPECT_FALSE(Held());
}

TEST_F(ActionsTest, CreationQuestionsAnsweredNoSendNothing) {
    std::vector<CPrinter> printers = FourPrinters();
    printers[0].m_uiPrtConfig1Var = 0x80000000; // may not print from here
    printers[1].m_VexState = eVexAdded;
    printers[1].m_csIconName = "Queue";
    Open(printers);
    std::vector<std::string> dialogs;
    m_pView->SetAddIconDialog([&](const CPrinter& printer, QWidget*) {
        dialogs.push_back(printer.m_csUUID);
        return int(QDialog::Rejected);
    });
    CScriptedPrompter prompter({eAnswerNo, eAnswerNo, eAnswerNo, eAnswerYes});
    Select({"u1"});
    EXPECT_TRUE(Enabled(kCreate));
    EXPECT_TRUE(Enabled(kDefaults));
    m_pView->OnPrinterAddIconDefaults(); // 132: No
    Select({"u2"});
    m_pView->OnPrinterAddIconDefaults(); // 5023: No
    m_pView->OnPrinterAddIcon();         // 5023: No
    Select({"u1"});
    m_pView->OnPrinterAddIcon(); // 132: Yes, the dialog, cancelled
    Select({"u1", "u3"});
    EXPECT_FALSE(Enabled(kCreate));
    EXPECT_FALSE(Enabled(kDefaults));
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{132, 5023, 5023, 132}));
    EXPECT_EQ(prompter.Messages()[0].eIcon, EMsgIcon::Exclamation);
    EXPECT_EQ(dialogs, std::vector<std::string>{"u1"});
    EXPECT_EQ(StateOf("u1"), eVexWaiting);
    EXPECT_EQ(StateOf("u2"), eVexAdded);
    EXPECT_EQ(m_iPauses, 0); // a cancelled dialog only refreshes
    EXPECT_FALSE(Held());

    // Another printer for a created one: Yes opens the dialog; OK pauses.
    m_pView->SetAddIconDialog([&](const CPrinter& printer, QWidget*) {
        dialogs.push_back(printer.m_csUUID);
        EXPECT_TRUE(Held());
        return int(QDialog::Accepted);
    });
    prompter.Answer(eAnswerYes);
    Select({"u2"});
    m_pView->OnPrinterAddIcon();
    EXPECT_EQ(dialogs, (std::vector<std::string>{"u1", "u2"}));
    EXPECT_EQ(m_iPauses, 1);
}

TEST_F(ActionsTest, CreatePrinterOpensTheCreateDialogForThePrinter) {
    Open(FourPrinters());
    CScriptedPrompter prompter;
    Select({"u3"});
    bool bOpened = false;
    vexguitest::WhenModalOpens<CAddIconDlg>(m_pView, [&](CAddIconDlg* pDialog) {
        bOpened = true;
        EXPECT_TRUE(Held());
        pDialog->reject();
    });
    m_pFrame->Action(kCreate)->trigger();
    EXPECT_TRUE(bOpened);
    EXPECT_TRUE(prompter.Shown().empty());
    EXPECT_EQ(m_iPauses, 0); // cancelled: only a refresh
    EXPECT_FALSE(Held());
}

TEST_F(ActionsTest, StateMenuChangesEverySelectedPrinter) {
    Open(FourPrinters());
    Select({"u1", "u4"});
    QMenu* pMenu = m_pView->StateMenu();
    ASSERT_EQ(pMenu->actions().size(), 5);
    QTimer::singleShot(0, pMenu, [pMenu] {
        ASSERT_TRUE(WaitForUi([pMenu] { return pMenu->isVisible(); }));
        pMenu->findChild<QAction*>("command32807")->trigger();
        pMenu->close();
    });
    m_pView->OnStateMenu();
    EXPECT_EQ(StateOf("u1"), eVexAddError);
    EXPECT_EQ(StateOf("u4"), eVexAddError);
    EXPECT_EQ(ShownState("u4"), eVexAddError);
    // Closed without a choice: nothing is sent.
    QTimer::singleShot(0, pMenu, [pMenu] {
        ASSERT_TRUE(WaitForUi([pMenu] { return pMenu->isVisible(); }));
        pMenu->close();
    });
    m_pView->OnStateMenu();
    EXPECT_EQ(StateOf("u1"), eVexAddError);
    EXPECT_EQ(m_iPauses, 1);
}

TEST_F(ActionsTest, ManageOpensTheDialogForTheSelectedPrinter) {
    std::vector<CPrinter> printers = guidemo::MakePrinters(3); // the second is created
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues(printers, &csError)) << csError;
    Open(printers);
    CScriptedPrompter prompter;
    Select({printers[0].m_csUUID});
    EXPECT_FALSE(Enabled(kManage));
    Select({printers[1].m_csUUID});
    EXPECT_TRUE(Enabled(kManage));
    int iRows = -1;
    vexguitest::WhenModalOpens<CInfoItemDlg>(m_pView, [&](CInfoItemDlg* pDialog) {
        iRows = pDialog->List()->topLevelItemCount();
        EXPECT_TRUE(m_pView->ManageBusy());
        EXPECT_TRUE(m_pView->Flags().m_bHoldNewPrinters);
        pDialog->findChild<QPushButton*>("button2")->click();
    });
    emit m_pView->EnterPressed();
    EXPECT_EQ(iRows, 1);
    // A double-click on the row opens it too.
    iRows = -1;
    vexguitest::WhenModalOpens<CInfoItemDlg>(m_pView, [&](CInfoItemDlg* pDialog) {
        iRows = pDialog->List()->topLevelItemCount();
        pDialog->reject();
    });
    auto* pTable = qobject_cast<QAbstractItemView*>(m_pView->CurrentView());
    emit pTable->doubleClicked(pTable->currentIndex());
    EXPECT_EQ(iRows, 1);
    EXPECT_FALSE(m_pView->ManageBusy());
    EXPECT_FALSE(Held());
}

namespace {
// A package without drivers for Windows 95/98, so that the additional
// drivers cannot all be installed.
class CreateWithDefaultsTest : public ActionsTest {
protected:
    CreateWithDefaultsTest() : ActionsTest({"--os", "n2"}) {}
};
} // namespace

TEST_F(CreateWithDefaultsTest, WarningsOfACreationAreShownInOneMessage) {
    vextest::CFakePrinter device(vextest::LoopbackAddress(1), "Zantor Pressa A", true);
    ASSERT_TRUE(device.Listening());
    CVexData data;
    data.SetInstallAdditionalDrivers(true);
    data.SetPublishActiveDir(false);
    CPrinter printer = MakePrinter("u1", device.Address(), eVexWaiting, "", "Zantor Pressa A");
    printer.m_uiPrtConfig1Var = 0; // may not print from here: 132 is asked, and answered Yes
    Open({printer,
          MakePrinter("u2", vextest::LoopbackAddress(2), eVexWaiting, "", "Zantor Pressa A")});
    CScriptedPrompter prompter({eAnswerYes});
    Select({"u1"});
    m_pView->OnPrinterAddIconDefaults();
    ASSERT_EQ(prompter.Shown(), (std::vector<uint32_t>{132, 5056}));
    EXPECT_EQ(prompter.Messages()[1].csText,
              LoadVexString(5056) + LoadVexString(5055) + LoadVexString(5050));
    EXPECT_EQ(prompter.Messages()[1].eIcon, EMsgIcon::Exclamation);
    EXPECT_EQ(StateOf("u1"), eVexAdded);
    EXPECT_EQ(ShownState("u1"), eVexAdded);
    platform::HPRINTER hPrinter = nullptr;
    ASSERT_TRUE(platform::OpenPrinter("Zantor Pressa A", &hPrinter, nullptr));
    platform::ClosePrinter(hPrinter);

    // Nothing answers at the second printer's address: 5052.
    Select({"u2"});
    m_pView->OnPrinterAddIconDefaults();
    EXPECT_EQ(prompter.Shown().back(), 5052u);
    EXPECT_EQ(prompter.Messages().back().eIcon, EMsgIcon::Stop);
    EXPECT_EQ(StateOf("u2"), eVexAddError);
    EXPECT_FALSE(Held());
}

// vexgui's actions run by an ordinary user of the administrators' group:
// Ignore on u1, Create printer using defaults on u3, and in the management
// dialog of u2 its queue "Back" made the default and then deleted. The exit
// code tells the first step that went wrong.
VEX_TEST_HELPER(gui_actions_as_administrator) {
    vexguitest::COffscreenApplication application;
    CScriptedPrompter prompter;
    CVexApp app;
    app.ColumnData().GetInformation();
    if (!app.ProcessShellCommand())
        return 2;
    CPrinterView* pView = app.Frame()->View();
    app.Frame()->show();
    if (pView->RowCount() != 3)
        return 7;
    pView->SetActionPause([] {});
    pView->SelectUuid("u1", true);
    pView->OnPrinterIgnore();
    pView->SelectUuid("u3", true);
    pView->OnPrinterAddIconDefaults();
    if (!prompter.Shown().empty())
        return 3;
    CInfoItemDlg dialog(pView->Model()->PrinterAt(pView->Model()->RowOfUuid("u2")));
    QTreeWidget* pList = dialog.List();
    if (pList->topLevelItemCount() != 2)
        return 4;
    pList->topLevelItem(1)->setSelected(true);
    dialog.OnSetDefault();
    if (pList->topLevelItem(1)->text(0).toStdString() != "Back (default printer)")
        return 5;
    // The test page goes through the spooler as this administrator.
    dialog.OnTimer();
    dialog.OnPrintTestPage();
    if (!dialog.findChild<QLabel*>("testPageResult")
             ->text()
             .startsWith("The test page was sent to 'Back' (job "))
        return 8;
    dialog.OnRemove();
    if (pList->topLevelItemCount() != 1 || prompter.Shown() != std::vector<uint32_t>{151, 129})
        return 6;
    return 0;
}

TEST_F(ActionsTest, AnAdministratorWhoIsNotRootRunsTheActions) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "needs root to become another user";
    vextest::CFakePrinter device(vextest::LoopbackAddress(3), "Zantor Pressa A");
    ASSERT_TRUE(device.Listening());
    CPrinter created = MakePrinter("u2", "10.0.0.2", eVexAdded);
    created.m_csIconName = "Front, Back";
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues({created}, &csError)) << csError;
    Open({MakePrinter("u1", "10.0.0.1", eVexWaiting), created,
          MakePrinter("u3", device.Address(), eVexWaiting, "", "Zantor Pressa A")});
    EXPECT_EQ(
        vextest::RunHelperAs(vextest::Identity::Administrator, "gui_actions_as_administrator"), 0);
    EXPECT_EQ(StateOf("u1"), eVexIgnore);
    EXPECT_EQ(StateOf("u3"), eVexAdded);
    platform::HPRINTER hPrinter = nullptr;
    EXPECT_FALSE(platform::OpenPrinter("Back", &hPrinter, nullptr));
    ASSERT_TRUE(platform::OpenPrinter("Zantor Pressa A", &hPrinter, nullptr));
    platform::ClosePrinter(hPrinter);
    // The default printer was the helper's own.
    std::string csDevice;
    platform::GetProfileString("windows", "device", ",,,", &csDevice, 256);
    EXPECT_EQ(csDevice, ",,,");
}

TEST_F(ActionsTest, OutcomesAndTheServiceStateAreInTheStatusBar) {
    Open(FourPrinters());
    CScriptedPrompter prompter;
    EXPECT_EQ(m_pFrame->StatusPane()->text(), VexQString(57345));
    Select({"u1", "u2"});
    m_pView->OnPrinterIgnore();
    EXPECT_EQ(m_pFrame->StatusPane()->text().toStdString(), "Ignored 2 printers");
    Select({"u1"});
    m_pView->OnPrinterRestore();
    EXPECT_EQ(m_pFrame->StatusPane()->text().toStdString(), "Restored 1 printer");
    // The outcome stays until the service's state changes.
    m_pFrame->ShowServiceState();
    EXPECT_EQ(m_pFrame->StatusPane()->text().toStdString(), "Restored 1 printer");
    ASSERT_TRUE(CSpooler().VexStopService(CVexApp::kServiceName));
    m_pFrame->ShowServiceState();
    EXPECT_EQ(m_pFrame->StatusPane()->text(), VexQString(5098));
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST_F(ActionsTest, RemoveNamesThePrintersAndDeletesTheirQueuesOnlyWhenAsked) {
    CPrinter kept = MakePrinter("u5", "10.0.0.5", eVexAdded, "host", "Laser 1332");
    kept.m_csIconName = "Kept";
    CPrinter gone = MakePrinter("u6", "10.0.0.6", eVexAdded, "host", "Zantor Pressa B");
    gone.m_csIconName = "Gone 1, Gone 2";
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues({kept, gone}, &csError)) << csError;
    Open({kept, gone});
    CScriptedPrompter prompter;
    // Unticked, as the box comes: the queue stays.
    prompter.m_onShow = [](const SVexMessage& message) {
        EXPECT_EQ(message.csCheckBox, "Also &delete their print queues");
        ASSERT_NE(message.pbChecked, nullptr);
        EXPECT_FALSE(*message.pbChecked);
    };
    Select({"u5"});
    m_pView->OnPrinterRemove();
    ASSERT_EQ(prompter.Shown(), std::vector<uint32_t>{5035});
    EXPECT_NE(
        prompter.Messages()[0].csText.find("The printers to remove:\n  Laser 1332 (10.0.0.5)"),
        std::string::npos)
        << prompter.Messages()[0].csText;
    EXPECT_EQ(StateOf("u5"), -1);
    platform::HPRINTER hPrinter = nullptr;
    ASSERT_TRUE(platform::OpenPrinter("Kept", &hPrinter, nullptr));
    platform::ClosePrinter(hPrinter);
    EXPECT_EQ(m_pFrame->StatusPane()->text().toStdString(), "Removed 1 printer");

    // Ticked: the queues go through the same deletion as Manage printers.
    prompter.m_onShow = [](const SVexMessage& message) { *message.pbChecked = true; };
    Select({"u6"});
    m_pView->OnPrinterRemove();
    EXPECT_EQ(StateOf("u6"), -1);
    for (const char* pszQueue : {"Gone 1", "Gone 2"})
        EXPECT_FALSE(platform::OpenPrinter(pszQueue, &hPrinter, nullptr)) << pszQueue;
    ASSERT_TRUE(platform::OpenPrinter("Kept", &hPrinter, nullptr));
    platform::ClosePrinter(hPrinter);
    EXPECT_EQ(m_pFrame->StatusPane()->text().toStdString(),
              "Removed 1 printer and deleted 2 print queues");
    EXPECT_EQ(prompter.Shown().size(), 2u);
}

TEST_F(ActionsTest, EnterCreatesForAnAwaitingPrinterAndManagesACreatedOne) {
    std::vector<CPrinter> printers = guidemo::MakePrinters(3); // the second is created
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues(printers, &csError)) << csError;
    printers.push_back(MakePrinter("u9", "10.0.0.9", eVexUnsupported));
    Open(printers);
    CScriptedPrompter prompter;
    std::vector<std::string> opened;
    m_pView->SetAddIconDialog([&](const CPrinter& printer, QWidget*) {
        opened.push_back("create " + printer.m_csUUID);
        return int(QDialog::Rejected);
    });
    m_pView->SetManageDialog([&](const CPrinter& printer, QWidget*) {
        opened.push_back("manage " + printer.m_csUUID);
        return int(QDialog::Rejected);
    });
    ASSERT_EQ(printers[0].m_VexState, eVexWaiting);
    Select({printers[0].m_csUUID});
    emit m_pView->EnterPressed();
    Select({printers[1].m_csUUID});
    emit m_pView->EnterPressed();
    // Nothing obvious for an unsupported printer or for two rows.
    Select({"u9"});
    emit m_pView->EnterPressed();
    Select({printers[0].m_csUUID, printers[2].m_csUUID});
    emit m_pView->EnterPressed();
    EXPECT_EQ(opened, (std::vector<std::string>{"create " + printers[0].m_csUUID,
                                                "manage " + printers[1].m_csUUID}));
}

TEST_F(ActionsTest, ANewPrinterHeldDuringAnActionIsNotLost) {
    Open(FourPrinters());
    CScriptedPrompter prompter;
    // The notification worker holds a "New Printer" while the dialog is open.
    m_pView->SetAddIconDialog([this](const CPrinter&, QWidget*) {
        EXPECT_TRUE(m_pView->Flags().m_bHoldNewPrinters);
        m_pView->Flags().m_bNewPrinterHeld = true;
        return int(QDialog::Rejected);
    });
    Select({"u4"});
    m_pView->OnPrinterAddIcon();
    EXPECT_TRUE(WaitForUi([&] { return prompter.Shown() == std::vector<uint32_t>{5039}; }));
    EXPECT_FALSE(m_pView->Flags().m_bNewPrinterHeld);
    EXPECT_FALSE(Held());
}
