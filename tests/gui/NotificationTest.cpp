// The service's notifications as the running GUI handles them, over the real
// notification pipe, and the discovery behind its progress dialog.
#include "../common/PipeTestWorkers.h"
#include "GuiTestSupport.h"
#include "TestService.h"
#include "common/VexData.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/notifications/StogPipeWorkThread.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/PrinterView.h"
#include "gui/printerlist/ProcessingDlg.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using vexguitest::CGuiRoot;
using vexguitest::CScriptedPrompter;
using vexguitest::MakePrinter;
using vexguitest::WaitForUi;

namespace {
std::vector<CPrinter> ThreePrinters() {
    return {MakePrinter("u1", "10.0.0.1", eVexWaiting, "one"),
            MakePrinter("u2", "10.0.0.2", eVexWaiting, "two"),
            MakePrinter("u3", "10.0.0.3", eVexAddError, "three")};
}

// The main window with its notification listener, as the start-up leaves it.
class NotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root.WriteList(ThreePrinters());
        m_app.ColumnData().GetInformation();
        ASSERT_TRUE(m_app.ProcessShellCommand());
        m_app.Frame()->ReconcileTimer()->stop();
        m_app.Frame()->show();
        m_pView = m_app.Frame()->View();
        m_pListener = std::make_unique<CStogPipeListenThread>([this](platform::HPIPE hPipe) {
            return StogPipeWorkThreadProc(hPipe, m_pView, &m_pView->Flags());
        });
        m_thread = std::thread([this] { m_pListener->Listen(); });
        ASSERT_TRUE(vextest::WaitFor(
            [] { return vextest::PipeOffered(kStogPipeName, platform::PipeAccess::Default); }));
    }
    void TearDown() override {
        m_pListener->Stop();
        m_thread.join();
    }
    // The list file as the service rewrites it.
    void Rewrite(const std::function<void(std::vector<CPrinter>&)>& change) {
        std::vector<CPrinter> printers = ThreePrinters();
        change(printers);
        m_root.WriteList(printers);
    }
    std::string HostOf(const std::string& csUUID) const {
        const int iRow = m_pView->Model()->RowOfUuid(csUUID);
        return iRow < 0 ? "" : m_pView->Model()->PrinterAt(iRow).m_csHostName;
    }

    CGuiRoot m_root;
    CVexApp m_app;
    CPrinterView* m_pView = nullptr;
    std::unique_ptr<CStogPipeListenThread> m_pListener;
    std::thread m_thread;
};
} // namespace

TEST_F(NotificationTest, ChangedHostNameIsShownWithOneMessage) {
    CScriptedPrompter prompter;
    // While message 146 is open a second update arrives: it is skipped.
    prompter.m_onShow = [this](const SVexMessage&) { m_pView->OnKplUpdated(); };
    Rewrite([](std::vector<CPrinter>& printers) {
        printers[1].m_csHostName = "renamed";
        printers[2].m_csMicrocodeLevel = "9.9";
    });
    ASSERT_TRUE(CStogPipeComm().TellGuiKplUpdated());
    ASSERT_TRUE(WaitForUi([&] { return !prompter.Shown().empty(); }));
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{146});
    EXPECT_EQ(HostOf("u2"), "renamed");
    EXPECT_EQ(m_pView->SelectedUuids(), std::vector<std::string>{"u2"});
    EXPECT_FALSE(m_pView->Flags().m_bKplUpdateRunning);

    // A change of an ignored printer, or a new printer, shows nothing.
    Rewrite([](std::vector<CPrinter>& printers) {
        printers[1].m_csHostName = "renamed";
        printers[2].m_csMicrocodeLevel = "9.9";
        printers.push_back(MakePrinter("u4", "10.0.0.4", eVexWaiting));
    });
    ASSERT_TRUE(CStogPipeComm().TellGuiKplUpdated());
    ASSERT_TRUE(WaitForUi([&] { return m_pView->RowCount() == 4; }));
    EXPECT_EQ(prompter.Shown().size(), 1u);
}

