// Message-mode named pipes on the system's own: the same answers the POSIX
// pipes give, between threads of one process.
#include "platform/pipes.h"
#include "Helpers.h"
#include "platform/error.h"

#include <atomic>
#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

const std::string kName = win32test::UniqueName("\\\\.\\pipe\\VexWin32Test");

HPIPE Create(uint32_t nMax = 1, const std::string& csName = kName) {
    return CreateNamedPipe(csName, nMax, 4096, 4096, 0, PipeAccess::EveryLocalUser);
}

bool Write(HPIPE h, const std::string& text) {
    uint32_t n = 0;
    return WritePipe(h, text.data(), uint32_t(text.size()), &n) && n == text.size();
}

// A server instance with its client joined.
struct Pair {
    HPIPE hServer = Create();
    HPIPE hClient = OpenNamedPipe(kName, PipeAccess::EveryLocalUser);
    Pair() {
        EXPECT_NE(hServer, nullptr);
        EXPECT_NE(hClient, nullptr);
        // The client came first: taken, and said so.
        EXPECT_FALSE(ConnectNamedPipe(hServer));
        EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
    }
    ~Pair() {
        if (hClient)
            ClosePipe(hClient);
        if (hServer)
            ClosePipe(hServer);
    }
};

TEST(PipesTest, ASquattersPipeIsNeitherServedBesideNorJoinedAsTheAdministrators) {
    const std::string csName = kName + "-squatted";
    // Two instances: each client below takes one.
    void* hSquatter = win32test::SquatterPipe(csName);
    ASSERT_NE(nullptr, hSquatter);
    void* hSquatter2 = win32test::SquatterPipe(csName);
    ASSERT_NE(nullptr, hSquatter2);
    // Wine lacks the first-instance refusal: the instance joins the squatter's.
    HPIPE hBeside = Create(1, csName);
    if (!win32test::UnderWine()) {
        EXPECT_EQ(nullptr, hBeside);
        EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    }
    if (hBeside)
        ClosePipe(hBeside);
    EXPECT_EQ(nullptr, OpenNamedPipe(csName, PipeAccess::EveryLocalUser));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    // A user's own pipe has no rightful owner to check.
    HPIPE hClient = OpenNamedPipe(csName, PipeAccess::Default);
    EXPECT_NE(nullptr, hClient) << GetLastError();
    if (hClient)
        ClosePipe(hClient);
    win32test::CloseSquatterPipe(hSquatter);
    win32test::CloseSquatterPipe(hSquatter2);

    // Once the name is free it is ours, and our own instances join.
    HPIPE hFirst = Create(2, csName);
    ASSERT_NE(nullptr, hFirst) << GetLastError();
    HPIPE hSecond = Create(2, csName);
    ASSERT_NE(nullptr, hSecond) << GetLastError();
    HPIPE hAdminClient = OpenNamedPipe(csName, PipeAccess::EveryLocalUser);
    EXPECT_NE(nullptr, hAdminClient) << GetLastError();
    if (hAdminClient)
        ClosePipe(hAdminClient);
    ClosePipe(hSecond);
    ClosePipe(hFirst);
}

