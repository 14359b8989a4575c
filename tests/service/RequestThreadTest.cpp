// Request processing: new and known printers, sequence numbers, the cached
// state-variable location, the decision by mode, byebyes, and the writer.
#include "FakeHttpServer.h"
#include "TestSupport.h"
#include "TraceLog.h"

#include "common/Printers.h"
#include "common/VexData.h"
#include "service/RequestThread.h"
#include "service/WriteThread.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

class RequestThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("VEX_DELAY_PERCENT", "10", 1);
        root.SetUpWorkDir();
        ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("samplepkg"), {"--model", "Laser 1332"}),
                  0);
        printers.SetKplPath(root.WorkDir() + "vexkpl.dat");
        SetMode(eModeManual);
        iPort = server.Port();
    }
    void TearDown() override {
        CRequestThread::SetAddWithDefaults(nullptr);
        ::unsetenv("VEX_DELAY_PERCENT");
    }
    void SetMode(eMode mode) {
        CVexData data;
        ASSERT_TRUE(data.SetOpMode(mode));
    }
    SRequest Alive(uint32_t uiSeq, const std::string& csModel = "Laser 1332",
                   const std::string& csMicrocode = "A1") {
        SRequest request;
        request.eMethod = ESsdpMethod::ALIVE;
        request.csIpAddr = "127.0.0.1";
        request.csUUID = "uuid-1";
        request.csURL = "/desc.xml";
        request.csModel = csModel;
        request.csMicrocodeLevel = csMicrocode;
        request.ulSeqNum = uiSeq;
        request.iPort = iPort;
        return request;
    }
    SRequest ByeBye(uint32_t uiSeq) {
        SRequest request = Alive(uiSeq);
        request.eMethod = ESsdpMethod::BYEBYE;
        return request;
    }
    CPrinter Stored() {
        CPrinter printer;
        EXPECT_TRUE(printers.Find("uuid-1", printer));
        return printer;
    }
    CPrinterExtraInfo Extra() {
        CPrinterExtraInfo extra;
        EXPECT_TRUE(printers.FindExtraInfo("uuid-1", extra));
        return extra;
    }
    size_t Descriptions() { return server.CountStartingWith("GET "); }
    size_t StateQueries() { return server.CountStartingWith("POST "); }

    vextest::TempRoot root;
    int iPort = 0;
    std::string csReturn = "<return>3221225472</return>";
    CFakeHttpServer server{[this](const std::string& csRequest) {
        return csRequest.rfind("GET ", 0) == 0 ? DescriptionAnswer(iPort) : SoapAnswer(csReturn);
    }};
    CRequests requests;
    CPrinters printers;
    CRequestThread thread{&requests, &printers};
};

TEST_F(RequestThreadTest, NewPrinterIsListedWithItsWordAndLocation) {
    SRequest request = Alive(5);
    request.csHostName = "printer1";
    thread.HandleAlive(request);
    CPrinter printer = Stored();
    EXPECT_EQ(printer.m_csIpAddr, "127.0.0.1");
    EXPECT_EQ(printer.m_csHostName, "printer1");
    EXPECT_EQ(printer.m_csPrinterModel, "Laser 1332");
    EXPECT_EQ(printer.m_csMicrocodeLevel, "A1");
    EXPECT_EQ(printer.m_VexState, eVexWaiting);
    EXPECT_EQ(printer.m_uiPrtConfig1Var, 0xC0000000u);
    CPrinterExtraInfo extra = Extra();
    EXPECT_EQ(extra.m_csCachedStateVarURL, "/control/print");
    EXPECT_EQ(extra.m_iCachedStateVarPort, iPort);
    EXPECT_EQ(extra.m_uiFlags & EXTRA_FLAG_PROCESSING, 0u);
    EXPECT_EQ(extra.m_ulMostRecentSeqNum, 5u);
    EXPECT_TRUE(printers.KPLFileNeedsWriting());
}

