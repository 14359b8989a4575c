// Exchanges between processes on both pipes: the GUI's commands to the
// service's listener and the service's notifications to the GUI's listener,
// with the helper process playing the other program.
#include "PipeTestWorkers.h"
#include "TestSupport.h"
#include "TraceLog.h"
#include "common/Printer.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/error.h"

#include <cstdio>
#include <dirent.h>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// True when the trace file has a line of the tag that ends in the message.
bool TraceHas(const std::string& csPath, const std::string& csTag, const std::string& csMessage) {
    for (const std::string& csLine : vextest::Lines(vextest::ReadFile(csPath))) {
        if (csLine.find(" " + csTag + " ") != std::string::npos &&
            csLine.size() >= csMessage.size() &&
            csLine.compare(csLine.size() - csMessage.size(), std::string::npos, csMessage) == 0)
            return true;
    }
    return false;
}

int TraceCount(const std::string& csPath, const std::string& csTag) {
    int n = 0;
    for (const std::string& csLine : vextest::Lines(vextest::ReadFile(csPath)))
        n += csLine.find(" " + csTag + " ") != std::string::npos;
    return n;
}

SIconInfo DialogValues(const char* pszIconName) {
    SIconInfo info;
    info.csPortName = "ZANTOR:9.8.7.6";
    info.eDriverType = 1;
    info.eUseExisting = 0;
    info.eUseExistingAddl = 1;
    info.csIconName = pszIconName;
    info.bInstallAddl = true;
    return info;
}

// The GUI: sends every kind of command and prints "label ok rc warnings" each.
VEX_TEST_HELPER(pipe_gui_client) {
    TraceInit(eExeGui, ".bak");
    auto report = [](const char* pszLabel, bool bOk, const CGtosPipeComm& comm) {
        std::printf("%s %d %d %u\n", pszLabel, int(bOk), comm.m_iRc, comm.m_uiWarnings);
    };
    CPrinter printer;
    printer.m_csIpAddr = "9.8.7.6";
    auto named = [&](const char* pszUUID) {
        printer.m_csUUID = pszUUID;
        return &printer;
    };
    auto send = [&](const char* pszLabel, auto&& call) {
        CGtosPipeComm comm;
        report(pszLabel, call(comm), comm);
        if (comm.m_hPipe != platform::INVALID_PIPE_HANDLE)
            std::printf("%s handle left open\n", pszLabel);
    };
    send("ignore",
         [&](CGtosPipeComm& c) { return c.SendIgnorePrinterCmdToService(named("uuid:1")); });
    send("remove",
         [&](CGtosPipeComm& c) { return c.SendRemovePrinterCmdToService(named("uuid:2")); });
    send("restore",
         [&](CGtosPipeComm& c) { return c.SendRestorePrinterCmdToService(named("uuid:3")); });
    send("addicon", [&](CGtosPipeComm& c) {
        return c.SendAddIconCmdToService(named("uuid:4"), DialogValues("warn=12"));
    });
    send("addicon7", [&](CGtosPipeComm& c) {
        SIconInfo info = DialogValues("rc=7");
        info.csComments = "two\nlines";
        info.csLocation = "<none>";
        info.csSepPage = "sep.sep";
        info.bShare = true;
        info.csShareName = "SHARE";
        info.bPublish = true;
        return c.SendAddIconCmdToService(named("uuid:5"), info);
    });
    send("defaults",
         [&](CGtosPipeComm& c) { return c.SendAddIconWithDefaultsCmdToService(named("uuid:6")); });
    send("discover", [&](CGtosPipeComm& c) { return c.SendDiscoverPrintersCmdToService(); });
    send("state",
         [&](CGtosPipeComm& c) { return c.SendChangeStateCmdToService(named("uuid:8"), 3); });
    auto raw = [](const std::string& csData) {
        return [csData](CGtosPipeComm& c) {
            return c.InitializeGuiEndOfPipe() && c.SendCmdToService(csData);
        };
    };
    send("rawignore", raw("Ignore"));
    send("rawstate", raw("Change state\nuuid:10\n12"));
    std::string csAddIcon;
    CGtosPipeComm::BuildAddIconCmd("uuid:11", DialogValues("x"), &csAddIcon);
    send("rawreplace", raw(csAddIcon.replace(csAddIcon.find("Replace"), 7, "replace")));
    send("fail", [&](CGtosPipeComm& c) { return c.SendIgnorePrinterCmdToService(named("fail")); });
    send("noprinter", [&](CGtosPipeComm& c) { return c.SendIgnorePrinterCmdToService(nullptr); });
    std::fflush(stdout);
    TraceShutdown();
    return 0;
}

