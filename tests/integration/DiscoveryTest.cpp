// The whole discovery pipeline: the real vexsrv, run by the service manager,
// and the simulated printers of printer-sim, in a private network namespace of
// each test's own (loopback only), so that nothing leaves the machine and tests
// running side by side never hear each other.
#include "CreationMachine.h"
#include "TestSupport.h"

#include "common/PipeMessage.h"
#include "common/Printers.h"
#include "common/StogPipeComm.h"
#include "common/StogPipeListenThread.h"
#include "common/VexData.h"
#include "platform/process.h"
#include "platform/service.h"
#include "platform/sockets.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <thread>

using namespace platform;

namespace {

std::string GetHostByAddrOrEmpty(const std::string& csAddr) {
    std::string csName;
    return GetHostByAddr(csAddr, &csName) ? csName : "";
}

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string csError;
        ASSERT_TRUE(vextest::EnterPrivateNetwork(&csError)) << csError;
        // The machine (driver package, spooler with the port monitor) joins the
        // namespace: its monitor must reach the simulated printers.
        machine = std::make_unique<vextest::CCreationMachine>();
        ASSERT_TRUE(machine->Ready());
        ::setenv("VEX_DELAY_PERCENT", "25", 1);
        Root().EnableTrace(eExeService, 0x07); // errors, warnings, information
        SetMode(eModeManual);
    }
    void TearDown() override {
        StopNotifications();
        for (auto& pSim : sims)
            pSim->Terminate(0);
        machine.reset();
    }
    vextest::TempRoot& Root() { return machine->Root(); }
    static void SetMode(eMode mode) {
        CVexData data;
        ASSERT_TRUE(data.SetOpMode(mode));
    }
    std::string Kpl() { return Root().WorkDir() + "vexkpl.dat"; }
    std::string Log(int i) { return Root().Path() + "/sim" + std::to_string(i) + ".log"; }

    // Starts printer-sim with the options; returns its index (for Log()).
    int Sim(std::vector<std::string> args) {
        const int i = int(sims.size());
        const std::string csReady = Root().Path() + "/sim" + std::to_string(i) + ".ready";
        args.insert(args.end(), {"--log", Log(i), "--ready", csReady});
        // One process per port: each simulator gets a print port of its own
        // unless the test wants the real one.
        if (std::find(args.begin(), args.end(), "--print-port") == args.end())
            args.insert(args.end(), {"--print-port", std::to_string(9200 + i)});
        std::string csLine = QuoteArgument(vextest::ProgramPath("printer-sim"));
        for (const std::string& csArg : args)
            csLine += " " + QuoteArgument(csArg);
        sims.push_back(std::make_unique<Process>());
        EXPECT_TRUE(sims.back()->Start(csLine)) << csLine;
        EXPECT_TRUE(vextest::WaitFor([&] { return std::ifstream(csReady).good(); }));
        return i;
    }
    void EndSim(int i) {
        sims[size_t(i)]->Terminate(0);
        sims[size_t(i)]->Wait();
    }
    // Runs printer-sim to its end (a byebye round).
    void SimOnce(std::vector<std::string> args) {
        std::string csLine = QuoteArgument(vextest::ProgramPath("printer-sim"));
        for (const std::string& csArg : args)
            csLine += " " + QuoteArgument(csArg);
        Process sim;
        ASSERT_TRUE(sim.Start(csLine));
        ASSERT_EQ(sim.Wait(10000), WaitResult::Signaled);
    }
    size_t LogLines(int i, const std::string& csPart) {
        size_t n = 0;
        for (const std::string& csLine : vextest::Lines(vextest::ReadFile(Log(i))))
            n += csLine.find(csPart) != std::string::npos;
        return n;
    }

    // Installs and starts vexsrv and waits until its listener is there, so that
    // a single announcement is heard.
    void StartService(bool bWaitForListener = true) {
        std::string csOutput;
        ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-install"}, &csOutput), 0);
        ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-start"}, &csOutput), 0);
        if (bWaitForListener) {
            ASSERT_TRUE(vextest::WaitFor([&] {
                return TraceHas("(CListenThread::Listen)Listening on port 1900");
            })) << csOutput;
        }
    }
    unsigned State() {
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = OpenService(hManager, "ZANTOR_AMBREL", SERVICE_ALL_ACCESS);
        SERVICE_STATUS status{};
        if (hService) {
            QueryServiceStatus(hService, &status);
            CloseServiceHandle(hService);
        }
        CloseServiceHandle(hManager);
        return status.dwCurrentState;
    }
    void StopService() {
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = OpenService(hManager, "ZANTOR_AMBREL", SERVICE_ALL_ACCESS);
        SERVICE_STATUS status{};
        EXPECT_TRUE(hService && ControlService(hService, SERVICE_CONTROL_STOP, &status));
        if (hService)
            CloseServiceHandle(hService);
        CloseServiceHandle(hManager);
        EXPECT_TRUE(vextest::WaitFor([&] { return State() == SERVICE_STOPPED; }));
    }

    // The list file as it is now.
    std::vector<CPrinter> Listed() {
        CPrinters list;
        list.SetKplPath(Kpl());
        std::vector<CPrinter> printers;
        if (!list.Read())
            return printers;
        list.ForEach([&](const CPrinter& printer) { printers.push_back(printer); });
        return printers;
    }
    bool WaitListed(size_t nCount, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
        return vextest::WaitFor([&] { return Listed().size() >= nCount; }, deadline);
    }
    CPrinter ListedAt(const std::string& csAddr) {
        for (const CPrinter& printer : Listed())
            if (printer.m_csIpAddr == csAddr)
                return printer;
        return CPrinter();
    }
    // The service's error and warning lines, for a failure's message.
    std::string Complaints() { return TraceLinesWith({" ERR ", " WRN "}); }
    // The service's trace lines that name one of the parts, for a failure's message.
    std::string TraceLinesWith(std::initializer_list<const char*> parts) {
        std::string csLines;
        for (const std::string& csLine :
             vextest::Lines(vextest::ReadFile(Root().WorkDir() + "vexsrv.log")))
            if (std::any_of(parts.begin(), parts.end(), [&](const char* pszPart) {
                    return csLine.find(pszPart) != std::string::npos;
                }))
                csLines += csLine + "\n";
        return csLines;
    }
    bool TraceHas(const std::string& csText) {
        return vextest::ReadFile(Root().WorkDir() + "vexsrv.log").find(csText) != std::string::npos;
    }
    // Whether every announcement taken so far is handled to its end: each
    // entry line of HandleAlive has its exit line (the trace must hold TRC).
    // A printer that is ended before the service has its answer leaves the
    // word unknown.
    bool AnnouncementsHandled() {
        size_t nEntries = 0, nExits = 0;
        for (const std::string& csLine :
             vextest::Lines(vextest::ReadFile(Root().WorkDir() + "vexsrv.log"))) {
            nEntries += csLine.find("Entry (CRequestThread::HandleAlive)") != std::string::npos;
            nExits += csLine.find("Exit  (CRequestThread::HandleAlive)") != std::string::npos;
        }
        return nEntries > 0 && nEntries == nExits;
    }

    // A GUI's notification pipe: counts what the service tells it.
    void ListenForNotifications() {
        pListener = std::make_unique<CStogPipeListenThread>([this](HPIPE hPipe) {
            for (std::string csData; ReadPipeMessage(hPipe, &csData);) {
                CStogPipeComm comm;
                const EStogNotification e = comm.ParseData(csData);
                if (e == eStogKplUpdated)
                    ++nKplUpdated;
                else if (e == eStogNewPrinter)
                    ++nNewPrinter;
                if (!WritePipeMessage(hPipe, CStogPipeComm::kAnswerSuccess))
                    break;
            }
            FlushPipe(hPipe);
            DisconnectNamedPipe(hPipe);
            ClosePipe(hPipe);
            return 0u;
        });
        listenerThread = std::thread([this] { pListener->Listen(); });
    }
    void StopNotifications() {
        if (pListener) {
            pListener->Stop();
            listenerThread.join();
            pListener.reset();
        }
    }

    std::unique_ptr<vextest::CCreationMachine> machine;
    std::vector<std::unique_ptr<Process>> sims;
    std::unique_ptr<CStogPipeListenThread> pListener;
    std::thread listenerThread;
    std::atomic<int> nKplUpdated{0}, nNewPrinter{0};
};

