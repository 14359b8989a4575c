// The command server over the real command pipe: the service's listener with
// its worker, a known printer list in a private root, and clients that send
// what the GUI (or anyone) may send.
#include "CommandServerFixture.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <thread>

namespace {

using CommandServerTest = CommandServerFixture;

TEST_F(CommandServerTest, StateCommandsChangeTheStateAndNothingElse) {
    CPrinter created = AddPrinter("uuid:b", eVexAdded);
    created.m_csIconName = "Laser";
    created.m_uiFlags = PRT_FLAG_HOSTNAME_USED;
    m_printers.UpdatePrinter(created);
    AddPrinter("uuid:a", eVexWaiting);

    EXPECT_EQ(Exchange("Ignore\nuuid:none"), "Ignore\nFailure");
    EXPECT_EQ(Exchange("Ignore\nuuid:b"), "Ignore\nSuccess");
    CPrinter expected = created;
    expected.m_VexState = eVexIgnore;
    EXPECT_EQ(Stored("uuid:b"), expected);
    // Already ignored: the record does not change, so the command fails.
    EXPECT_EQ(Exchange("Ignore\nuuid:b"), "Ignore\nFailure");
    EXPECT_EQ(Exchange("Restore\nuuid:b"), "Restore\nSuccess");
    EXPECT_EQ(Stored("uuid:b").m_VexState, eVexWaiting);
    EXPECT_EQ(Exchange("Change state\nuuid:b\n4"), "Change state\nSuccess");
    EXPECT_EQ(Exchange("Change state\nuuid:b\n4"), "Change state\nFailure");
    // A digit that is no state is refused rather than stored.
    EXPECT_EQ(Exchange("Change state\nuuid:b\n7"), "Change state\nFailure");
    expected.m_VexState = eVexAddError;
    EXPECT_EQ(Stored("uuid:b"), expected);

    EXPECT_EQ(Exchange("Remove\nuuid:a"), "Remove\nSuccess");
    EXPECT_FALSE(m_printers.Find("uuid:a", expected));
    EXPECT_EQ(Exchange("Remove\nuuid:a"), "Remove\nFailure");
    EXPECT_EQ(m_printers.GetCount(), 1);

    EXPECT_TRUE(m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received Ignore command"));
    EXPECT_TRUE(m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received Restore command"));
    EXPECT_TRUE(m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received change state command"));
    EXPECT_TRUE(m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received Remove command"));
}

TEST_F(CommandServerTest, WhatIsNotUnderstoodIsAnsweredUnknown) {
    AddPrinter("uuid:a", eVexWaiting);
    EXPECT_EQ(Exchange("Hello"), "Unknown");
    EXPECT_EQ(Exchange("Change state\nuuid:a\n12"), "Unknown");
    EXPECT_EQ(Exchange("ignore\nuuid:a"), "Unknown");
    // "Ignore" alone names a printer "Ignore".
    EXPECT_EQ(Exchange("Ignore"), "Ignore\nFailure");
    EXPECT_EQ(Stored("uuid:a").m_VexState, eVexWaiting);
    EXPECT_TRUE(m_log.Has("WRN", "(CGtosPipeWorkThread::Work)Received unknown command"));
}

TEST_F(CommandServerTest, ACreationUnderWayRefusesEveryCommand) {
    CPrinter adding = AddPrinter("uuid:a", eVexWaiting);
    adding.m_uiFlags = PRT_FLAG_ADDING;
    m_printers.UpdatePrinter(adding);
    for (const char* pszCommand : {"Ignore\nuuid:a", "Remove\nuuid:a", "Restore\nuuid:a",
                                   "Change state\nuuid:a\n3", "Update Icons\nuuid:a\nLaser\n2"}) {
        const std::string csAnswer = Exchange(pszCommand);
        EXPECT_EQ(csAnswer.substr(csAnswer.find('\n') + 1), "Failure") << pszCommand;
    }
    EXPECT_EQ(Stored("uuid:a"), adding);
}

TEST_F(CommandServerTest, QuitHasNoAnswerAndTheConnectionGoesOn) {
    AddPrinter("uuid:a", eVexWaiting);
    platform::HPIPE hPipe = OpenPipeClient(kGtosPipeName);
    ASSERT_NE(hPipe, platform::INVALID_PIPE_HANDLE);
    ASSERT_TRUE(WritePipeMessage(hPipe, "Quit"));
    ASSERT_TRUE(WritePipeMessage(hPipe, "Ignore\nuuid:a"));
    std::string csAnswer;
    // The first answer on the connection is the one to "Ignore".
    ASSERT_TRUE(ReadPipeMessage(hPipe, &csAnswer));
    EXPECT_EQ(csAnswer, "Ignore\nSuccess");
    ASSERT_TRUE(WritePipeMessage(hPipe, "Quit"));
    ASSERT_TRUE(WritePipeMessage(hPipe, "Restore\nuuid:a"));
    ASSERT_TRUE(ReadPipeMessage(hPipe, &csAnswer));
    EXPECT_EQ(csAnswer, "Restore\nSuccess");
    platform::ClosePipe(hPipe);
    EXPECT_TRUE(m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received Quit command, quitting"));
}

TEST_F(CommandServerTest, ABadConnectionEndsAloneAndTheServerGoesOn) {
    AddPrinter("uuid:a", eVexWaiting);
    // Longer than a read takes: the connection ends without an answer.
    platform::HPIPE hPipe = OpenPipeClient(kGtosPipeName);
    ASSERT_NE(hPipe, platform::INVALID_PIPE_HANDLE);
    const std::string csLong(kPipeBufferSize + 100, 'x');
    uint32_t nWritten = 0;
    ASSERT_TRUE(platform::WritePipe(hPipe, csLong.data(), uint32_t(csLong.size()), &nWritten));
    std::string csAnswer;
    EXPECT_FALSE(ReadPipeMessage(hPipe, &csAnswer));
    platform::ClosePipe(hPipe);
    // A client that goes before its answer is written.
    hPipe = OpenPipeClient(kGtosPipeName);
    ASSERT_NE(hPipe, platform::INVALID_PIPE_HANDLE);
    ASSERT_TRUE(WritePipeMessage(hPipe, "Ignore\nuuid:a"));
    platform::ClosePipe(hPipe);

    EXPECT_TRUE(vextest::WaitFor([&] { return Stored("uuid:a").m_VexState == eVexIgnore; }));
    EXPECT_EQ(Exchange("Restore\nuuid:a"), "Restore\nSuccess");
}

TEST_F(CommandServerTest, UpdateIconsStoresTheGuisCorrection) {
    CPrinter printer = AddPrinter("uuid:a", eVexAdded);
    printer.m_csIconName = "Laser, Laser (Copy 1)";
    printer.m_uiFlags = PRT_FLAG_HOSTNAME_USED;
    m_printers.UpdatePrinter(printer);
    m_printers.Write();
    ASSERT_FALSE(m_printers.KPLFileNeedsWriting());

    // The GUI found that one queue is gone.
    CPrinter corrected = printer;
    corrected.m_csIconName = "Laser (Copy 1)";
    CGtosPipeComm comm;
    EXPECT_TRUE(comm.SendUpdateIconsCmdToService(&corrected));
    EXPECT_EQ(Stored("uuid:a"), corrected);
    EXPECT_TRUE(m_printers.KPLFileNeedsWriting());
    // Asked again: the record already reads so, which is what the GUI wants.
    EXPECT_TRUE(comm.SendUpdateIconsCmdToService(&corrected));
    // Every queue gone: no names, and the printer awaits the user again.
    corrected.m_csIconName = "";
    corrected.m_VexState = eVexWaiting;
    EXPECT_TRUE(comm.SendUpdateIconsCmdToService(&corrected));
    EXPECT_EQ(Stored("uuid:a"), corrected);

    CPrinter stranger = corrected;
    stranger.m_csUUID = "uuid:none";
    EXPECT_FALSE(comm.SendUpdateIconsCmdToService(&stranger));
    EXPECT_FALSE(comm.m_bUnknownAnswer);
    CPrinter badState = corrected;
    badState.m_VexState = 9;
    EXPECT_FALSE(comm.SendUpdateIconsCmdToService(&badState));
    EXPECT_EQ(Stored("uuid:a"), corrected);
    EXPECT_TRUE(m_log.Has("INF", "(CGtosPipeWorkThread::Work)Received Update Icons command"));
}

// Clients at once, each ignoring and restoring the same few printers. A
// "Success" is a change of the record, so per printer the successes alternate,
// and the list file written afterwards holds the state they lead to.
TEST_F(CommandServerTest, SixtyFourClientsAtOnceGetConsistentAnswers) {
    const int nPrinters = 4;
    for (int i = 0; i < nPrinters; ++i)
        AddPrinter("uuid:" + std::to_string(i), eVexWaiting);
    const int nClients = 64;
    const int nCommands = 40;
    std::mutex mutex;
    std::map<std::string, int> ignored;  // successful "Ignore"s by UUID
    std::map<std::string, int> restored; // successful "Restore"s by UUID
    int nFailedExchanges = 0;
    std::string csFirstFailure;
    std::vector<std::thread> clients;
    for (int i = 0; i < nClients; ++i) {
        clients.emplace_back([&, i] {
            std::mt19937 random(i);
            for (int j = 0; j < nCommands; ++j) {
                const std::string csUUID = "uuid:" + std::to_string(random() % nPrinters);
                const bool bIgnore = random() % 2;
                const std::string csAnswer =
                    Exchange((bIgnore ? "Ignore\n" : "Restore\n") + csUUID);
                std::lock_guard lock(mutex);
                if (csAnswer.ends_with("\nSuccess"))
                    ++(bIgnore ? ignored : restored)[csUUID];
                else if (!csAnswer.ends_with("\nFailure") && ++nFailedExchanges == 1)
                    csFirstFailure = csAnswer;
            }
        });
    }
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(nFailedExchanges, 0) << csFirstFailure;

    ASSERT_TRUE(m_printers.Write());
    CPrinters stored;
    stored.SetKplPath(m_printers.GetKplPath());
    ASSERT_TRUE(stored.Read());
    ASSERT_EQ(stored.GetCount(), nPrinters);
    for (int i = 0; i < nPrinters; ++i) {
        const std::string csUUID = "uuid:" + std::to_string(i);
        const int nDifference = ignored[csUUID] - restored[csUUID];
        ASSERT_TRUE(nDifference == 0 || nDifference == 1) << csUUID;
        CPrinter printer;
        ASSERT_TRUE(stored.Find(csUUID, printer));
        EXPECT_EQ(printer.m_VexState, nDifference ? eVexIgnore : eVexWaiting) << csUUID;
    }
}

TEST_F(CommandServerTest, VexsysCommandSendsAnyCommandAndPrintsTheAnswer) {
    AddPrinter("uuid:a", eVexWaiting);
    const std::string csVexsys = vextest::ProgramPath("vexsys");
    std::string csOutput;
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "Ignore", "uuid:a"}, &csOutput), 0);
    EXPECT_EQ(csOutput, "Ignore\nSuccess\n");
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "Ignore", "uuid:a"}, &csOutput), 3);
    EXPECT_EQ(csOutput, "Ignore\nFailure\n");
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "Change state", "uuid:a", "4"}, &csOutput),
              0);
    EXPECT_EQ(Stored("uuid:a").m_VexState, eVexAddError);
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "Nonsense"}, &csOutput), 3);
    EXPECT_EQ(csOutput, "Unknown\n");
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "Quit"}, &csOutput), 0);
    EXPECT_EQ(csOutput, "");
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command"}, &csOutput), 2);
    // Repeated, each exchange whole: the last answer and the round trips' times.
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "--repeat", "5", "Nonsense"}, &csOutput),
              3);
    EXPECT_EQ(csOutput.rfind("Unknown\nround trips: 5, mean ", 0), 0u) << csOutput;
    for (const char* pszBad : {"0", "x", "1000001"})
        EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "--repeat", pszBad, "Quit"}, &csOutput),
                  2);

    TearDown();
    EXPECT_EQ(vextest::RunProgram(csVexsys, {"command", "Discover"}, &csOutput), 1);
    EXPECT_NE(csOutput.find("cannot open the command pipe: error 2"), std::string::npos)
        << csOutput;
}

} // namespace