TEST(PipeExchangeTest, GuiCommandsReachTheServiceListener) {
    vextest::TempRoot root;
    root.EnableTrace(eExeGui);
    CTestCommandServer server;
    const std::string csOutput = root.Path() + "/gui.out";
    ASSERT_EQ(vextest::WaitHelper(vextest::StartHelper("pipe_gui_client", {}, csOutput)), 0);
    // The last "Quit" may still be on its way to the worker.
    EXPECT_TRUE(vextest::WaitFor([&] { return server.log.Copy().size() == 24; }));
    server.Stop();

    EXPECT_EQ(
        vextest::Lines(vextest::ReadFile(csOutput)),
        (std::vector<std::string>{"ignore 1 1 0", "remove 1 1 0", "restore 1 1 0", "addicon 1 0 12",
                                  "addicon7 0 7 0", "defaults 1 0 0", "discover 1 1 0",
                                  "state 1 1 0", "rawignore 1 1 0", "rawstate 0 1 0",
                                  "rawreplace 0 1 0", "fail 0 1 0", "noprinter 0 1 0"}));

    std::vector<SParsedCommand> commands;
    int nQuits = 0;
    for (const SParsedCommand& parsed : server.log.Copy()) {
        if (parsed.eCommand == eGtosQuit)
            ++nQuits;
        else
            commands.push_back(parsed);
    }
    // Every answered exchange ends with "Quit", each on a connection of its own.
    EXPECT_EQ(nQuits, 12);
    EXPECT_EQ(server.log.nConnections, 12);
    ASSERT_EQ(commands.size(), 12u);
    const std::pair<int, const char*> expected[] = {
        {2, "uuid:1"}, {3, "uuid:2"}, {4, "uuid:3"}, {5, "uuid:4"},  {5, "uuid:5"},  {6, "uuid:6"},
        {7, ""},       {8, "uuid:8"}, {2, "Ignore"}, {0, "uuid:10"}, {0, "uuid:11"}, {2, "fail"}};
    for (size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].eCommand, expected[i].first) << i;
        EXPECT_EQ(commands[i].csUUID, expected[i].second) << i;
    }
    EXPECT_EQ(commands[7].eNewState, 3);

    // "<none>" on the pipe, empty texts in the service.
    const SIconInfo& plain = commands[3].info;
    EXPECT_EQ(plain.csComments, "");
    EXPECT_EQ(plain.csLocation, "");
    EXPECT_EQ(plain.csSepPage, "");
    EXPECT_EQ(plain.csIconName, "warn=12");
    EXPECT_EQ(plain.csPortName, "ZANTOR:9.8.7.6");
    EXPECT_EQ(plain.eDriverType, 1);
    EXPECT_EQ(plain.eUseExistingAddl, 1);
    EXPECT_TRUE(plain.bInstallAddl);
    EXPECT_FALSE(plain.bShare);
    const std::string csGuiLog = root.WorkDir() + "vexgui.log";
    const std::string csTrace = vextest::ReadFile(csGuiLog);
    EXPECT_NE(csTrace.find("(csData=\n       Add Icon\n       uuid:4\n       TRUE\n       FALSE\n"
                           "       FALSE\n       Use existing\n       Replace\n       <none>\n"
                           "       warn=12\n       <none>\n       ZANTOR:9.8.7.6\n       <none>\n"
                           "       \n       PCL5)"),
              std::string::npos);
    // A two-line comment and a location that reads "<none>" arrive as they were.
    const SIconInfo& full = commands[4].info;
    EXPECT_EQ(full.csComments, "two\nlines");
    EXPECT_EQ(full.csLocation, "<none>");
    EXPECT_EQ(full.csSepPage, "sep.sep");
    EXPECT_EQ(full.csShareName, "SHARE");
    EXPECT_TRUE(full.bShare && full.bPublish);
    EXPECT_EQ(full.csIconName, "rc=7");

    EXPECT_TRUE(TraceHas(csGuiLog, "DET",
                         "(CGtosPipeComm::SendIgnorePrinterCmdToService)parameters "
                         "(pPrinter->m_csIpAddr=9.8.7.6) (pPrinter->m_csUUID=uuid:1)"));
    EXPECT_TRUE(TraceHas(csGuiLog, "DET",
                         "(CGtosPipeComm::SendAddIconCmdToService)parameters "
                         "(pPrinter->m_csIpAddr=9.8.7.6) (pPrinter->m_csUUID=uuid:4)"));
    EXPECT_TRUE(
        TraceHas(csGuiLog, "TRC", "Exit  (CGtosPipeComm::SendAddIconCmdToService) success"));
    EXPECT_TRUE(
        TraceHas(csGuiLog, "DET",
                 "(CGtosPipeComm::SendChangeStateCmdToService)parameters "
                 "(pPrinter->m_csIpAddr=9.8.7.6) (pPrinter->m_csUUID=uuid:8) (eNewState=3)"));
    EXPECT_TRUE(TraceHas(csGuiLog, "TRC", "Exit  (CGtosPipeComm::SendCmdToService) failure"));
    EXPECT_TRUE(TraceHas(csGuiLog, "ERR",
                         "(CGtosPipeComm::SendCmdToService)Command execution failed in server"));
    EXPECT_TRUE(TraceHas(csGuiLog, "ERR",
                         "(CGtosPipeComm::SendIgnorePrinterCmdToService)No printer given"));
}