TEST_F(DiscoveryTest, NewPrintersAreListedWithTheirDetails) {
    StartService();
    Sim({"--count", "3", "--first", "127.0.0.2", "--microcode", "B7.1", "--config", "3221225473"});
    Sim({"--first", "127.0.0.1", "--http-port", "8081", "--uuid-prefix", "aaaa", "--config", "5",
         "--model", "Model Nobody Makes"});
    ASSERT_TRUE(WaitListed(4)) << Listed().size();
    for (const char* pszAddr : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        CPrinter printer = ListedAt(pszAddr);
        EXPECT_EQ(printer.m_csPrinterModel, "Laser 1332");
        EXPECT_EQ(printer.m_csMicrocodeLevel, "B7.1");
        EXPECT_EQ(printer.m_uiPrtConfig1Var, 3221225473u);
        EXPECT_EQ(printer.m_VexState, eVexWaiting);
        EXPECT_EQ(printer.m_csHostName, ""); // no reverse entry
    }
    CPrinter local = ListedAt("127.0.0.1");
    EXPECT_EQ(local.m_csHostName, GetHostByAddrOrEmpty("127.0.0.1"));
    EXPECT_EQ(local.m_VexState, eVexUnsupported);
    EXPECT_EQ(local.m_uiPrtConfig1Var, 5u);
    EXPECT_EQ(local.m_csUUID, "aaaa-000000000001");
}