TEST_F(RequestThreadTest, SequenceNumbersDropRepeatsAndOlderButNeverZero) {
    thread.HandleAlive(Alive(5));
    ASSERT_EQ(StateQueries(), 1u);
    thread.HandleAlive(Alive(5)); // repeated
    thread.HandleAlive(Alive(4)); // older
    EXPECT_EQ(StateQueries(), 1u);
    thread.HandleAlive(Alive(0)); // none: always processed, and stored
    EXPECT_EQ(StateQueries(), 2u);
    EXPECT_EQ(Extra().m_ulMostRecentSeqNum, 0u);
    thread.HandleAlive(Alive(3)); // after 0 anything goes
    EXPECT_EQ(StateQueries(), 3u);
    // A request while another is processed for the printer backs off.
    CPrinterExtraInfo extra = Extra();
    extra.m_uiFlags |= EXTRA_FLAG_PROCESSING;
    printers.UpdateExtraInfo("uuid-1", extra);
    thread.HandleAlive(Alive(9));
    EXPECT_EQ(StateQueries(), 3u);
}

TEST_F(RequestThreadTest, CachedLocationIsReusedUntilTheMicrocodeChanges) {
    thread.HandleAlive(Alive(1));
    thread.HandleAlive(Alive(2));
    EXPECT_EQ(Descriptions(), 1u);
    EXPECT_EQ(StateQueries(), 2u);
    thread.HandleAlive(Alive(3, "Laser 1332", "A2"));
    EXPECT_EQ(Descriptions(), 2u);
    EXPECT_EQ(Stored().m_csMicrocodeLevel, "A2");
}

TEST_F(RequestThreadTest, ByeByeClearsOnlyTheCachedLocation) {
    thread.HandleByeBye(ByeBye(1)); // unknown: nothing
    EXPECT_EQ(printers.GetCount(), 0);
    thread.HandleAlive(Alive(5));
    const CPrinter before = Stored();
    thread.HandleByeBye(ByeBye(5)); // same number: dropped
    thread.HandleByeBye(ByeBye(4)); // older: dropped
    EXPECT_EQ(Extra().m_iCachedStateVarPort, iPort);
    thread.HandleByeBye(ByeBye(6));
    CPrinterExtraInfo extra = Extra();
    EXPECT_EQ(extra.m_csCachedStateVarURL, "");
    EXPECT_EQ(extra.m_iCachedStateVarPort, -1);
    EXPECT_EQ(extra.m_ulMostRecentSeqNum, 6u);
    EXPECT_EQ(Stored(), before);
    thread.HandleAlive(Alive(7)); // the next alive asks for the description again
    EXPECT_EQ(Descriptions(), 2u);
}

TEST_F(RequestThreadTest, UnsupportedModelIsListedAndNeverCreated) {
    SetMode(eModeAutomatic);
    int nCalls = 0;
    CRequestThread::SetAddWithDefaults([&](const std::string&, const std::string&,
                                           const std::string&, const std::string&,
                                           std::string*) { return ++nCalls, 0; });
    thread.HandleAlive(Alive(1, "Model Nobody Makes"));
    EXPECT_EQ(Stored().m_VexState, eVexUnsupported);
    EXPECT_EQ(nCalls, 0);
}

TEST_F(RequestThreadTest, AutomaticModeCreatesWhenTheWordAllows) {
    SetMode(eModeAutomatic);
    std::vector<std::string> calls;
    int iResult = 0;
    CRequestThread::SetAddWithDefaults([&](const std::string& csUUID, const std::string& csPort,
                                           const std::string& csModel, const std::string& csIp,
                                           std::string* pcsIconName) {
        // Creation runs without the list lock: another thread may use the list.
        std::thread([&] { printers.Lock(), printers.Unlock(); }).join();
        EXPECT_NE(Stored().m_uiFlags & PRT_FLAG_ADDING, 0u);
        calls.push_back(csUUID + "|" + csPort + "|" + csModel + "|" + csIp);
        *pcsIconName = "Laser 1332";
        return iResult;
    });
    SRequest request = Alive(1);
    request.csHostName = "printer1";
    thread.HandleAlive(request);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "uuid-1|printer1|Laser 1332|127.0.0.1");
    CPrinter printer = Stored();
    EXPECT_EQ(printer.m_VexState, eVexAdded);
    EXPECT_EQ(printer.m_csIconName, "Laser 1332");
    EXPECT_EQ(printer.m_uiFlags, PRT_FLAG_HOSTNAME_USED);
}