TEST(PipesTest, OpenFailsAtOnceWhenNothingIsFree) {
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    for (const char* pszBad : {"zantorvex", "\\\\.\\pipe\\", "\\\\.\\pipe\\a/b",
                               "\\\\.\\pipe\\a\\b", "\\\\host\\pipe\\x"}) {
        EXPECT_EQ(OpenNamedPipe(pszBad), nullptr) << pszBad;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << pszBad;
        EXPECT_EQ(Create(1, pszBad), nullptr) << pszBad;
    }
    EXPECT_EQ(Create(0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    Pair pair;
    // Any case names the same pipe; its only instance is taken.
    std::string csOtherCase = kName;
    for (char& c : csOtherCase)
        c = char(std::toupper(uint8_t(c)));
    EXPECT_EQ(OpenNamedPipe(csOtherCase), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
    EXPECT_TRUE(SetNamedPipeHandleState(pair.hClient, PIPE_READMODE_MESSAGE));
    EXPECT_FALSE(SetNamedPipeHandleState(pair.hClient, PIPE_READMODE_BYTE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(PipesTest, OneWriteIsOneMessageAndAShortReadGetsMoreData) {
    Pair pair;
    ASSERT_TRUE(Write(pair.hClient, "Discover"));
    ASSERT_TRUE(Write(pair.hClient, ""));
    ASSERT_TRUE(Write(pair.hClient, "second"));
    char buffer[16];
    uint32_t n = 0;
    EXPECT_FALSE(ReadPipe(pair.hServer, buffer, 3, &n));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ("Dis", std::string(buffer, n));
    ASSERT_TRUE(ReadPipe(pair.hServer, buffer, sizeof buffer, &n));
    EXPECT_EQ("cover", std::string(buffer, n));
    ASSERT_TRUE(ReadPipe(pair.hServer, buffer, sizeof buffer, &n));
    EXPECT_EQ(0u, n);
    ASSERT_TRUE(ReadPipe(pair.hServer, buffer, sizeof buffer, &n));
    EXPECT_EQ("second", std::string(buffer, n));

    std::string csLong(PIPE_MAX_MESSAGE + 1, 'x');
    EXPECT_FALSE(Write(pair.hServer, csLong));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    ClosePipe(pair.hClient);
    pair.hClient = nullptr;
    EXPECT_FALSE(ReadPipe(pair.hServer, buffer, sizeof buffer, &n));
    EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    EXPECT_FALSE(Write(pair.hServer, "late"));
    EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
}

TEST(PipesTest, ACancelEndsTheWaitsAndAReadTimesOut) {
    HPIPE hServer = Create();
    ASSERT_NE(hServer, nullptr);
    auto pCancel = std::make_shared<PipeCancel>();
    ASSERT_TRUE(SetPipeCancel(hServer, pCancel));
    uint32_t dwError = 0;
    std::thread waiter([&] {
        EXPECT_FALSE(ConnectNamedPipe(hServer));
        dwError = GetLastError();
    });
    pCancel->Cancel();
    waiter.join();
    EXPECT_EQ(ERROR_OPERATION_ABORTED, dwError);
    EXPECT_TRUE(pCancel->WaitForCancel(0));
    ClosePipe(hServer);

    Pair pair;
    ASSERT_TRUE(SetPipeReadTimeout(pair.hServer, 20));
    char buffer[8];
    uint32_t n = 0;
    EXPECT_FALSE(ReadPipe(pair.hServer, buffer, sizeof buffer, &n));
    EXPECT_EQ(ERROR_WAIT_TIMEOUT, GetLastError());
    // The pipe still works after the time-out.
    ASSERT_TRUE(Write(pair.hClient, "after"));
    ASSERT_TRUE(ReadPipe(pair.hServer, buffer, sizeof buffer, &n));
    EXPECT_EQ("after", std::string(buffer, n));
}

TEST(PipesTest, SixtyFourClientsAtOnceAreEachAnswered) {
    constexpr int kClients = 64;
    std::atomic<int> nServed{0};
    std::vector<std::thread> servers;
    // One instance and one worker per client, as the command server's accept loop makes them.
    std::vector<HPIPE> instances;
    for (int i = 0; i < kClients; ++i) {
        instances.push_back(Create(PIPE_UNLIMITED_INSTANCES));
        ASSERT_NE(instances.back(), nullptr) << i;
    }
    for (HPIPE h : instances) {
        servers.emplace_back([h, &nServed] {
            if (!ConnectNamedPipe(h) && GetLastError() != ERROR_PIPE_CONNECTED)
                return;
            char buffer[64];
            uint32_t n = 0;
            if (ReadPipe(h, buffer, sizeof buffer, &n) && Write(h, "re:" + std::string(buffer, n)))
                ++nServed;
            FlushPipe(h);
            DisconnectNamedPipe(h);
        });
    }
    std::vector<std::thread> clients;
    std::atomic<int> nAnswered{0};
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([i, &nAnswered] {
            HPIPE h = OpenNamedPipe(kName, PipeAccess::EveryLocalUser);
            if (!h)
                return;
            const std::string csAsk = "client " + std::to_string(i);
            char buffer[64];
            uint32_t n = 0;
            if (Write(h, csAsk) && ReadPipe(h, buffer, sizeof buffer, &n) &&
                std::string(buffer, n) == "re:" + csAsk)
                ++nAnswered;
            ClosePipe(h);
        });
    }
    for (auto& t : clients)
        t.join();
    for (auto& t : servers)
        t.join();
    for (HPIPE h : instances)
        ClosePipe(h);
    EXPECT_EQ(kClients, nServed.load());
    EXPECT_EQ(kClients, nAnswered.load());
}

} // namespace
