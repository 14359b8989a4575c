// The GUI against the real system: vexsrv run by the service manager, its
// discovery hearing printers played by printer-sim, and the Spooler with the
// port monitor, all in a private network namespace of each test's own.
#include "LiveService.h"
#include "GuiTestSupport.h"
#include "common/Printers.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/core/StateFilter.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/PrinterView.h"
#include "gui/printerlist/ProcessingDlg.h"
#include "platform/service.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

using vexguitest::CScriptedPrompter;
using vexguitest::WaitForUi;

namespace {

constexpr unsigned kRunning = platform::SERVICE_RUNNING;

class LiveServiceTest : public ::testing::Test {
protected:
    explicit LiveServiceTest(eMode mode = eModeManual) : m_service(mode) {}
    void SetUp() override { ASSERT_TRUE(m_service.Ready()) << m_service.Error(); }

    // Starts the GUI as a user would, with the service running.
    void OpenGui() {
        m_pApp = std::make_unique<CVexApp>();
        ASSERT_TRUE(m_pApp->InitInstance({}));
        m_pView = m_pApp->Frame()->View();
    }
    // Waits for a condition on the shown list, with creation's time limits
    // in mind.
    static bool WaitForList(const std::function<bool()>& condition) {
        return WaitForUi(condition, std::chrono::seconds(30));
    }
    const CPrinter* Shown(const std::string& csUUID) const {
        const int iRow = m_pView->Model()->RowOfUuid(csUUID);
        return iRow < 0 ? nullptr : &m_pView->Model()->PrinterAt(iRow);
    }
    void ShowKind(int iKind) {
        m_pApp->Frame()->Filter()->setCurrentIndex(iKind);
        emit m_pApp->Frame()->Filter()->activated(iKind);
    }
    std::string Text(int iRow, int iColumnId) const {
        const int iColumn = m_pApp->ColumnData().GetColumnIndex(iColumnId);
        return m_pView->Model()
            ->data(m_pView->Model()->index(iRow, iColumn))
            .toString()
            .toStdString();
    }
    // The shown and the stored printers, for a failure's message.
    std::string Describe() {
        std::string csText = "shown:\n";
        for (int i = 0; i < m_pView->RowCount(); ++i)
            csText += m_pView->Model()->PrinterAt(i).Describe(1) + "\n";
        csText += "stored:\n";
        for (const CPrinter& printer : m_service.Listed())
            csText += printer.Describe(1) + "\n";
        return csText + m_service.Complaints();
    }
    std::string GuiTrace() { return vextest::ReadFile(m_service.Root().WorkDir() + "vexgui.log"); }

    vextest::CLiveService m_service;
    std::unique_ptr<CVexApp> m_pApp;
    CPrinterView* m_pView = nullptr;
};

class LiveAutomaticTest : public LiveServiceTest {
protected:
    LiveAutomaticTest() : LiveServiceTest(eModeAutomatic) {}
};

class LivePromptTest : public LiveServiceTest {
protected:
    LivePromptTest() : LiveServiceTest(eModePrompt) {}
};

} // namespace

TEST_F(LiveServiceTest, StartUpStartsTheStoppedServiceAndKeepsOneInstance) {
    ASSERT_TRUE(m_service.Install());
    ASSERT_EQ(m_service.State(), unsigned(platform::SERVICE_STOPPED));
    // Launched as the service launches it for a new printer: both questions.
    CScriptedPrompter prompter({eAnswerYes, eAnswerYes});
    CVexApp app;
    ASSERT_TRUE(app.InitInstance({"/Prompt"}));
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{5015, 5026}));
    EXPECT_EQ(m_service.State(), kRunning);
    EXPECT_TRUE(m_service.WaitUntilListening());
    EXPECT_TRUE(app.Frame()->isVisible());
    {
        CScriptedPrompter second;
        CVexApp secondApp;
        EXPECT_FALSE(secondApp.InitInstance({}));
        EXPECT_EQ(second.Shown(), std::vector<uint32_t>{5014});
    }
    {
        CScriptedPrompter silent;
        CVexApp promptApp;
        EXPECT_FALSE(promptApp.InitInstance({"-PROMPT"}));
        EXPECT_TRUE(silent.Shown().empty());
    }
}