TEST_F(NotificationTest, HeldUpdatesAreAnsweredButNotShown) {
    CScriptedPrompter prompter;
    m_pView->Flags().Hold();
    Rewrite([](std::vector<CPrinter>& printers) { printers[0].m_csHostName = "held"; });
    EXPECT_TRUE(CStogPipeComm().TellGuiKplUpdated());
    EXPECT_TRUE(CStogPipeComm().TellFoundNewPrinter());
    EXPECT_TRUE(CStogPipeComm().TellGuiAddingIconsWithDefaults()); // no discovery: nothing
    EXPECT_TRUE(m_pView->Flags().m_bNewPrinterHeld);
    WaitForUi([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(HostOf("u1"), "one");
    EXPECT_TRUE(prompter.Shown().empty());
    m_pView->Flags().Release();
    EXPECT_TRUE(CStogPipeComm().TellGuiKplUpdated());
    ASSERT_TRUE(WaitForUi([&] { return HostOf("u1") == "held"; }));
}

TEST_F(NotificationTest, UnknownTextIsAnsweredAndTheConnectionStaysOpen) {
    CStogPipeComm comm;
    ASSERT_TRUE(comm.InitializeClientPipe());
    std::string csAnswer;
    ASSERT_TRUE(WritePipeMessage(comm.m_hPipe, "Make coffee"));
    ASSERT_TRUE(ReadPipeMessage(comm.m_hPipe, &csAnswer));
    EXPECT_EQ(csAnswer, "Unknown request");
    ASSERT_TRUE(WritePipeMessage(comm.m_hPipe, "Adding Icons"));
    ASSERT_TRUE(ReadPipeMessage(comm.m_hPipe, &csAnswer));
    EXPECT_EQ(csAnswer, "Success");
    ASSERT_TRUE(WritePipeMessage(comm.m_hPipe, "Quit"));
    EXPECT_FALSE(ReadPipeMessage(comm.m_hPipe, &csAnswer)); // Quit is not answered
}

TEST_F(NotificationTest, NewPrinterAsksWhenMinimisedAndTellsOtherwise) {
    CScriptedPrompter prompter({eAnswerOk, eAnswerYes});
    ASSERT_TRUE(CStogPipeComm().TellFoundNewPrinter());
    ASSERT_TRUE(WaitForUi([&] { return prompter.Shown().size() == 1; }));
    EXPECT_EQ(prompter.Shown().back(), 5039u);
    m_app.Frame()->showMinimized();
    ASSERT_TRUE(WaitForUi([&] { return m_app.Frame()->isMinimized(); }));
    ASSERT_TRUE(CStogPipeComm().TellFoundNewPrinter());
    ASSERT_TRUE(WaitForUi([&] { return prompter.Shown().size() == 2; }));
    EXPECT_EQ(prompter.Shown().back(), 5017u);
    EXPECT_TRUE(WaitForUi([&] { return !m_app.Frame()->isMinimized(); }));
}

namespace {
// The service's command pipe, answering "Discover" only when the test says so
// (or never), so that the progress dialog is surely open meanwhile.
class CDiscoverServer {
public:
    explicit CDiscoverServer(bool bWillAnswer = true)
        : m_bWillAnswer(bWillAnswer),
          m_listener(nullptr, nullptr, nullptr,
                     [this](SGtosPipeWorkData* pData) {
                         platform::HPIPE hPipe = pData->hPipe;
                         delete pData;
                         std::string csData;
                         if (ReadPipeMessage(hPipe, &csData)) {
                             ++m_iDiscovers;
                             if (m_bWillAnswer &&
                                 vextest::WaitFor([this] { return m_bAnswer.load(); }))
                                 WritePipeMessage(hPipe, "Discover\nSuccess");
                         }
                         while (ReadPipeMessage(hPipe, &csData)) {
                         }
                         m_bClientGone = true;
                         platform::DisconnectNamedPipe(hPipe);
                         platform::ClosePipe(hPipe);
                         return 0u;
                     }),
          m_thread([this] { m_listener.Listen(); }) {
        vextest::WaitFor([] {
            return vextest::PipeOffered(kGtosPipeName, platform::PipeAccess::EveryLocalUser);
        });
    }
    ~CDiscoverServer() {
        m_listener.Stop();
        m_thread.join();
    }
    void Answer() { m_bAnswer = true; }

    std::atomic<bool> m_bAnswer{false};
    std::atomic<bool> m_bClientGone{false};
    std::atomic<int> m_iDiscovers{0};

private:
    const bool m_bWillAnswer;
    CGtosPipeListenThread m_listener;
    std::thread m_thread;
};

// A discovery against a test command server, with the service "running".
class DiscoveryTest : public NotificationTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(vextest::CreateTestService(CVexApp::kServiceName, "normal"));
        ASSERT_TRUE(vextest::StartAndWait(CVexApp::kServiceName));
        CVexData().SetOpMode(eModeManual);
        NotificationTest::SetUp();
    }
};
} // namespace

