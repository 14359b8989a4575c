// The named pipe facility: opening rules, message bounds, ends of a connection,
// cancelling, access and what a dead server leaves behind.
#include "platform/pipes.h"
#include "TestSupport.h"
#include "platform/error.h"
#include "platform/root.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace platform;

namespace {

const char kName[] = "\\\\.\\pipe\\vextest";

HPIPE Create(PipeAccess eAccess = PipeAccess::Default, uint32_t nMax = PIPE_UNLIMITED_INSTANCES,
             const char* pszName = kName) {
    return CreateNamedPipe(pszName, nMax, 4096, 4096, NMPWAIT_WAIT_FOREVER, eAccess);
}

bool Write(HPIPE h, const std::string& csData) {
    uint32_t n = 0;
    return WritePipe(h, csData.data(), uint32_t(csData.size()), &n) && n == csData.size();
}

// Reads one message; the text is empty and the result false on failure.
bool Read(HPIPE h, std::string* pcsData, uint32_t nBuffer = 4096) {
    std::string csBuffer(nBuffer, '\0');
    uint32_t n = 0;
    bool bOk = ReadPipe(h, csBuffer.data(), nBuffer, &n);
    pcsData->assign(csBuffer.data(), n);
    return bOk;
}

// The folder of this user's own pipe of that name.
std::string OwnFolder(const std::string& csBase) {
    return RootPath("run/" + csBase + "@" + std::to_string(::geteuid()) + ".pipe");
}

// A connected pair in this process.
struct Pair {
    HPIPE hServer = Create();
    HPIPE hClient = OpenNamedPipe(kName);
    Pair() {
        EXPECT_NE(hServer, nullptr);
        EXPECT_NE(hClient, nullptr);
        EXPECT_FALSE(ConnectNamedPipe(hServer));
        EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
    }
    ~Pair() {
        ClosePipe(hClient);
        ClosePipe(hServer);
    }
};

TEST(PipesTest, OpenFailsAtOnceWhenNothingIsFree) {
    vextest::TempRoot root;
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    for (const char* pszBad : {"zantorvex", "\\\\.\\pipe\\", "\\\\.\\pipe\\a/b",
                               "\\\\.\\pipe\\a\\b", "\\\\host\\pipe\\x"}) {
        EXPECT_EQ(OpenNamedPipe(pszBad), nullptr) << pszBad;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << pszBad;
        EXPECT_EQ(Create(PipeAccess::Default, 1, pszBad), nullptr) << pszBad;
    }

    HPIPE hServer = Create();
    ASSERT_NE(hServer, nullptr);
    // The name compares without regard to case, as Windows does.
    HPIPE hClient = OpenNamedPipe("\\\\.\\PIPE\\VexTest");
    ASSERT_NE(hClient, nullptr);
    EXPECT_TRUE(SetNamedPipeHandleState(hClient, PIPE_READMODE_MESSAGE));
    EXPECT_FALSE(SetNamedPipeHandleState(hClient, PIPE_READMODE_BYTE));
    // The only instance has its client, whether or not the server took it yet.
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
    EXPECT_FALSE(ConnectNamedPipe(hServer));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);

