// Who may do what on the emulated machine: attackers run as another user (an
// outsider, or an administrator where the attack needs a writer of run/) and
// try to plant, squat on or hold what the machine's programs use.
#include "TestService.h"
#include "TestSupport.h"
#include "platform/access.h"
#include "platform/error.h"
#include "platform/pipes.h"
#include "platform/root.h"
#include "platform/service.h"
#include "platform/sync.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform;
using vextest::Identity;

namespace {

const char kOpenPipe[] = "\\\\.\\pipe\\vexopen";

HPIPE Serve(const char* pszName, PipeAccess eAccess) {
    return CreateNamedPipe(pszName, PIPE_UNLIMITED_INSTANCES, 4096, 4096, NMPWAIT_WAIT_FOREVER,
                           eAccess);
}

class RootAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!vextest::RunningAsRoot())
            GTEST_SKIP() << "the attackers run as other users, which needs root";
        ASSERT_TRUE(EnsureSystemRoot());
    }
    // A folder outside the root that an attack aims at.
    std::string Foreign() {
        const std::string csPath = root.Path() + "-foreign";
        std::filesystem::create_directories(csPath);
        return csPath;
    }
    void TearDown() override { std::filesystem::remove_all(root.Path() + "-foreign"); }

    vextest::TempRoot root;
};

// Binds a listening socket at args[0], says so in args[1] and waits to be killed.
VEX_TEST_HELPER(listen_socket_at) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    args.at(0).copy(addr.sun_path, sizeof addr.sun_path - 1);
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 4) != 0)
        return 1;
    vextest::WriteFile(args.at(1), "ready");
    ::pause();
    return 0;
}

// Tries to serve the administrators' pipe; the exit code is 0 or the error.
VEX_TEST_HELPER(serve_open_pipe) {
    HPIPE h = Serve(kOpenPipe, PipeAccess::EveryLocalUser);
    if (!h)
        return int(GetLastError());
    ClosePipe(h);
    return 0;
}

// Serves the user's own pipe "vexnote" for one message and answers it.
VEX_TEST_HELPER(serve_own_pipe) {
    HPIPE h = Serve("\\\\.\\pipe\\vexnote", PipeAccess::Default);
    if (!h)
        return 100 + int(GetLastError() % 100);
    vextest::WriteFile(args.at(0), "ready");
    if (!ConnectNamedPipe(h) && GetLastError() != ERROR_PIPE_CONNECTED)
        return 2;
    char buffer[64];
    uint32_t n = 0;
    if (!ReadPipe(h, buffer, sizeof buffer, &n))
        return 3;
    WritePipe(h, "seen", 4, &n);
    FlushPipe(h);
    DisconnectNamedPipe(h);
    ClosePipe(h);
    return 0;
}

// Takes the named mutex; the exit code is 0 or the error.
VEX_TEST_HELPER(take_mutex) {
    NamedMutex mutex(args.at(0));
    if (!mutex.IsValid())
        return int(GetLastError());
    if (mutex.Wait(1000) != WaitResult::Signaled)
        return 99;
    mutex.Release();
    return 0;
}

// Connects straight to a control socket and sends a stop; the exit code is
// the service's answer, or 100 when it could not even connect.
VEX_TEST_HELPER(raw_stop) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    args.at(0).copy(addr.sun_path, sizeof addr.sun_path - 1);
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return 100;
    uint32_t dwCode = SERVICE_CONTROL_STOP, dwAnswer = 0;
    if (::send(fd, &dwCode, 4, 0) != 4 || ::recv(fd, &dwAnswer, 4, 0) != 4)
        return 101;
    return int(dwAnswer);
}

VEX_TEST_HELPER(is_administrator) {
    return IsMachineAdministrator() ? 0 : 1;
}

TEST_F(RootAccessTest, AdministratorsAreRootTheOwnerAndTheGroup) {
    EXPECT_TRUE(IsMachineAdministrator());
    EXPECT_EQ(AdministratorsGroupName(), std::to_string(vextest::kTestAdminGroup));
    EXPECT_EQ(vextest::RunHelperAs(Identity::Administrator, "is_administrator"), 0);
    EXPECT_EQ(vextest::RunHelperAs(Identity::Outsider, "is_administrator"), 1);
}