TEST_F(DiscoveryTest, NotificationsDuringADiscoveryAreHeldAndSummedUpOnce) {
    CDiscoverServer server;
    CScriptedPrompter prompter;
    bool bSeenDialog = false;
    vexguitest::WhenModalOpens<CProcessingDlg>(m_pView, [&](CProcessingDlg* pDialog) {
        bSeenDialog = true;
        EXPECT_EQ(pDialog->StatusText().toStdString(), "Discovering printers...");
        Rewrite([](std::vector<CPrinter>& printers) { printers[0].m_csHostName = "found"; });
        EXPECT_TRUE(CStogPipeComm().TellGuiKplUpdated());
        EXPECT_TRUE(CStogPipeComm().TellFoundNewPrinter());
        EXPECT_TRUE(CStogPipeComm().TellFoundNewPrinter());
        server.Answer();
    });
    m_pView->OnAppDiscover();
    EXPECT_TRUE(bSeenDialog);
    // One summary message, no 146 for the held update; the list was refreshed
    // when the dialog closed.
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5039});
    EXPECT_EQ(HostOf("u1"), "found");
    EXPECT_EQ(server.m_iDiscovers, 1);
    EXPECT_FALSE(m_pView->Flags().m_bHoldKplUpdates);
    EXPECT_FALSE(m_pView->Flags().m_bHoldNewPrinters);
    EXPECT_FALSE(m_pView->Flags().m_bNewPrinterHeld);
    EXPECT_EQ(m_pView->Flags().m_pProcessingDlg.load(), nullptr);
}

TEST_F(DiscoveryTest, AddingIconsChangesTheDialog) {
    CDiscoverServer server;
    CScriptedPrompter prompter({eAnswerNo, eAnswerYes});
    vexguitest::WhenModalOpens<CProcessingDlg>(m_pView, [&](CProcessingDlg* pDialog) {
        EXPECT_TRUE(pDialog->TimerRunning());
        // Cancel, then No: the discovery runs on with the bar moving.
        pDialog->findChild<QPushButton*>("cancel")->click();
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5061});
        EXPECT_TRUE(pDialog->TimerRunning());
        EXPECT_TRUE(pDialog->isVisible());
        // "Adding Icons" reaches the dialog once and disables Cancel.
        EXPECT_TRUE(CStogPipeComm().TellGuiAddingIconsWithDefaults());
        ASSERT_TRUE(WaitForUi([&] { return !pDialog->CancelEnabled(); }));
        EXPECT_EQ(pDialog->StatusText().toStdString(), "Creating printers...");
        EXPECT_EQ(m_pView->Flags().m_pProcessingDlg.load(), nullptr);
        // Escape is refused now; the service's answer closes the dialog.
        pDialog->reject();
        EXPECT_EQ(prompter.Shown().size(), 1u);
        server.Answer();
    });
    m_pView->OnAppDiscover();
    EXPECT_FALSE(m_pView->Flags().m_bHoldKplUpdates);
}

TEST_F(DiscoveryTest, ConfirmedCancelEndsTheExchange) {
    CDiscoverServer server(false); // never answers
    CScriptedPrompter prompter({eAnswerYes});
    vexguitest::WhenModalOpens<CProcessingDlg>(m_pView,
                                               [](CProcessingDlg* pDialog) { pDialog->reject(); });
    m_pView->OnAppDiscover();
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5061});
    // The GUI closed its end: nothing is left held.
    EXPECT_TRUE(vextest::WaitFor([&] { return server.m_bClientGone.load(); }));
    EXPECT_FALSE(m_pView->Flags().m_bHoldNewPrinters);
}

TEST_F(DiscoveryTest, AutomaticModeAsksFirst) {
    CTestCommandServer server;
    CVexData().SetOpMode(eModeAutomatic);
    CScriptedPrompter prompter({eAnswerNo});
    m_pView->OnAppDiscover();
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5024});
    EXPECT_TRUE(server.log.Copy().empty());
    EXPECT_FALSE(m_pView->Flags().m_bHoldKplUpdates);
}