// The service: sends the three notifications and an unknown one.
VEX_TEST_HELPER(pipe_service_notify) {
    TraceInit(eExeService, ".bak");
    CStogPipeComm kpl, adding, found, raw;
    std::printf("kpl %d\n", int(kpl.TellGuiKplUpdated()));
    std::printf("adding %d\n", int(adding.TellGuiAddingIconsWithDefaults()));
    std::printf("new %d\n", int(found.TellFoundNewPrinter()));
    std::printf("bogus %d\n", int(raw.InitializeClientPipe() && raw.SendCmdToServer("Bogus")));
    std::fflush(stdout);
    TraceShutdown();
    return 0;
}

TEST(PipeExchangeTest, NotificationsReachTheGuiListener) {
    vextest::TempRoot root;
    root.EnableTrace(eExeService);
    CTestNotificationServer gui;
    const std::string csOutput = root.Path() + "/service.out";
    ASSERT_EQ(vextest::WaitHelper(vextest::StartHelper("pipe_service_notify", {}, csOutput)), 0);
    EXPECT_TRUE(vextest::WaitFor([&] { return gui.log.Copy().size() == 4; }));
    gui.Stop();
    EXPECT_EQ(vextest::Lines(vextest::ReadFile(csOutput)),
              (std::vector<std::string>{"kpl 1", "adding 1", "new 1", "bogus 0"}));
    EXPECT_EQ(gui.log.Copy(), (std::vector<int>{2, 3, 4, 0}));
    EXPECT_EQ(gui.log.nConnections, 4);
    EXPECT_EQ(gui.log.nMostRunning, 1);
    const std::string csLog = root.WorkDir() + "vexsrv.log";
    EXPECT_TRUE(TraceHas(csLog, "DET", "(CStogPipeComm::SendCmdToServer)parameters (csData="));
    EXPECT_NE(vextest::ReadFile(csLog).find("(csData=\n       KPL Updated)"), std::string::npos);
    EXPECT_TRUE(TraceHas(csLog, "TRC", "Exit  (CStogPipeComm::TellGuiKplUpdated) success"));
    EXPECT_TRUE(TraceHas(csLog, "ERR",
                         "(CStogPipeComm::SendCmdToServer)Command execution failed in server"));
}