TEST_F(DiscoveryTest, RepeatedAndOlderNumbersAreDroppedAndZeroIsNot) {
    StartService();
    // Each announcement round asks for the configuration word only when it is
    // processed: count the printer's SOAP queries.
    const int iRepeat = Sim({"--first", "127.0.0.2", "--interval", "0.1", "--seq", "repeat",
                             "--seq-start", "7", "--uuid-prefix", "r", "--http-port", "8081"});
    const int iBack = Sim({"--first", "127.0.0.3", "--interval", "0.1", "--seq", "back",
                           "--seq-start", "100", "--uuid-prefix", "b", "--http-port", "8082"});
    const int iZero = Sim({"--first", "127.0.0.4", "--interval", "0.1", "--seq", "zero",
                           "--uuid-prefix", "z", "--http-port", "8083"});
    ASSERT_TRUE(vextest::WaitFor([&] { return LogLines(iZero, "POST") >= 5; }));
    EXPECT_EQ(LogLines(iRepeat, "POST"), 1u);
    EXPECT_EQ(LogLines(iBack, "POST"), 1u);
    EXPECT_TRUE(TraceHas("(CRequestThread::HandleAlive)Duplicate request, discarding"));
    EXPECT_TRUE(TraceHas("(CRequestThread::HandleAlive)Out-of-order request, discarding"));
}