TEST_F(LiveAutomaticTest, DiscoveredPrintersFillTheListAndTheFilterShowsEachState) {
    ASSERT_TRUE(m_service.Start());
    CScriptedPrompter prompter; // the changes of state are told (149): OK
    OpenGui();
    EXPECT_EQ(m_pView->RowCount(), 0);
    // Two printers that are created (the first simulator has the print port
    // the port monitor reaches), one whose model no driver supports, one
    // whose configuration forbids printing from here.
    ASSERT_TRUE(m_service.StartPrinters({"--count", "2", "--first", "127.0.0.2", "--rounds", "1",
                                         "--uuid-prefix", "made", "--print-port", "9100"}));
    ASSERT_TRUE(m_service.StartPrinters({"--first", "127.0.0.10", "--model", "Plotter 9000",
                                         "--rounds", "1", "--uuid-prefix", "plot"}));
    ASSERT_TRUE(m_service.StartPrinters(
        {"--first", "127.0.0.11", "--config", "0", "--rounds", "1", "--uuid-prefix", "closed"}));
    const auto settled = [this] {
        const CPrinter* pFirst = Shown("made-000000000001");
        const CPrinter* pSecond = Shown("made-000000000002");
        return m_pView->RowCount() == 4 && pFirst && pFirst->m_VexState == eVexAdded && pSecond &&
               pSecond->m_VexState == eVexAdded;
    };
    ASSERT_TRUE(WaitForList(settled)) << Describe();

    const struct {
        int iKind;
        std::vector<std::string> addresses; // sorted by address, as numbers
    } kCases[] = {{eListIcon, {"127.0.0.2", "127.0.0.3"}},
                  {eListAction, {"127.0.0.11"}},
                  {eListUnsupported, {"127.0.0.10"}},
                  {eListError, {}},
                  {eListIgnore, {}},
                  {eListAll, {"127.0.0.2", "127.0.0.3", "127.0.0.10", "127.0.0.11"}}};
    for (const auto& c : kCases) {
        ShowKind(c.iKind);
        std::vector<std::string> addresses;
        for (int i = 0; i < m_pView->RowCount(); ++i)
            addresses.push_back(Text(i, eColumnIpAddress));
        EXPECT_EQ(addresses, c.addresses) << "list kind " << c.iKind;
        EXPECT_EQ(m_pApp->Frame()->CountPane()->text().toStdString(),
                  "Printers: " + std::to_string(c.addresses.size()));
    }
    // The created printers show their queues; the closed one cannot print.
    ShowKind(eListIcon);
    EXPECT_FALSE(Text(0, eColumnIconNames).empty());
    ShowKind(eListAction);
    EXPECT_EQ(Text(0, eColumnState), "Awaiting user action (Can't print)");
}

TEST_F(LivePromptTest, ServiceNotificationsDuringADiscoveryAreHeldAndSummedUpAfter) {
    m_service.Root().EnableTrace(eExeGui, TRACE_ERR | TRACE_WRN | TRACE_INF);
    ASSERT_TRUE(m_service.Start());
    CScriptedPrompter prompter;
    OpenGui();
    // Printers that only answer searches: the discovery finds them, and the
    // service tells the GUI of the new printers and the list it wrote.
    ASSERT_TRUE(m_service.StartPrinters(
        {"--count", "3", "--first", "127.0.0.20", "--no-announce", "--uuid-prefix", "quiet"}));
    int iRowsWhileOpen = -1;
    vexguitest::WhenModalOpens<CProcessingDlg>(
        m_pView, [&](CProcessingDlg*) { iRowsWhileOpen = m_pView->RowCount(); });
    m_pView->OnAppDiscover();
    EXPECT_EQ(iRowsWhileOpen, 0);
    EXPECT_EQ(m_pView->RowCount(), 3); // the refresh after the discovery
    EXPECT_EQ(m_service.Listed().size(), 3u);
    const std::string csTrace = GuiTrace();
    EXPECT_NE(csTrace.find("(CStogPipeWorkThread::Work)Skipping KPL updated command"),
              std::string::npos);
    EXPECT_NE(csTrace.find("(CStogPipeWorkThread::Work)Skipping new printer command"),
              std::string::npos);
    // One summary of the new printers, nothing else.
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5039});
    EXPECT_FALSE(m_pView->Flags().m_bHoldKplUpdates);
    EXPECT_FALSE(m_pView->Flags().m_bNewPrinterHeld);
}