TEST_F(RequestThreadTest, CreatedNameJoinsTheListOnce) {
    SetMode(eModeAutomatic);
    std::string csMeanwhile, csCreated;
    CRequestThread::SetAddWithDefaults([&](const std::string&, const std::string&,
                                           const std::string&, const std::string&,
                                           std::string* pcsIconName) {
        // The GUI named queues for the printer meanwhile.
        printers.Lock();
        CPrinter printer = Stored();
        printer.m_csIconName = csMeanwhile;
        printers.UpdatePrinter(printer);
        printers.Unlock();
        *pcsIconName = csCreated;
        return 0;
    });
    const struct {
        const char* pszMeanwhile;
        const char* pszCreated;
        const char* pszList;
    } cases[] = {{"Laser 1332", "Laser 1332", "Laser 1332"},
                 {"A, Laser 1332", "Laser 1332", "A, Laser 1332"},
                 {"Laser 1332", "Laser 1332 (2)", "Laser 1332, Laser 1332 (2)"},
                 {"Laser 13", "Laser 1332", "Laser 13, Laser 1332"}};
    for (const auto& c : cases) {
        printers.Remove("uuid-1");
        csMeanwhile = c.pszMeanwhile;
        csCreated = c.pszCreated;
        thread.HandleAlive(Alive(0)); // no host name: the address names the port
        CPrinter printer = Stored();
        EXPECT_EQ(printer.m_csIconName, c.pszList);
        EXPECT_EQ(printer.m_uiFlags, 0u);
    }
}

TEST_F(RequestThreadTest, DecisionFollowsModeWordAndResult) {
    int iResult = 0;
    int nCalls = 0;
    CRequestThread::SetAddWithDefaults([&](const std::string&, const std::string&,
                                           const std::string&, const std::string&,
                                           std::string* pcsIconName) {
        ++nCalls;
        *pcsIconName = "Q";
        return iResult;
    });
    auto fresh = [&](eMode mode, const std::string& csAnswer) {
        printers.Remove("uuid-1");
        SetMode(mode);
        csReturn = csAnswer;
        thread.HandleAlive(Alive(0));
        return Stored();
    };
    // Manual and prompt modes only list.
    EXPECT_EQ(fresh(eModeManual, "<return>3221225472</return>").m_VexState, eVexWaiting);
    EXPECT_EQ(nCalls, 0);
    // A word without both high bits, or no return element (0), forbids creation.
    EXPECT_EQ(fresh(eModeAutomatic, "<return>2147483648</return>").m_VexState, eVexWaiting);
    EXPECT_EQ(fresh(eModeAutomatic, "").m_VexState, eVexWaiting);
    EXPECT_EQ(Stored().m_uiPrtConfig1Var, 0u);
    EXPECT_EQ(nCalls, 0);
    iResult = 7;
    EXPECT_EQ(fresh(eModeAutomatic, "<return>3221225472</return>").m_VexState, eVexUnsupported);
    iResult = 3;
    EXPECT_EQ(fresh(eModeAutomatic, "<return>4294967295</return>").m_VexState, eVexAddError);
    EXPECT_EQ(nCalls, 2);
    // A printer that cannot be asked counts as accepting jobs.
    iResult = 0;
    printers.Remove("uuid-1");
    SRequest unreachable = Alive(0);
    unreachable.iPort = 1;
    thread.HandleAlive(unreachable);
    EXPECT_EQ(Stored().m_VexState, eVexAdded);
    EXPECT_EQ(Stored().m_uiPrtConfig1Var, PRT_CONFIG1_UNKNOWN);
}

