// The two listeners under bad clients and under load: every connection is
// served or ended cleanly, the listener keeps serving, and stopping it leaves
// no thread and no descriptor behind.
#include "PipeTestWorkers.h"
#include "TestSupport.h"
#include "common/Printer.h"
#include "platform/error.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

namespace {

bool WriteRaw(platform::HPIPE h, const std::string& csBytes) {
    uint32_t n = 0;
    return platform::WritePipe(h, csBytes.data(), uint32_t(csBytes.size()), &n);
}

// Random bytes, zero bytes and line feeds included.
std::string Noise(std::mt19937& random) {
    std::string csBytes(1 + random() % kPipeBufferSize, '\0');
    for (char& c : csBytes)
        c = char(random() % 256);
    return csBytes;
}

// Checks that the connections are gone once the listener has stopped.
class PipeListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nThreads = vextest::RunningThreads();
        m_nDescriptors = vextest::OpenDescriptors();
    }
    void TearDown() override {
        EXPECT_TRUE(vextest::WaitFor([&] { return vextest::RunningThreads() == m_nThreads; }));
        EXPECT_EQ(vextest::OpenDescriptors(), m_nDescriptors);
    }

    vextest::TempRoot m_root;
    int m_nThreads = 0;
    int m_nDescriptors = 0;
};

TEST_F(PipeListenerTest, CommandListenerSurvivesBadClients) {
    CTestCommandServer server;
    platform::HPIPE hSilent = OpenPipeClient(kGtosPipeName);
    ASSERT_NE(hSilent, nullptr);
    std::string csAnswer;

    // 4096 bytes without a zero byte are one whole command; the connection goes on.
    platform::HPIPE h = OpenPipeClient(kGtosPipeName);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(WriteRaw(h, "Ignore\n" + std::string(4089, 'u')));
    ASSERT_TRUE(ReadPipeMessage(h, &csAnswer));
    EXPECT_EQ(csAnswer, "Ignore\nSuccess");
    EXPECT_EQ(server.log.Copy().back().csUUID, std::string(4089, 'u'));
    ASSERT_TRUE(WritePipeMessage(h, "Discover"));
    ASSERT_TRUE(ReadPipeMessage(h, &csAnswer));
    EXPECT_EQ(csAnswer, "Discover\nSuccess");

    // Noise gets an answer like any other unknown text.
    std::mt19937 random(11);
    for (int i = 0; i < 300; ++i) {
        const std::string csNoise = Noise(random);
        if (PipeMessageText(csNoise.data(), uint32_t(csNoise.size())).rfind("Quit", 0) == 0)
            continue;
        ASSERT_TRUE(WriteRaw(h, csNoise));
        ASSERT_TRUE(ReadPipeMessage(h, &csAnswer)) << i;
        EXPECT_FALSE(csAnswer.empty());
    }
    platform::ClosePipe(h);

    // An empty message, and one longer than a read takes, end their connection.
    for (const std::string& csEnd : {std::string(), std::string(5000, 'x')}) {
        h = OpenPipeClient(kGtosPipeName);
        ASSERT_NE(h, nullptr) << platform::GetLastError();
        ASSERT_TRUE(WriteRaw(h, csEnd));
        EXPECT_FALSE(ReadPipeMessage(h, &csAnswer));
        EXPECT_EQ(platform::GetLastError(), platform::ERROR_BROKEN_PIPE);
        platform::ClosePipe(h);
    }
    // Clients that leave before the answer, or at once.
    for (int i = 0; i < 20; ++i) {
        h = OpenPipeClient(kGtosPipeName);
        ASSERT_NE(h, nullptr) << platform::GetLastError();
        WritePipeMessage(h, "Ignore\nuuid:gone");
        platform::ClosePipe(h);
        h = OpenPipeClient(kGtosPipeName);
        ASSERT_NE(h, nullptr) << platform::GetLastError();
        platform::ClosePipe(h);
    }

    // The listener serves on while the silent client still holds its worker.
    CPrinter printer;
    printer.m_csUUID = "uuid:after";
    CGtosPipeComm comm;
    EXPECT_TRUE(comm.SendIgnorePrinterCmdToService(&printer));
    EXPECT_TRUE(vextest::WaitFor([&] { return server.log.nConnections == 45; }))
        << server.log.nConnections;
    // Stopping ends the silent client's worker as well.
    server.Stop();
    std::string csNothing;
    EXPECT_FALSE(ReadPipeMessage(hSilent, &csNothing));
    platform::ClosePipe(hSilent);
}

TEST_F(PipeListenerTest, AThousandSilentClientsNeitherStopNorBlockTheCommandListener) {
    CTestCommandServer server;
    std::vector<platform::HPIPE> silent;
    for (int i = 0; i < 1000; ++i) {
        silent.push_back(OpenPipeClient(kGtosPipeName));
        ASSERT_NE(silent.back(), nullptr) << i << ": " << platform::GetLastError();
    }
    // A real client is served meanwhile, and the listener goes on taking more.
    CPrinter printer;
    printer.m_csUUID = "uuid:served";
    for (int i = 0; i < 3; ++i) {
        CGtosPipeComm comm;
        EXPECT_TRUE(comm.SendIgnorePrinterCmdToService(&printer)) << i;
    }
    for (platform::HPIPE h : silent)
        platform::ClosePipe(h);
    EXPECT_TRUE(vextest::WaitFor([&] { return server.log.nConnections == 1003; }))
        << server.log.nConnections;
}