TEST_F(DiscoveryTest, ByeByeAndNewMicrocodeMakeTheDescriptionAskedAgain) {
    Root().EnableTrace(eExeService, 0x0F); // with the routines' entry and exit lines
    StartService();
    const std::vector<std::string> common = {"--first", "127.0.0.2", "--rounds", "1"};
    auto with = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), common.begin(), common.end());
        return extra;
    };
    int i = Sim(with({"--seq-start", "1"}));
    ASSERT_TRUE(WaitListed(1));
    ASSERT_TRUE(vextest::WaitFor([&] { return LogLines(i, "POST") == 1; }));
    EXPECT_EQ(LogLines(i, "GET /desc.xml"), 1u);
    EndSim(i);
    // The record is listed as soon as it is added, before its word is stored:
    // the state to keep is the one with the word.
    ASSERT_TRUE(vextest::WaitFor([&] {
        const std::vector<CPrinter> listed = Listed();
        return listed.size() == 1 && listed[0].m_uiPrtConfig1Var == 3221225472u;
    }));
    const CPrinter before = Listed().at(0);
    // Known location: only the word is asked for.
    i = Sim(with({"--seq-start", "2"}));
    ASSERT_TRUE(vextest::WaitFor([&] { return LogLines(i, "POST") == 1; }));
    ASSERT_TRUE(vextest::WaitFor([&] { return AnnouncementsHandled(); }));
    EXPECT_EQ(LogLines(i, "GET"), 0u);
    EndSim(i);
    // A byebye forgets the location and nothing else.
    SimOnce({"--first", "127.0.0.2", "--send", "byebye", "--seq-start", "3"});
    ASSERT_TRUE(vextest::WaitFor(
        [&] { return TraceHas("Received ByeBye for UUID 5a3e0000-0000-4000-8000-000000000001"); }));
    EXPECT_EQ(Listed().at(0), before);
    i = Sim(with({"--seq-start", "4"}));
    ASSERT_TRUE(vextest::WaitFor([&] { return LogLines(i, "POST") == 1; }));
    ASSERT_TRUE(vextest::WaitFor([&] { return AnnouncementsHandled(); }));
    EXPECT_EQ(LogLines(i, "GET /desc.xml"), 1u);
    EndSim(i);
    // A new microcode level: the description again.
    i = Sim(with({"--seq-start", "5", "--microcode", "B2"}));
    ASSERT_TRUE(vextest::WaitFor([&] { return Listed().at(0).m_csMicrocodeLevel == "B2"; }));
    EXPECT_EQ(LogLines(i, "GET /desc.xml"), 1u);
}

TEST_F(DiscoveryTest, AutomaticModeCreatesWhatTheWordAllows) {
    // Creation's time limits (port monitor, installer) in full: a busy machine
    // with a sanitizer build must not make them run out.
    ::setenv("VEX_DELAY_PERCENT", "100", 1);
    SetMode(eModeAutomatic);
    StartService();
    Sim({"--first", "127.0.0.2", "--model", "Zantor Pressa A", "--print-port", "9100"});
    Sim({"--first", "127.0.0.3", "--model", "Zantor Pressa A", "--fault", "noreturn", "--http-port",
         "8081", "--uuid-prefix", "noreturn"});
    ASSERT_TRUE(vextest::WaitFor([&] { return ListedAt("127.0.0.2").m_VexState == eVexAdded; },
                                 std::chrono::seconds(30)))
        << ListedAt("127.0.0.2").Describe(1) << "\n"
        << Complaints();
    CPrinter created = ListedAt("127.0.0.2");
    EXPECT_EQ(created.m_csIconName, "Zantor Pressa A");
    EXPECT_EQ(created.m_uiFlags, 0u); // named after its address, not being added any more
    CPrinter refused = ListedAt("127.0.0.3");
    EXPECT_EQ(refused.m_VexState, eVexWaiting);
    EXPECT_EQ(refused.m_uiPrtConfig1Var, 0u);
    EXPECT_EQ(refused.m_csIconName, "");
}

TEST_F(DiscoveryTest, PromptModeTellsTheListeningGui) {
    SetMode(eModePrompt);
    ListenForNotifications();
    StartService();
    Sim({"--count", "2"});
    ASSERT_TRUE(vextest::WaitFor([&] { return nNewPrinter == 2; })) << nNewPrinter;
    EXPECT_TRUE(WaitListed(2));
    EXPECT_EQ(Listed().at(0).m_VexState, eVexWaiting);
}

TEST_F(DiscoveryTest, ChangesOfHalfASecondMakeOneWriteAndOneNotification) {
    ::setenv("VEX_DELAY_PERCENT", "100", 1); // the writer's whole 700 ms
    ListenForNotifications();
    StartService();
    Sim({"--count", "10", "--rounds", "1"});
    ASSERT_TRUE(WaitListed(10));
    ASSERT_TRUE(vextest::WaitFor([&] { return nKplUpdated >= 1; }));
    // Give a second write (which must not come) the time it would need.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(nKplUpdated, 1);
}