TEST_F(RequestThreadTest, PrinterRemovedDuringTheQueriesStaysRemoved) {
    CFakeHttpServer removing([&](const std::string&) {
        printers.Lock();
        printers.Remove("uuid-1");
        printers.Unlock();
        return std::string("HTTP/1.1 404 Not Found\r\n\r\n");
    });
    SRequest request = Alive(1);
    request.iPort = removing.Port();
    thread.HandleAlive(request);
    CPrinter printer;
    EXPECT_FALSE(printers.Find("uuid-1", printer));
}

TEST_F(RequestThreadTest, TenChangesMakeOneWrite) {
    ::setenv("VEX_DELAY_PERCENT", "100", 1); // the whole 700 ms of gathering
    CWriteThread writer(&printers);
    std::thread round([&] { writer.RunOnce(); });
    for (uint32_t i = 1; i <= 10; ++i) {
        SRequest request = Alive(0);
        request.csUUID = "uuid-" + std::to_string(i);
        request.csIpAddr = "127.0.0." + std::to_string(i); // one printer per address
        request.iPort = 1;                                 // no queries: quick changes
        thread.HandleAlive(request);
    }
    round.join();
    EXPECT_FALSE(printers.KPLFileNeedsWriting());
    CPrinters reread;
    reread.SetKplPath(printers.GetKplPath());
    ASSERT_TRUE(reread.Read());
    EXPECT_EQ(reread.GetCount(), 10);
}

// While one worker queries the printer, requests for it come to a second one.
class RequestDuringQueryTest : public RequestThreadTest {
protected:
    void SetUp() override {
        RequestThreadTest::SetUp();
        iPort = during.Port();
    }
    // Runs the queued request on the first worker; the first query of the
    // printer hands meanwhile() to the second.
    void RunWith(std::function<void()> meanwhile) {
        m_meanwhile = std::move(meanwhile);
        ASSERT_TRUE(requests.Add(Alive(1)));
        first.RunOnce();
        EXPECT_TRUE(requests.IsIdle());
    }
    std::function<void()> m_meanwhile;
    CFakeHttpServer during{[this](const std::string& csRequest) {
        if (m_meanwhile) {
            auto meanwhile = std::move(m_meanwhile);
            m_meanwhile = nullptr;
            meanwhile();
        }
        return csRequest.rfind("GET ", 0) == 0 ? DescriptionAnswer(iPort) : SoapAnswer(csReturn);
    }};
    size_t Posts() { return during.CountStartingWith("POST "); }
    CRequestThread first{&requests, &printers};
};

TEST_F(RequestDuringQueryTest, NewsIsKeptAndRunWhenTheFirstIsDone) {
    RunWith([&] {
        thread.HandleAlive(Alive(1)); // the same again: no news, dropped
        SRequest moved = Alive(2);
        moved.csMicrocodeLevel = "A9";
        thread.HandleAlive(Alive(3));
        thread.HandleAlive(moved); // older than the one kept: the kept one stays
    });
    EXPECT_EQ(Posts(), 2u);
    EXPECT_EQ(Extra().m_ulMostRecentSeqNum, 3u);
    EXPECT_EQ(Extra().m_uiFlags & EXTRA_FLAG_PROCESSING, 0u);
    EXPECT_EQ(Stored().m_csMicrocodeLevel, "A1");
}

TEST_F(RequestDuringQueryTest, AByeByeWaitsForTheQueriesAndThenClearsTheLocation) {
    RunWith([&] { thread.HandleByeBye(ByeBye(2)); });
    CPrinterExtraInfo extra = Extra();
    EXPECT_EQ(extra.m_iCachedStateVarPort, -1);
    EXPECT_EQ(extra.m_csCachedStateVarURL, "");
    EXPECT_EQ(extra.m_ulMostRecentSeqNum, 2u);
}