TEST_F(PipeListenerTest, SilentClientsAreDroppedAfterTheIdleTime) {
    vextest::SetEnvironment("VEX_DELAY_PERCENT", "1");
    {
        CTestCommandServer server;
        platform::HPIPE hSilent = OpenPipeClient(kGtosPipeName);
        ASSERT_NE(hSilent, nullptr);
        // The worker gives up on it: the connection ends from the service's side.
        std::string csNothing;
        EXPECT_FALSE(ReadPipeMessage(hSilent, &csNothing));
        EXPECT_EQ(platform::GetLastError(), platform::ERROR_BROKEN_PIPE);
        platform::ClosePipe(hSilent);
    }
    vextest::UnsetEnvironment("VEX_DELAY_PERCENT");
}

TEST_F(PipeListenerTest, NotificationListenerSurvivesBadClients) {
    CTestNotificationServer gui;
    std::string csAnswer;
    std::mt19937 random(5);
    platform::HPIPE h = OpenPipeClient(kStogPipeName);
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < 300; ++i) {
        const std::string csNoise = Noise(random);
        if (PipeMessageText(csNoise.data(), uint32_t(csNoise.size())).rfind("Quit", 0) == 0)
            continue;
        ASSERT_TRUE(WriteRaw(h, csNoise));
        ASSERT_TRUE(ReadPipeMessage(h, &csAnswer)) << i;
        EXPECT_EQ(csAnswer, "Unknown request");
    }
    platform::ClosePipe(h);
    for (const std::string& csEnd : {std::string(), std::string(5000, 'x')}) {
        h = OpenPipeClient(kStogPipeName);
        ASSERT_TRUE(WriteRaw(h, csEnd));
        EXPECT_FALSE(ReadPipeMessage(h, &csAnswer));
        platform::ClosePipe(h);
    }
    for (int i = 0; i < 10; ++i) {
        h = OpenPipeClient(kStogPipeName);
        ASSERT_NE(h, nullptr) << i << ": " << platform::GetLastError();
        WritePipeMessage(h, "KPL Updated");
        platform::ClosePipe(h);
    }

    // A silent client holds the one worker; a notification sent meanwhile is
    // taken and answered when its turn comes.
    platform::HPIPE hSilent = OpenPipeClient(kStogPipeName);
    ASSERT_NE(hSilent, nullptr) << platform::GetLastError();
    ASSERT_TRUE(vextest::WaitFor([&] { return gui.log.nRunning == 1; }));
    std::atomic<bool> bOpened{false};
    bool bTold = false;
    std::thread service([&] {
        CStogPipeComm comm;
        if (comm.InitializeClientPipe()) {
            bOpened = true;
            bTold = comm.SendCmdToServer(CStogPipeComm::kNotifyNewPrinter);
        }
    });
    ASSERT_TRUE(vextest::WaitFor([&] { return bOpened.load(); }));
    EXPECT_EQ(gui.log.nConnections, 14); // the silent one is still being served
    platform::ClosePipe(hSilent);
    service.join();
    EXPECT_TRUE(bTold);
    EXPECT_EQ(gui.log.Copy().back(), eStogNewPrinter);
    EXPECT_EQ(gui.log.nMostRunning, 1);

    // Stopping ends a worker that waits on a silent client.
    hSilent = OpenPipeClient(kStogPipeName);
    ASSERT_TRUE(vextest::WaitFor([&] { return gui.log.nRunning == 1; }));
    gui.Stop();
    platform::ClosePipe(hSilent);
}

TEST_F(PipeListenerTest, NotificationsFromManyThreadsAreServedOneAtATime) {
    CTestNotificationServer gui;
    std::atomic<int> nTold{0};
    std::vector<std::thread> senders;
    for (int i = 0; i < 8; ++i) {
        senders.emplace_back([&] {
            for (int j = 0; j < 25; ++j) {
                CStogPipeComm comm;
                nTold += comm.TellGuiKplUpdated();
            }
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    gui.Stop();
    EXPECT_EQ(nTold, 200);
    EXPECT_EQ(gui.log.Copy().size(), 200u);
    EXPECT_EQ(gui.log.nMostRunning, 1);
}

TEST_F(PipeListenerTest, SixtyFourClientsGetEveryAnswer) {
    CTestCommandServer server;
    const int nClients = 64;
    const int nCommands = 200;
    std::atomic<int> nSucceeded{0};
    std::atomic<uint32_t> dwLastError{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < nClients; ++i) {
        clients.emplace_back([&, i] {
            CPrinter printer;
            for (int j = 0; j < nCommands; ++j) {
                printer.m_csUUID = "uuid:" + std::to_string(i) + ":" + std::to_string(j);
                CGtosPipeComm comm;
                bool bOk = comm.SendIgnorePrinterCmdToService(&printer);
                nSucceeded += bOk;
                if (!bOk)
                    dwLastError = platform::GetLastError();
            }
        });
    }
    for (std::thread& client : clients)
        client.join();
    // The last "Quit"s may still be on their way to the workers.
    EXPECT_TRUE(vextest::WaitFor(
        [&] { return server.log.Copy().size() == size_t(2 * nClients * nCommands); }));
    server.Stop();
    EXPECT_EQ(nSucceeded, nClients * nCommands) << "last error " << dwLastError;
    EXPECT_EQ(server.log.nAnswers, nClients * nCommands);
    std::set<std::string> uuids;
    int nQuits = 0;
    for (const SParsedCommand& parsed : server.log.Copy()) {
        if (parsed.eCommand == eGtosIgnore)
            uuids.insert(parsed.csUUID);
        nQuits += parsed.eCommand == eGtosQuit;
    }
    EXPECT_EQ(uuids.size(), size_t(nClients * nCommands));
    EXPECT_EQ(nQuits, nClients * nCommands);
}

} // namespace