VEX_TEST_HELPER(pipe_service_alone) {
    TraceInit(eExeService, ".bak");
    CStogPipeComm comm;
    const bool bOk = comm.TellGuiKplUpdated();
    TraceShutdown();
    return bOk ? 1 : 0;
}

TEST(PipeExchangeTest, NoGuiListeningIsOnlyAWarning) {
    vextest::TempRoot root;
    root.EnableTrace(eExeService, 0x1F);
    ASSERT_EQ(vextest::RunHelper("pipe_service_alone"), 0);
    const std::string csLog = root.WorkDir() + "vexsrv.log";
    EXPECT_EQ(TraceCount(csLog, "WRN"), 1);
    EXPECT_EQ(TraceCount(csLog, "ERR"), 0);
    EXPECT_TRUE(TraceHas(csLog, "WRN",
                         "(CStogPipeComm::InitializeClientPipe)CreateFile failed : The system "
                         "cannot find the file specified."));
    EXPECT_TRUE(TraceHas(csLog, "TRC", "Exit  (CStogPipeComm::TellGuiKplUpdated) failure"));
}

TEST(PipeExchangeTest, NoServiceFailsTheCommandAtOnce) {
    CTraceLog log(0x1F);
    CGtosPipeComm comm;
    CPrinter printer;
    EXPECT_FALSE(comm.SendRemovePrinterCmdToService(&printer));
    EXPECT_EQ(comm.m_hPipe, platform::INVALID_PIPE_HANDLE);
    EXPECT_TRUE(log.Has("ERR", "(CGtosPipeComm::InitializeGuiEndOfPipe)CreateFile failed : The "
                               "system cannot find the file specified."));
    EXPECT_TRUE(log.Has("TRC", "Exit  (CGtosPipeComm::SendRemovePrinterCmdToService) failure"));
    EXPECT_FALSE(comm.SendAddIconWithDefaultsCmdToService(&printer));
    EXPECT_EQ(comm.m_iRc, 1); // no answer: a failure code, never a silent 0
}

TEST(PipeExchangeTest, UpdateIconsCarriesTheGuisCorrection) {
    CTraceLog log(0x1F);
    CTestCommandServer server;
    CPrinter printer;
    printer.m_csIpAddr = "9.8.7.6";
    printer.m_csUUID = "uuid:1";
    printer.m_csIconName = "Laser, Laser\nnext door";
    printer.m_VexState = eVexAdded;
    CGtosPipeComm comm;
    EXPECT_TRUE(comm.SendUpdateIconsCmdToService(&printer));
    EXPECT_FALSE(comm.m_bUnknownAnswer);
    printer.m_csUUID = "fail";
    printer.m_csIconName = "";
    printer.m_VexState = eVexWaiting;
    EXPECT_FALSE(comm.SendUpdateIconsCmdToService(&printer));
    EXPECT_FALSE(comm.m_bUnknownAnswer);
    // A service that lacks the command: the GUI must learn it was not refused.
    printer.m_csUUID = "old";
    EXPECT_FALSE(comm.SendUpdateIconsCmdToService(&printer));
    EXPECT_TRUE(comm.m_bUnknownAnswer);
    EXPECT_FALSE(comm.SendUpdateIconsCmdToService(nullptr));
    EXPECT_FALSE(comm.m_bUnknownAnswer);
    EXPECT_TRUE(vextest::WaitFor([&] { return server.log.Copy().size() == 6; }));
    server.Stop();

    const std::vector<SParsedCommand> commands = server.log.Copy();
    ASSERT_EQ(commands.size(), 6u);
    EXPECT_EQ(commands[0].eCommand, eGtosUpdateIcons);
    EXPECT_EQ(commands[0].csUUID, "uuid:1");
    EXPECT_EQ(commands[0].csIconNames, "Laser, Laser\nnext door");
    EXPECT_EQ(commands[0].eNewState, eVexAdded);
    // Each connection has its own worker: a "Quit" may be logged after the next
    // connection's command.
    auto failed = std::find_if(commands.begin(), commands.end(),
                               [](const SParsedCommand& c) { return c.csUUID == "fail"; });
    ASSERT_NE(failed, commands.end());
    EXPECT_EQ(failed->eCommand, eGtosUpdateIcons);
    EXPECT_EQ(failed->csIconNames, "");
    EXPECT_EQ(failed->eNewState, eVexWaiting);
    EXPECT_TRUE(log.Has("DET", "(CGtosPipeComm::SendUpdateIconsCmdToService)parameters "
                               "(pPrinter->m_csIpAddr=9.8.7.6) (pPrinter->m_csUUID=old) "
                               "(pPrinter->m_csIconName=) (pPrinter->m_VexState=1)"));
}