TEST_F(DiscoveryTest, DamagedListStopsTheServiceAfterRunning) {
    vextest::WriteFile(Kpl(), std::string("\x05\x00\x00\x00garbage", 11));
    StartService(false);
    ASSERT_TRUE(vextest::WaitFor([&] { return State() == SERVICE_STOPPED; }));
    EXPECT_TRUE(TraceHas("(CMainThread::Start)FATAL ERROR: Failed to read KPL!"));
    EXPECT_FALSE(TraceHas("(CListenThread::Listen)Listening")); // no worker ever started
    EXPECT_TRUE(std::ifstream(Kpl() + ".save").good());
}

TEST_F(DiscoveryTest, StopRightAfterAChangeKeepsTheChange) {
    ::setenv("VEX_DELAY_PERCENT", "100", 1); // the writer gathers for 700 ms
    StartService();
    Sim({"--rounds", "1"});
    ASSERT_TRUE(vextest::WaitFor(
        [&] { return TraceHas("(CWriteThread::Run)Change to known printer list occurred"); }));
    StopService();
    EXPECT_EQ(Listed().size(), 1u) << TraceLinesWith({"Write", "Stop", "Add", "Remove"});
}

TEST_F(DiscoveryTest, HostilePrintersDoNotStopTheDiscoveryOfOthers) {
    StartService();
    int iPort = 8100;
    int iAddr = 10;
    for (const char* pszFault : {"silent", "noclose", "404", "huge", "garbage", "oversize"}) {
        Sim({"--fault", pszFault, "--count", "2", "--interval", "1", "--first",
             "127.0.1." + std::to_string(iAddr), "--http-port", std::to_string(iPort++),
             "--uuid-prefix", pszFault});
        iAddr += 2;
    }
    Sim({"--count", "5", "--first", "127.0.0.2", "--interval", "0.5"});
    // The good ones are listed (the hostile ones that answer an advert as well).
    ASSERT_TRUE(vextest::WaitFor(
        [&] {
            size_t nGood = 0;
            for (const CPrinter& printer : Listed())
                nGood += printer.m_csUUID.rfind("5a3e", 0) == 0;
            return nGood == 5;
        },
        std::chrono::seconds(60)));
    for (const CPrinter& printer : Listed()) {
        EXPECT_NE(printer.m_csUUID.rfind("garbage", 0), 0u);
        EXPECT_NE(printer.m_csUUID.rfind("oversize", 0), 0u);
    }
    // Its memory stays bounded: far below what the 10 MB answers would take.
    ASSERT_TRUE(vextest::WaitFor([&] { return State() == SERVICE_RUNNING; }));
    long lRssKb = 0;
    for (const ProcessEntry& entry : [] {
             std::vector<ProcessEntry> entries;
             EnumProcesses(&entries);
             return entries;
         }()) {
        // Our root's service only: other tests run services of their own.
        const std::string csEnv =
            vextest::ReadFile("/proc/" + std::to_string(entry.dwProcessId) + "/environ");
        if (entry.csImagePath.find("/vexsrv") == std::string::npos ||
            csEnv.find(std::string("VEX_ROOT=") + Root().Path() + '\0') == std::string::npos)
            continue;
        for (const std::string& csLine : vextest::Lines(
                 vextest::ReadFile("/proc/" + std::to_string(entry.dwProcessId) + "/status")))
            if (csLine.rfind("VmRSS:", 0) == 0)
                lRssKb = std::max(lRssKb, std::atol(csLine.c_str() + 6));
    }
    EXPECT_GT(lRssKb, 0);
    EXPECT_LT(lRssKb, 200 * 1024);
}

// The requests of a burst for one printer run one at a time and the newest
// is not lost: the last record of the printer's extra information holds it.
TEST_F(DiscoveryTest, ABurstForOnePrinterEndsWithItsNewestNumberStored) {
    Root().EnableTrace(eExeService, 0x17); // and details: the extra information's updates
    StartService();
    Sim({"--rounds", "50", "--interval", "0.001", "--latency", "20"});
    auto lastExtra = [&] {
        const std::string csLog = vextest::ReadFile(Root().WorkDir() + "vexsrv.log");
        const size_t nAt = csLog.rfind("new: URL=");
        return nAt == std::string::npos ? std::string()
                                        : csLog.substr(nAt, csLog.find('\n', nAt) - nAt);
    };
    EXPECT_TRUE(vextest::WaitFor(
        [&] { return lastExtra().find(";f=00000000;seq=50") != std::string::npos; },
        std::chrono::seconds(30)))
        << lastExtra() << "\n"
        << Complaints();
}