    HPIPE hSecond = Create();
    HPIPE hClient2 = OpenNamedPipe(kName);
    EXPECT_NE(hClient2, nullptr);
    ClosePipe(hClient2);
    ClosePipe(hSecond);
    ClosePipe(hClient);
    ClosePipe(hServer);
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(PipesTest, ConnectWaitsForALaterClient) {
    vextest::TempRoot root;
    HPIPE hServer = Create();
    ASSERT_NE(hServer, nullptr);
    HPIPE hClient = nullptr;
    std::thread client([&] {
        ASSERT_TRUE(vextest::WaitFor([&] { return (hClient = OpenNamedPipe(kName)) != nullptr; }));
        Write(hClient, "hello");
    });
    std::string csData;
    bool bConnected = ConnectNamedPipe(hServer) || GetLastError() == ERROR_PIPE_CONNECTED;
    client.join();
    EXPECT_TRUE(bConnected);
    EXPECT_TRUE(Read(hServer, &csData));
    EXPECT_EQ(csData, "hello");
    EXPECT_FALSE(ConnectNamedPipe(hServer));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
    ClosePipe(hClient);
    ClosePipe(hServer);
}

TEST(PipesTest, MessagesKeepTheirBounds) {
    vextest::TempRoot root;
    Pair pair;
    std::string csData;
    ASSERT_TRUE(Write(pair.hClient, "one"));
    ASSERT_TRUE(Write(pair.hClient, ""));
    ASSERT_TRUE(Write(pair.hClient, std::string("t\0o", 3)));
    EXPECT_TRUE(Read(pair.hServer, &csData));
    EXPECT_EQ(csData, "one");
    EXPECT_TRUE(Read(pair.hServer, &csData));
    EXPECT_EQ(csData, "");
    EXPECT_TRUE(Read(pair.hServer, &csData));
    EXPECT_EQ(csData, std::string("t\0o", 3));

    // A message longer than the buffer comes in parts, as ERROR_MORE_DATA says.
    std::string csLong(5000, 'x');
    csLong[4096] = 'y';
    ASSERT_TRUE(Write(pair.hServer, csLong));
    ASSERT_TRUE(Write(pair.hServer, "next"));
    EXPECT_FALSE(Read(pair.hClient, &csData));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(csData, csLong.substr(0, 4096));
    EXPECT_FALSE(Read(pair.hClient, &csData, 100));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(csData, "y" + std::string(99, 'x'));
    EXPECT_TRUE(Read(pair.hClient, &csData));
    EXPECT_EQ(csData.size(), 5000u - 4196u);
    EXPECT_TRUE(Read(pair.hClient, &csData));
    EXPECT_EQ(csData, "next");

    std::string csHuge(PIPE_MAX_MESSAGE + 1, 'h');
    EXPECT_FALSE(Write(pair.hClient, csHuge));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    csHuge.pop_back();
    EXPECT_TRUE(Write(pair.hClient, csHuge));
    EXPECT_TRUE(Read(pair.hServer, &csData, PIPE_MAX_MESSAGE));
    EXPECT_EQ(csData.size(), csHuge.size());

    // A bounded read gives up when nothing comes, and reads on afterwards.
    ASSERT_TRUE(SetPipeReadTimeout(pair.hClient, 20));
    EXPECT_FALSE(Read(pair.hClient, &csData));
    EXPECT_EQ(GetLastError(), ERROR_WAIT_TIMEOUT);
    ASSERT_TRUE(Write(pair.hServer, "late"));
    EXPECT_TRUE(Read(pair.hClient, &csData));
    EXPECT_EQ(csData, "late");
}

TEST(PipesTest, EndsOfAConnection) {
    vextest::TempRoot root;
    std::string csData;
    {
        // What was written before the close is still read; then the end shows.
        Pair pair;
        ASSERT_TRUE(Write(pair.hServer, "last answer"));
        ASSERT_TRUE(FlushPipe(pair.hServer));
        ASSERT_TRUE(DisconnectNamedPipe(pair.hServer));
        EXPECT_TRUE(Read(pair.hClient, &csData));
        EXPECT_EQ(csData, "last answer");
        EXPECT_FALSE(Read(pair.hClient, &csData));
        EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
        EXPECT_FALSE(Write(pair.hClient, "more"));
        EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
        EXPECT_FALSE(Read(pair.hServer, &csData));
        EXPECT_EQ(GetLastError(), ERROR_PIPE_NOT_CONNECTED);
        EXPECT_FALSE(DisconnectNamedPipe(pair.hClient));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);

        // A disconnected instance may serve the next client.
        ClosePipe(pair.hClient);
        pair.hClient = OpenNamedPipe(kName);
        EXPECT_EQ(pair.hClient, nullptr);
        std::thread client([&] {
            vextest::WaitFor([&] { return (pair.hClient = OpenNamedPipe(kName)) != nullptr; });
        });
        bool bConnected = ConnectNamedPipe(pair.hServer) || GetLastError() == ERROR_PIPE_CONNECTED;
        client.join();
        EXPECT_TRUE(bConnected);
        EXPECT_TRUE(Write(pair.hClient, "again"));
        EXPECT_TRUE(Read(pair.hServer, &csData));
        EXPECT_EQ(csData, "again");
    }
    {
        Pair pair;
        ASSERT_TRUE(Write(pair.hClient, "Quit"));
        ClosePipe(pair.hClient);
        pair.hClient = nullptr;
        EXPECT_TRUE(Read(pair.hServer, &csData));
        EXPECT_EQ(csData, "Quit");
        EXPECT_FALSE(Read(pair.hServer, &csData));
        EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    }
    {
        // A listening instance has no connection to use.
        HPIPE hServer = Create();
        EXPECT_FALSE(Write(hServer, "x"));
        EXPECT_EQ(GetLastError(), ERROR_PIPE_LISTENING);
        // Closing it drops a client that was waiting for it.
        HPIPE hClient = OpenNamedPipe(kName);
        ASSERT_NE(hClient, nullptr);
        ClosePipe(hServer);
        EXPECT_FALSE(Read(hClient, &csData));
        EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
        ClosePipe(hClient);
    }
    EXPECT_FALSE(ClosePipe(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(PipesTest, InstanceCapAndNoLeftovers) {
    vextest::TempRoot root;
    const int nBefore = vextest::OpenDescriptors();
    HPIPE h1 = Create(PipeAccess::Default, 2);
    HPIPE h2 = Create(PipeAccess::Default, 2);
    ASSERT_NE(h1, nullptr);
    ASSERT_NE(h2, nullptr);
    EXPECT_EQ(Create(PipeAccess::Default, 2), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
    EXPECT_EQ(Create(PipeAccess::Default, 0, "\\\\.\\pipe\\other"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    ClosePipe(h2);
    h2 = Create(PipeAccess::Default, 2);
    ASSERT_NE(h2, nullptr);
    ClosePipe(h2);
    ClosePipe(h1);
    for (int i = 0; i < 20; ++i) {
        HPIPE hServer = Create(PipeAccess::Default, 2);
        HPIPE hClient = OpenNamedPipe(kName);
        ASSERT_NE(hClient, nullptr);
        EXPECT_FALSE(ConnectNamedPipe(hServer));
        EXPECT_TRUE(Write(hClient, "x"));
        std::string csData;
        EXPECT_TRUE(Read(hServer, &csData));
        ClosePipe(hClient);
        EXPECT_TRUE(DisconnectNamedPipe(hServer));
        // A disconnected instance is not offered until it waits again.
        EXPECT_EQ(OpenNamedPipe(kName), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
        ClosePipe(hServer);
    }
    EXPECT_EQ(vextest::OpenDescriptors(), nBefore);
    // Nothing is left: the user's own pipe folder goes with its last server.
    struct stat st;
    EXPECT_NE(::lstat(OwnFolder("vextest").c_str(), &st), 0);
    // "Unlimited" sets no cap but the process's resources.
    std::vector<HPIPE> many;
    for (int i = 0; i < 300; ++i) {
        many.push_back(Create());
        ASSERT_NE(many.back(), nullptr) << i << ": " << GetLastError();
    }
    for (HPIPE h : many)
        ClosePipe(h);
}

TEST(PipesTest, CancelEndsTheWaits) {
    vextest::TempRoot root;
    auto pCancel = std::make_shared<PipeCancel>();
    HPIPE hServer = Create();
    ASSERT_TRUE(SetPipeCancel(hServer, pCancel));
    uint32_t dwError = 0;
    std::thread waiter([&] {
        ConnectNamedPipe(hServer);
        dwError = GetLastError();
    });
    pCancel->Cancel();
    waiter.join();
    EXPECT_EQ(dwError, ERROR_OPERATION_ABORTED);
    ClosePipe(hServer);

    auto pCancel2 = std::make_shared<PipeCancel>();
    Pair pair;
    SetPipeCancel(pair.hServer, pCancel2);
    std::string csData;
    std::thread reader([&] {
        Read(pair.hServer, &csData);
        dwError = GetLastError();
    });
    pCancel2->Cancel();
    reader.join();
    EXPECT_EQ(dwError, ERROR_OPERATION_ABORTED);
    EXPECT_TRUE(pCancel2->IsCancelled());
    EXPECT_FALSE(Write(pair.hServer, "x"));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    // The client end without a cancel works on.
    EXPECT_TRUE(Write(pair.hClient, "x"));
}

TEST(PipesTest, AccessOfTheTwoKinds) {
    vextest::TempRoot root;
    HPIPE hOpen = Create(PipeAccess::EveryLocalUser, 255, "\\\\.\\pipe\\vexopen");
    HPIPE hOwn = Create(PipeAccess::Default, 255, "\\\\.\\pipe\\vexown");
    ASSERT_NE(hOpen, nullptr);
    ASSERT_NE(hOwn, nullptr);
    auto modeOf = [](const std::string& csPath, bool bSocket) -> unsigned {
        std::string csEntry = csPath;
        if (bSocket) {
            DIR* pDir = ::opendir(csPath.c_str());
            while (dirent* pEntry = pDir ? ::readdir(pDir) : nullptr) {
                std::string csName = pEntry->d_name;
                if (csName[0] != '.' && csName.find(".srv") == std::string::npos)
                    csEntry = csPath + "/" + csName;
            }
            if (pDir)
                ::closedir(pDir);
        }
        struct stat st {};
        ::lstat(csEntry.c_str(), &st);
        return st.st_mode & 07777;
    };
    // The administrators' pipe: the root's owner and group; a user's own: 0700.
    if (vextest::RunningAsRoot()) {
        EXPECT_EQ(modeOf(RootPath("run/vexopen.pipe"), false), 02750u);
        EXPECT_EQ(modeOf(RootPath("run/vexopen.pipe"), true), 0660u);
    }
    EXPECT_EQ(modeOf(OwnFolder("vexown"), false), 0700u);
    EXPECT_EQ(modeOf(OwnFolder("vexown"), true), 0600u);
    // A client names the kind it means and never finds the other.
    EXPECT_EQ(OpenNamedPipe("\\\\.\\pipe\\vexopen"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenNamedPipe("\\\\.\\pipe\\vexown", PipeAccess::EveryLocalUser), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    if (vextest::RunningAsRoot()) {
        using vextest::Identity;
        // An administrator reaches the administrators' pipe only; anybody else nothing.
        EXPECT_EQ(vextest::RunHelperAs(Identity::Administrator, "pipe_open_as", {"vexopen", "all"}),
                  0);
        EXPECT_EQ(vextest::RunHelperAs(Identity::Administrator, "pipe_open_as", {"vexown", "own"}),
                  int(ERROR_ACCESS_DENIED));
        EXPECT_EQ(vextest::RunHelperAs(Identity::Outsider, "pipe_open_as", {"vexopen", "all"}),
                  int(ERROR_ACCESS_DENIED));
        EXPECT_EQ(vextest::RunHelperAs(Identity::Outsider, "pipe_open_as", {"vexown", "own"}),
                  int(ERROR_ACCESS_DENIED));
    }
    ClosePipe(hOpen);
    ClosePipe(hOwn);
}

// Opens the pipe named by args[0] ("all": the administrators' kind, "own": a
// user's own); the exit code is 0 or the error.
VEX_TEST_HELPER(pipe_open_as) {
    HPIPE h = OpenNamedPipe("\\\\.\\pipe\\" + args.at(0),
                            args.at(1) == "all" ? PipeAccess::EveryLocalUser : PipeAccess::Default);
    if (!h)
        return int(GetLastError());
    ClosePipe(h);
    return 0;
}

// Serves one client: echoes every message until the client closes.
VEX_TEST_HELPER(pipe_echo_server) {
    HPIPE h = Create();
    if (!h)
        return 1;
    vextest::WriteFile(args.at(0), "ready");
    if (!ConnectNamedPipe(h) && GetLastError() != ERROR_PIPE_CONNECTED)
        return 2;
    for (std::string csData; Read(h, &csData);)
        Write(h, "echo " + csData);
    FlushPipe(h);
    DisconnectNamedPipe(h);
    ClosePipe(h);
    return 0;
}

// Holds two instances and is killed without closing them.
VEX_TEST_HELPER(pipe_abandoned_server) {
    HPIPE h1 = Create();
    HPIPE h2 = Create();
    if (!h1 || !h2)
        return 1;
    vextest::WriteFile(args.at(0), "ready");
    ::pause();
    return 0;
}

TEST(PipesTest, BetweenProcesses) {
    vextest::TempRoot root;
    const std::string csReady = root.Path() + "/ready";
    pid_t pid = vextest::StartHelper("pipe_echo_server", {csReady});
    ASSERT_TRUE(vextest::WaitFor([&] { return vextest::ReadFile(csReady) == "ready"; }));
    HPIPE hClient = OpenNamedPipe(kName);
    ASSERT_NE(hClient, nullptr);
    std::string csData;
    for (const char* pszText : {"a", "bb", ""}) {
        ASSERT_TRUE(Write(hClient, pszText));
        EXPECT_TRUE(Read(hClient, &csData));
        EXPECT_EQ(csData, std::string("echo ") + pszText);
    }
    ClosePipe(hClient);
    EXPECT_EQ(vextest::WaitHelper(pid), 0);
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(PipesTest, ADeadServerLeavesNoPipe) {
    vextest::TempRoot root;
    const std::string csReady = root.Path() + "/ready";
    pid_t pid = vextest::StartHelper("pipe_abandoned_server", {csReady});
    ASSERT_TRUE(vextest::WaitFor([&] { return vextest::ReadFile(csReady) == "ready"; }));
    HPIPE hClient = OpenNamedPipe(kName);
    ASSERT_NE(hClient, nullptr);
    HPIPE hClient2 = OpenNamedPipe(kName);
    EXPECT_NE(hClient2, nullptr);
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);
    ClosePipe(hClient2);
    ::kill(pid, SIGKILL);
    EXPECT_EQ(vextest::WaitHelper(pid), -SIGKILL);
    std::string csData;
    EXPECT_FALSE(Read(hClient, &csData));
    EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    ClosePipe(hClient);

    // Its socket names and marker remain, yet the pipe reads as absent ...
    EXPECT_EQ(OpenNamedPipe(kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    // ... and the next server clears them away.
    HPIPE hServer = Create();
    ASSERT_NE(hServer, nullptr);
    int nEntries = 0;
    DIR* pDir = ::opendir(OwnFolder("vextest").c_str());
    while (dirent* pEntry = ::readdir(pDir))
        nEntries += pEntry->d_name[0] != '.';
    ::closedir(pDir);
    EXPECT_EQ(nEntries, 2); // its own socket and marker
    ClosePipe(hServer);
}

} // namespace