TEST_F(LiveServiceTest, ChangedHostNameIsShownWithMessage146) {
    // The printer was known under another name before the service started.
    CPrinter known;
    known.m_csUUID = "renamed-000000000001";
    known.m_csIpAddr = "127.0.0.30";
    known.m_csHostName = "prn-old.example";
    known.m_csPrinterModel = "Laser 1332";
    known.m_csMicrocodeLevel = "A1.0";
    known.m_VexState = eVexWaiting;
    known.m_uiPrtConfig1Var = PRT_CONFIG1_CAN_PRINT_MASK;
    {
        CPrinters list;
        list.SetKplPath(m_service.KplPath());
        list.Add(known);
        ASSERT_TRUE(list.Write());
    }
    ASSERT_TRUE(m_service.Start());
    CScriptedPrompter prompter;
    OpenGui();
    ASSERT_NE(Shown(known.m_csUUID), nullptr);
    EXPECT_EQ(Shown(known.m_csUUID)->m_csHostName, "prn-old.example");
    // It announces itself from an address without a reverse entry.
    ASSERT_TRUE(m_service.StartPrinters(
        {"--first", "127.0.0.30", "--rounds", "1", "--uuid-prefix", "renamed"}));
    ASSERT_TRUE(WaitForList([&] { return !prompter.Shown().empty(); }));
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{146});
    EXPECT_EQ(Shown(known.m_csUUID)->m_csHostName, "");
    EXPECT_EQ(m_pView->SelectedUuids(), std::vector<std::string>{known.m_csUUID});
}

TEST_F(LiveAutomaticTest, QueueDeletedByHandMovesItsPrinterBackWithinATick) {
    m_service.Root().EnableTrace(eExeGui, TRACE_ERR | TRACE_WRN | TRACE_INF);
    ASSERT_TRUE(m_service.Start());
    ASSERT_TRUE(m_service.StartPrinters({"--first", "127.0.0.40", "--rounds", "1", "--uuid-prefix",
                                         "gone", "--print-port", "9100"}));
    const std::string csUUID = "gone-000000000001";
    ASSERT_TRUE(
        vextest::WaitFor([&] { return m_service.ListedUuid(csUUID).m_VexState == eVexAdded; },
                         std::chrono::seconds(30)));
    const std::string csQueue = m_service.ListedUuid(csUUID).m_csIconName;
    CScriptedPrompter prompter;
    OpenGui();
    m_pApp->Frame()->ReconcileTimer()->stop(); // the test makes the tick
    ASSERT_NE(Shown(csUUID), nullptr);
    ASSERT_EQ(Shown(csUUID)->m_VexState, eVexAdded);

    const auto refreshes = [this] {
        size_t n = 0;
        const std::string csTrace = GuiTrace();
        const std::string csLine = "(CPrinterView::OnKplUpdated)Processing KPL updated command";
        for (size_t i = csTrace.find(csLine); i != std::string::npos;
             i = csTrace.find(csLine, i + 1))
            ++n;
        return n;
    };
    const size_t nRefreshes = refreshes();
    std::string csOutput;
    ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsys"), {"printer", "delete", csQueue},
                                  &csOutput),
              0)
        << csOutput;
    m_pView->ReconcileTick();
    ASSERT_NE(Shown(csUUID), nullptr);
    EXPECT_EQ(Shown(csUUID)->m_VexState, eVexWaiting);
    EXPECT_EQ(Shown(csUUID)->m_csIconName, "");
    // The service took the correction and stored it; its notification of
    // the write changes nothing more on the screen.
    EXPECT_TRUE(vextest::WaitFor([&] {
        const CPrinter stored = m_service.ListedUuid(csUUID);
        return stored.m_VexState == eVexWaiting && stored.m_csIconName.empty();
    }));
    EXPECT_TRUE(WaitForUi([&] { return refreshes() > nRefreshes; }));
    EXPECT_EQ(Shown(csUUID)->m_VexState, eVexWaiting);
    EXPECT_TRUE(prompter.Shown().empty());
}