// A service that takes the command and then behaves badly.
void MisbehavingService(const std::string& csMode) {
    const int nBefore = vextest::OpenDescriptors();
    platform::HPIPE h =
        platform::CreateNamedPipe(kGtosPipeName, 1, 4096, 4096, platform::NMPWAIT_WAIT_FOREVER,
                                  platform::PipeAccess::EveryLocalUser);
    ASSERT_NE(h, nullptr);
    std::thread service([&] {
        platform::ConnectNamedPipe(h);
        std::string csData;
        if (csMode != "close at once")
            ReadPipeMessage(h, &csData);
        if (csMode == "garbage")
            WritePipeMessage(h, "Ignore\n" + std::string(4000, 'S'));
        if (csMode == "too long") {
            uint32_t n = 0;
            std::string csLong(5000, 'x');
            platform::WritePipe(h, csLong.data(), uint32_t(csLong.size()), &n);
        }
        platform::DisconnectNamedPipe(h);
    });
    CGtosPipeComm comm;
    CPrinter printer;
    EXPECT_FALSE(comm.SendIgnorePrinterCmdToService(&printer)) << csMode;
    service.join();
    EXPECT_EQ(comm.m_hPipe, platform::INVALID_PIPE_HANDLE);
    platform::ClosePipe(h);
    EXPECT_EQ(vextest::OpenDescriptors(), nBefore) << csMode;
}

TEST(PipeExchangeTest, ABrokenExchangeFailsAndClosesTheHandle) {
    CTraceLog log(0x1F);
    MisbehavingService("no answer");
    EXPECT_TRUE(log.Has("ERR", "(CGtosPipeComm::SendCmdToService)ReadFile failed : The pipe has "
                               "been ended."));
    MisbehavingService("too long");
    EXPECT_TRUE(log.Has("ERR", "(CGtosPipeComm::SendCmdToService)ReadFile failed : More data is "
                               "available."));
    MisbehavingService("garbage");
    EXPECT_TRUE(log.Has("ERR", "(CGtosPipeComm::SendCmdToService)Command execution failed in "
                               "server"));
    MisbehavingService("close at once");

    // A command too long for the service's read is not sent at all.
    CTestCommandServer server;
    CGtosPipeComm comm;
    ASSERT_TRUE(comm.InitializeGuiEndOfPipe());
    EXPECT_FALSE(comm.SendCmdToService("Ignore\n" + std::string(4096, 'u')));
    EXPECT_TRUE(log.Has("ERR", "(CGtosPipeComm::SendCmdToService)WriteFile failed : The data area "
                               "passed to a system call is too small."));
    EXPECT_EQ(comm.m_hPipe, platform::INVALID_PIPE_HANDLE);
    server.Stop();
    EXPECT_EQ(server.log.nAnswers, 0);
}

} // namespace