TEST_F(DiscoveryTest, AFastPrinterIsDoneWhileASlowOneIsStillAsked) {
    ::setenv("VEX_DELAY_PERCENT", "100", 1); // the slow answers stay within the time-outs
    StartService();
    const int iSlow = Sim({"--first", "127.0.0.2", "--latency", "4000", "--config", "7",
                           "--uuid-prefix", "slow", "--rounds", "1"});
    ASSERT_TRUE(vextest::WaitFor([&] { return LogLines(iSlow, "GET /desc.xml") == 1; }));
    Sim({"--first", "127.0.0.3", "--config", "5", "--uuid-prefix", "fast", "--rounds", "1",
         "--http-port", "8081"});
    ASSERT_TRUE(vextest::WaitFor([&] { return ListedAt("127.0.0.3").m_uiPrtConfig1Var == 5u; }))
        << Complaints();
    // The slow printer's description is still on its way: its word comes later.
    EXPECT_EQ(LogLines(iSlow, "POST"), 0u);
    EXPECT_TRUE(vextest::WaitFor([&] { return ListedAt("127.0.0.2").m_uiPrtConfig1Var == 7u; },
                                 std::chrono::seconds(20)));
}

TEST_F(DiscoveryTest, AHostOfBlackHolesHoldsNoRealPrinterUp) {
    ::setenv("VEX_DELAY_PERCENT", "100", 1); // each black hole holds its worker 5 s
    StartService();
    // One printer on 127.0.2.1, 500 black holes behind it on 127.0.2.2.
    const int iHoles = 0;
    ASSERT_EQ(Sim({"--first", "127.0.2.1", "--blackhole", "500", "--uuid-prefix", "bh",
                   "--interval", "5", "--http-port", "8081"}),
              iHoles);
    // Both of the host's turns are taken by black holes before the real ones come.
    ASSERT_TRUE(vextest::WaitFor([&] { return LogLines(iHoles, "127.0.2.2 GET") >= 2; }));
    const int iReal = Sim({"--count", "20", "--first", "127.0.0.2", "--rounds", "1"});
    // One at a time, the eight black holes the list takes would hold them 40 s;
    // here they hold two workers and the others serve the real printers.
    EXPECT_TRUE(
        vextest::WaitFor([&] { return LogLines(iReal, "POST") == 20; }, std::chrono::seconds(15)))
        << LogLines(iReal, "POST");
    size_t nHoles = 0;
    for (const CPrinter& printer : Listed())
        nHoles += printer.m_csIpAddr == "127.0.2.2";
    EXPECT_LE(nHoles, size_t(CPrinters::kMaxPerAddress));
}

TEST_F(DiscoveryTest, AutomaticModeCreatesEveryQueueOfManyLatePrintersOnce) {
    ::setenv("VEX_DELAY_PERCENT", "100", 1); // creation's time limits in full
    SetMode(eModeAutomatic);
    StartService();
    // One model: its queue names run from "NAME" through "NAME (99)".
    constexpr size_t kPrinters = 90;
    Sim({"--count", std::to_string(kPrinters), "--first", "127.0.3.1", "--model", "Zantor Pressa A",
         "--latency", "20", "--rounds", "1", "--print-port", "9100"});
    auto created = [&] {
        size_t n = 0;
        for (const CPrinter& printer : Listed())
            n += printer.m_VexState == eVexAdded || printer.m_VexState == eVexAddError;
        return n;
    };
    ASSERT_TRUE(vextest::WaitFor([&] { return created() == kPrinters; }, std::chrono::seconds(240)))
        << created() << "\n"
        << Complaints();
    std::set<std::string> names;
    for (const CPrinter& printer : Listed()) {
        EXPECT_EQ(printer.m_VexState, eVexAdded) << printer.Describe(1);
        EXPECT_TRUE(names.insert(printer.m_csIconName).second) << printer.m_csIconName;
    }
    EXPECT_EQ(names.size(), kPrinters);
}

} // namespace