TEST_F(RootAccessTest, OnlyTheMachineServesTheAdministratorsPipe) {
    // An administrator cannot take the command pipe's name ...
    EXPECT_EQ(vextest::RunHelperAs(Identity::Administrator, "serve_open_pipe"),
              int(ERROR_ACCESS_DENIED));
    HPIPE hServer = Serve(kOpenPipe, PipeAccess::EveryLocalUser);
    ASSERT_NE(hServer, nullptr);
    // ... nor slip a socket of its own in beside the real instances: a client
    // checks who holds the socket before it sends anything.
    const std::string csReady = Foreign() + "/ready";
    const std::string csFake = Foreign() + "/fake";
    ::chmod(Foreign().c_str(), 0777);
    pid_t pid =
        vextest::StartHelperAs(Identity::Administrator, "listen_socket_at", {csFake, csReady});
    ASSERT_TRUE(vextest::WaitFor([&] { return vextest::ReadFile(csReady) == "ready"; }));
    HPIPE hTaken = OpenNamedPipe(kOpenPipe, PipeAccess::EveryLocalUser);
    ASSERT_NE(hTaken, nullptr); // the only real instance is taken now
    ASSERT_EQ(::rename(csFake.c_str(), RootPath("run/vexopen.pipe/1.1").c_str()), 0);
    EXPECT_EQ(OpenNamedPipe(kOpenPipe, PipeAccess::EveryLocalUser), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ::kill(pid, SIGKILL);
    vextest::WaitHelper(pid);
    ClosePipe(hTaken);
    ClosePipe(hServer);
}

TEST_F(RootAccessTest, LinksAndForeignFoldersInRunAreRefusedNotFollowed) {
    // A link in place of the pipe's folder: nothing is swept or made through it.
    const std::string csForeign = Foreign();
    vextest::WriteFile(csForeign + "/999999.1", "keep");
    ASSERT_EQ(::symlink(csForeign.c_str(), RootPath("run/vexopen.pipe").c_str()), 0);
    EXPECT_EQ(Serve(kOpenPipe, PipeAccess::EveryLocalUser), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenNamedPipe(kOpenPipe, PipeAccess::EveryLocalUser), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(vextest::ReadFile(csForeign + "/999999.1"), "keep");
    EXPECT_EQ(std::filesystem::directory_iterator(csForeign)->path().filename(), "999999.1");
    ::unlink(RootPath("run/vexopen.pipe").c_str());

    // A folder of the right name that another user made, or one open to all.
    ASSERT_EQ(::mkdir(RootPath("run/vexopen.pipe").c_str(), 0750), 0);
    ASSERT_EQ(::chown(RootPath("run/vexopen.pipe").c_str(), vextest::kOutsiderId, 0), 0);
    EXPECT_EQ(Serve(kOpenPipe, PipeAccess::EveryLocalUser), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_EQ(::chown(RootPath("run/vexopen.pipe").c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(RootPath("run/vexopen.pipe").c_str(), 01777), 0);
    EXPECT_EQ(Serve(kOpenPipe, PipeAccess::EveryLocalUser), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    struct stat st {};
    ::stat(RootPath("run/vexopen.pipe").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 01777u) << "refused, not repaired";
    std::filesystem::remove_all(RootPath("run/vexopen.pipe"));

    // A planted marker link for this process's id creates nothing.
    HPIPE hServer = Serve(kOpenPipe, PipeAccess::EveryLocalUser);
    ASSERT_NE(hServer, nullptr);
    ClosePipe(hServer);
    const std::string csMarker =
        RootPath("run/vexopen.pipe/" + std::to_string(::getpid()) + ".srv");
    ASSERT_EQ(::symlink((csForeign + "/made").c_str(), csMarker.c_str()), 0);
    EXPECT_EQ(Serve(kOpenPipe, PipeAccess::EveryLocalUser), nullptr);
    EXPECT_FALSE(std::filesystem::exists(csForeign + "/made"));

    // A lock file link: the mutex is refused, its target never made.
    ASSERT_EQ(::symlink((csForeign + "/lock").c_str(), RootPath("run/VexKplMutex.mutex").c_str()),
              0);
    NamedMutex mutex("VexKplMutex");
    EXPECT_FALSE(mutex.IsValid());
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(std::filesystem::exists(csForeign + "/lock"));
}

TEST_F(RootAccessTest, EachUserHasTheirOwnNotificationPipe) {
    // Root listens on its own pipe of the name; a second user may listen too.
    HPIPE hMine = Serve("\\\\.\\pipe\\vexnote", PipeAccess::Default);
    ASSERT_NE(hMine, nullptr);
    ClosePipe(hMine); // and leaves: its folder goes with it
    const std::string csReady = Foreign() + "/ready";
    ::chmod(Foreign().c_str(), 0777);
    pid_t pid = vextest::StartHelperAs(Identity::Administrator, "serve_own_pipe", {csReady});
    ASSERT_TRUE(vextest::WaitFor([&] { return vextest::ReadFile(csReady) == "ready"; }));
    // The machine (root) reaches that user's pipe.
    HPIPE hClient = OpenNamedPipe("\\\\.\\pipe\\vexnote", PipeAccess::Default);
    ASSERT_NE(hClient, nullptr) << GetLastError();
    uint32_t n = 0;
    ASSERT_TRUE(WritePipe(hClient, "hello", 5, &n));
    char buffer[16];
    ASSERT_TRUE(ReadPipe(hClient, buffer, sizeof buffer, &n));
    EXPECT_EQ(std::string(buffer, n), "seen");
    ClosePipe(hClient);
    EXPECT_EQ(vextest::WaitHelper(pid), 0);
    EXPECT_FALSE(std::filesystem::exists(
        RootPath("run/vexnote@" + std::to_string(vextest::kOutsiderId) + ".pipe")));
}

TEST_F(RootAccessTest, APreferredUsersPipeIsJoinedBeforeOtherUsersPipes) {
    // Root offers two instances of its own pipe, another user one of theirs.
    HPIPE hMine1 = Serve("\\\\.\\pipe\\vexnote", PipeAccess::Default);
    HPIPE hMine2 = Serve("\\\\.\\pipe\\vexnote", PipeAccess::Default);
    ASSERT_NE(hMine1, nullptr);
    ASSERT_NE(hMine2, nullptr);
    const std::string csReady = Foreign() + "/ready";
    ::chmod(Foreign().c_str(), 0777);
    pid_t pid = vextest::StartHelperAs(Identity::Administrator, "serve_own_pipe", {csReady});
    ASSERT_TRUE(vextest::WaitFor([&] { return vextest::ReadFile(csReady) == "ready"; }));
    // Root's own first when root is preferred: the other user's instance stays
    // free for the client that prefers that user, whatever order the folders
    // are listed in.
    HPIPE hToMine = OpenNamedPipe("\\\\.\\pipe\\vexnote", PipeAccess::Default, 0);
    ASSERT_NE(hToMine, nullptr) << GetLastError();
    HPIPE hToOther =
        OpenNamedPipe("\\\\.\\pipe\\vexnote", PipeAccess::Default, vextest::kOutsiderId);
    ASSERT_NE(hToOther, nullptr) << GetLastError();
    ASSERT_TRUE(SetPipeReadTimeout(hToOther, 5000));
    uint32_t n = 0;
    ASSERT_TRUE(WritePipe(hToOther, "hello", 5, &n));
    char buffer[16];
    const bool bAnswered = ReadPipe(hToOther, buffer, sizeof buffer, &n);
    EXPECT_TRUE(bAnswered && std::string(buffer, n) == "seen") << GetLastError();
    ClosePipe(hToOther);
    ClosePipe(hToMine);
    if (!bAnswered)
        ::kill(pid, SIGKILL); // it still waits for its client
    EXPECT_EQ(vextest::WaitHelper(pid), bAnswered ? 0 : -SIGKILL);
    ClosePipe(hMine1);
    ClosePipe(hMine2);
}

TEST_F(RootAccessTest, OnlyAdministratorsMayOpenALockFile) {
    NamedMutex mutex("VexDataMutex");
    ASSERT_TRUE(mutex.IsValid());
    struct stat st {};
    ASSERT_EQ(::stat(RootPath("run/VexDataMutex.mutex").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    EXPECT_EQ(st.st_gid, vextest::kTestAdminGroup);
    // Even with run/ open to all, an outsider cannot open the file to hold it.
    ::chmod(root.Path().c_str(), 02775);
    ::chmod(RootPath("run").c_str(), 03775);
    EXPECT_EQ(vextest::RunHelperAs(Identity::Outsider, "take_mutex", {"VexDataMutex"}),
              int(ERROR_ACCESS_DENIED));
    ::chmod(RootPath("run").c_str(), 03770);
    ::chmod(root.Path().c_str(), 02770);
    EXPECT_EQ(vextest::RunHelperAs(Identity::Outsider, "take_mutex", {"VexDataMutex"}),
              int(ERROR_ACCESS_DENIED));
    // An administrator takes and frees it as the GUI does.
    EXPECT_EQ(vextest::RunHelperAs(Identity::Administrator, "take_mutex", {"VexDataMutex"}), 0);
    EXPECT_EQ(mutex.Wait(0), WaitResult::Signaled);
    mutex.Release();
}

TEST_F(RootAccessTest, ControlsAreCheckedByWhoSendsThem) {
    ASSERT_TRUE(vextest::CreateTestService("Alpha", "normal"));
    unsigned state = 0;
    ASSERT_TRUE(vextest::StartAndWait("Alpha", &state));
    std::string csSocket;
    for (const auto& entry : std::filesystem::directory_iterator(RootPath("run"))) {
        if (entry.path().filename().string().rfind("svc-", 0) == 0)
            csSocket = entry.path().string();
    }
    ASSERT_FALSE(csSocket.empty());
    // Whatever the umask of the service's starter, the socket is the administrators'.
    struct stat st {};
    ASSERT_EQ(::stat(csSocket.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    EXPECT_EQ(st.st_gid, vextest::kTestAdminGroup);
    // Even with the way to the socket open, an outsider's stop is refused.
    ::chmod(root.Path().c_str(), 02775);
    ::chmod(RootPath("run").c_str(), 03775);
    ::chmod(csSocket.c_str(), 0666);
    EXPECT_EQ(vextest::RunHelperAs(Identity::Outsider, "raw_stop", {csSocket}),
              int(ERROR_ACCESS_DENIED));
    ::chmod(RootPath("run").c_str(), 03770);
    ::chmod(root.Path().c_str(), 02770);
    EXPECT_EQ(vextest::ServiceState("Alpha"), unsigned(SERVICE_RUNNING));
    // An administrator may.
    EXPECT_EQ(vextest::RunHelperAs(Identity::Administrator, "raw_stop", {csSocket}), 0);
    EXPECT_TRUE(vextest::WaitFor(
        [] { return vextest::ServiceState("Alpha") == unsigned(SERVICE_STOPPED); }));
}

TEST_F(RootAccessTest, AStaleRowNeverTakesALiveServicesSocket) {
    ASSERT_TRUE(vextest::CreateTestService("Alpha", "normal"));
    unsigned state = 0;
    ASSERT_TRUE(vextest::StartAndWait("Alpha", &state));
    // The leftover of an earlier process that had the same pid: another name.
    size_t nSockets = 0;
    for (const auto& entry : std::filesystem::directory_iterator(RootPath("run")))
        nSockets += entry.path().filename().string().rfind("svc-", 0) == 0;
    EXPECT_EQ(nSockets, 1u);
    for (const auto& entry : std::filesystem::directory_iterator(RootPath("run"))) {
        const std::string csName = entry.path().filename().string();
        if (csName.rfind("svc-", 0) == 0) {
            EXPECT_EQ(std::count(csName.begin(), csName.end(), '-'), 2) << csName;
        }
    }
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE hService = OpenService(hManager, "Alpha", SERVICE_ALL_ACCESS);
    SERVICE_STATUS status{};
    EXPECT_TRUE(ControlService(hService, SERVICE_CONTROL_STOP, &status));
    CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
}

} // namespace