TEST_F(RequestThreadTest, OneAddressBringsEightNewPrintersAtMost) {
    CTraceLog log(root, TRACE_WRN);
    SRequest real = Alive(0);
    real.csIpAddr = "127.0.0.9";
    real.iPort = 1; // no queries
    thread.HandleAlive(real);
    CPrinter before;
    ASSERT_TRUE(printers.Find(real.csUUID, before));
    for (int i = 1; i <= 1000; ++i) {
        SRequest request = Alive(0);
        request.csUUID = "flood-" + std::to_string(i);
        request.iPort = 1;
        thread.HandleAlive(request);
    }
    EXPECT_EQ(printers.GetCount(), CPrinters::kMaxPerAddress + 1);
    EXPECT_EQ(printers.CountAt("127.0.0.1"), CPrinters::kMaxPerAddress);
    CPrinter after;
    ASSERT_TRUE(printers.Find(real.csUUID, after));
    EXPECT_EQ(after, before);
    // 992 refusals within one interval: one warning.
    EXPECT_EQ(log.CountLinesWith("printers into the list already; new printer"), 1u);
    EXPECT_TRUE(log.Has("WRN", "(CRequestThread::HandleAlive)Address 127.0.0.1 has brought 8 "
                               "printers into the list already; new printer flood-9 not added "
                               "(1 times since the last report)"));
    // Known printers from the address still update; another address still adds.
    SRequest known = Alive(0, "Laser 1332", "B5");
    known.csUUID = "flood-3";
    known.iPort = 1;
    thread.HandleAlive(known);
    CPrinter printer;
    ASSERT_TRUE(printers.Find("flood-3", printer));
    EXPECT_EQ(printer.m_csMicrocodeLevel, "B5");
    SRequest other = Alive(0);
    other.csIpAddr = "127.0.0.2";
    other.iPort = 1;
    thread.HandleAlive(other);
    EXPECT_EQ(printers.CountAt("127.0.0.2"), 1);
    // A printer that leaves the address (removed, or moved by DHCP) makes room.
    printers.Remove("flood-1");
    ASSERT_TRUE(printers.Find("flood-2", printer));
    printer.m_csIpAddr = "127.0.0.3";
    ASSERT_TRUE(printers.UpdatePrinter(printer));
    EXPECT_EQ(printers.Admits("127.0.0.1"), CPrinters::eAdmitted);
    EXPECT_EQ(printers.CountAt("127.0.0.1"), CPrinters::kMaxPerAddress - 2);
}

TEST_F(RequestThreadTest, AFullListRefusesTheNewcomerAndKeepsTheKnown) {
    CPrinter printer;
    printer.m_csPrinterModel = "Laser 1332";
    for (int i = 0; i < CPrinters::kMaxPrinters; ++i) {
        char szUuid[32];
        std::snprintf(szUuid, sizeof szUuid, "k%06d", i);
        printer.m_csUUID = szUuid;
        printer.m_csIpAddr = "10." + std::to_string(i / 4096) + "." +
                             std::to_string(i % 4096 / 16) + "." + std::to_string(i % 16);
        ASSERT_TRUE(printers.Add(printer));
    }
    EXPECT_EQ(printers.Admits("127.0.0.1"), CPrinters::eListFull);
    SRequest newcomer = Alive(0);
    newcomer.iPort = 1;
    thread.HandleAlive(newcomer);
    EXPECT_FALSE(printers.Find("uuid-1", printer));
    EXPECT_EQ(printers.GetCount(), CPrinters::kMaxPrinters);
    // A known printer still updates.
    SRequest known = Alive(0);
    known.csUUID = "k000005";
    known.iPort = 1;
    thread.HandleAlive(known);
    ASSERT_TRUE(printers.Find("k000005", printer));
    EXPECT_EQ(printer.m_csIpAddr, "127.0.0.1");
}

} // namespace
