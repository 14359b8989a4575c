// The service manager: the database, detached starts, controls, dependants and
// the reading of a dead service as stopped. The services are the test binary
// itself (TestService.h).
#include "TestService.h"
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/root.h"
#include "platform/service.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform;
using namespace vextest;

namespace {

class ServiceManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(m_hManager, nullptr);
    }
    void TearDown() override {
        for (SC_HANDLE handle : m_handles)
            CloseServiceHandle(handle);
        CloseServiceHandle(m_hManager);
    }
    SC_HANDLE Open(const std::string& name) {
        SC_HANDLE handle = OpenService(m_hManager, name, SERVICE_ALL_ACCESS);
        if (handle)
            m_handles.push_back(handle);
        return handle;
    }
    SERVICE_STATUS Status(SC_HANDLE handle) {
        SERVICE_STATUS status{};
        EXPECT_TRUE(QueryServiceStatus(handle, &status)) << GetLastError();
        return status;
    }
    bool WaitForState(SC_HANDLE handle, uint32_t state) {
        return WaitFor([&] { return Status(handle).dwCurrentState == state; });
    }

    TempRoot m_root;
    SC_HANDLE m_hManager = nullptr;
    std::vector<SC_HANDLE> m_handles;
};

TEST_F(ServiceManagerTest, DatabaseKeepsServicesByNameWithoutRegardToCase) {
    ASSERT_TRUE(CreateTestService("Alpha", "normal"));
    EXPECT_FALSE(CreateTestService("ALPHA", "normal"));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
    // The display name is taken too.
    EXPECT_EQ(CreateService(m_hManager, "Beta", "alpha (TEST)", SERVICE_ALL_ACCESS,
                            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                            "/bin/true"),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_DUPLICATE_SERVICE_NAME);
    EXPECT_EQ(CreateService(m_hManager, "a/b", "x", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                            SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "/bin/true"),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_EQ(Open("Gamma"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);

    SC_HANDLE hAlpha = Open("alpha");
    ASSERT_NE(hAlpha, nullptr);
    QUERY_SERVICE_CONFIG config;
    ASSERT_TRUE(QueryServiceConfig(hAlpha, &config));
    EXPECT_EQ(config.lpDisplayName, "Alpha (test)");
    EXPECT_EQ(config.dwStartType, uint32_t(SERVICE_DEMAND_START));
    EXPECT_EQ(config.lpServiceStartName, "LocalSystem");
    SERVICE_STATUS status = Status(hAlpha);
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_STOPPED));
    EXPECT_EQ(status.dwServiceType, uint32_t(SERVICE_WIN32_OWN_PROCESS));

    // A stopped service goes at once.
    ASSERT_TRUE(DeleteService(hAlpha));
    EXPECT_EQ(Open("Alpha"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_FALSE(QueryServiceStatus(hAlpha, &status));
    EXPECT_TRUE(CreateTestService("Alpha", "normal"));
}

TEST_F(ServiceManagerTest, StartedServiceRunsDetachedAndAnswersControls) {
    ASSERT_TRUE(CreateTestService("Alpha", "normal"));
    SC_HANDLE hAlpha = Open("Alpha");
    const char* args[] = {"one", "two words"};
    ASSERT_TRUE(StartService(hAlpha, 2, args)) << GetLastError();
    ASSERT_TRUE(WaitForState(hAlpha, SERVICE_RUNNING));
    EXPECT_TRUE(IsServiceRunning("ALPHA"));
    EXPECT_EQ(ReadFile(RootPath("args-Alpha")), "Alpha\none\ntwo words\n");

    EXPECT_FALSE(StartService(hAlpha, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);

    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(hAlpha, 150, &status)) << GetLastError();
    EXPECT_TRUE(FileExists(TestServiceMarker("Alpha", 150)));
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_RUNNING));
    ASSERT_TRUE(ControlService(hAlpha, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_FALSE(ControlService(hAlpha, 300, &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ControlService(hAlpha, SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);

    ASSERT_TRUE(ControlService(hAlpha, SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(WaitForState(hAlpha, SERVICE_STOPPED));
    EXPECT_EQ(Status(hAlpha).dwWin32ExitCode, 0u);
    EXPECT_FALSE(ControlService(hAlpha, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_FALSE(IsServiceRunning("Alpha"));

    // It starts again after a stop.
    unsigned state = 0;
    ASSERT_TRUE(StartAndWait("Alpha", &state));
    EXPECT_EQ(state, unsigned(SERVICE_RUNNING));
}

// Sends raw bytes to a service's control socket; gives the answer's code, or -1
// when none came.
int64_t RawControl(const std::string& socketPath, const std::string& bytes) {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    int64_t answer = -1;
    uint32_t code = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), 0) == ssize_t(bytes.size()) &&
        ::recv(fd, &code, sizeof code, 0) == ssize_t(sizeof code))
        answer = code;
    ::close(fd);
    return answer;
}

TEST_F(ServiceManagerTest, ControlSocketRefusesMalformedAndUnacceptableRequests) {
    ASSERT_TRUE(CreateTestService("Alpha", "normal"));
    unsigned state = 0;
    ASSERT_TRUE(StartAndWait("Alpha", &state));
    ASSERT_EQ(state, unsigned(SERVICE_RUNNING));
    std::string socketPath;
    for (const auto& entry : std::filesystem::directory_iterator(m_root.Path() + "/run")) {
        if (entry.path().filename().string().rfind("svc-", 0) == 0)
            socketPath = entry.path().string();
    }
    ASSERT_FALSE(socketPath.empty());
    EXPECT_EQ(RawControl(socketPath, "ab"), -1);
    EXPECT_EQ(RawControl(socketPath, std::string(8, '\x01')), -1);
    uint32_t pause = SERVICE_CONTROL_PAUSE, undefined = 300, user = 140;
    EXPECT_EQ(RawControl(socketPath, std::string(reinterpret_cast<char*>(&pause), 4)),
              int64_t(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_EQ(RawControl(socketPath, std::string(reinterpret_cast<char*>(&undefined), 4)),
              int64_t(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RawControl(socketPath, std::string(reinterpret_cast<char*>(&user), 4)), 0);
    EXPECT_TRUE(FileExists(TestServiceMarker("Alpha", 140)));
    EXPECT_TRUE(IsServiceRunning("Alpha"));
}

TEST_F(ServiceManagerTest, ServiceWhoseProcessEndsReadsAsStopped) {
    ASSERT_TRUE(CreateTestService("Alpha", "normal"));
    SC_HANDLE hAlpha = Open("Alpha");
    unsigned state = 0;
    ASSERT_TRUE(StartAndWait("Alpha", &state));
    ASSERT_EQ(state, unsigned(SERVICE_RUNNING));
    SERVICE_STATUS status{};
    // Code 200 makes the test service end without a word; the answer may be lost.
    ControlService(hAlpha, 200, &status);
    ASSERT_TRUE(WaitForState(hAlpha, SERVICE_STOPPED));
    EXPECT_EQ(Status(hAlpha).dwWin32ExitCode, uint32_t(ERROR_PROCESS_ABORTED));
    EXPECT_FALSE(ControlService(hAlpha, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);

    ASSERT_TRUE(StartAndWait("Alpha", &state));
    ASSERT_EQ(state, unsigned(SERVICE_RUNNING));
    EXPECT_EQ(TerminateAllServices(), 1);
    EXPECT_EQ(Status(hAlpha).dwCurrentState, uint32_t(SERVICE_STOPPED));
}

TEST_F(ServiceManagerTest, StartsThatFailAreReported) {
    SC_HANDLE hMissing = CreateService(
        m_hManager, "Missing", "Missing", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, m_root.Path() + "/no-such-program --flag");
    ASSERT_NE(hMissing, nullptr);
    m_handles.push_back(hMissing);
    EXPECT_FALSE(StartService(hMissing, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Status(hMissing).dwCurrentState, uint32_t(SERVICE_STOPPED));

    // A program that never connects to the manager.
    ASSERT_TRUE(CreateTestService("Quitter", "quit"));
    SC_HANDLE hQuitter = Open("Quitter");
    EXPECT_FALSE(StartService(hQuitter, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_REQUEST_TIMEOUT);
    EXPECT_EQ(Status(hQuitter).dwCurrentState, uint32_t(SERVICE_STOPPED));

    // A service that stops at once keeps its exit codes.
    ASSERT_TRUE(CreateTestService("Refuser", "refuse"));
    SC_HANDLE hRefuser = Open("Refuser");
    ASSERT_TRUE(StartService(hRefuser, 0, nullptr));
    ASSERT_TRUE(WaitForState(hRefuser, SERVICE_STOPPED));
    SERVICE_STATUS status = Status(hRefuser);
    EXPECT_EQ(status.dwWin32ExitCode, 1066u);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 42u);

    ASSERT_TRUE(ChangeServiceConfig(hRefuser, SERVICE_NO_CHANGE, SERVICE_DISABLED,
                                    SERVICE_NO_CHANGE, nullptr, nullptr));
    EXPECT_FALSE(StartService(hRefuser, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DISABLED);
}

TEST_F(ServiceManagerTest, PendingServiceRefusesControlsButInterrogate) {
    ASSERT_TRUE(CreateTestService("Hanger", "hang"));
    SC_HANDLE hHanger = Open("Hanger");
    ASSERT_TRUE(StartService(hHanger, 0, nullptr));
    ASSERT_TRUE(WaitFor([&] { return Status(hHanger).dwCheckPoint == 1; }));
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(hHanger, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_START_PENDING));
    EXPECT_EQ(status.dwControlsAccepted, 0u);
    EXPECT_TRUE(ControlService(hHanger, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.dwCheckPoint, 2u); // the test service reports again
}

TEST_F(ServiceManagerTest, DependenciesStartFirstAndDependantsStopFirst) {
    ASSERT_TRUE(CreateTestService("Base", "normal"));
    ASSERT_TRUE(CreateTestService("Middle", "normal", {"base"}));
    ASSERT_TRUE(CreateTestService("Top", "normal", {"Middle"}));
    ASSERT_TRUE(CreateTestService("Side", "normal", {"Base"}));
    SC_HANDLE hBase = Open("Base");

    uint32_t needed = 99, returned = 99;
    EXPECT_TRUE(EnumDependentServices(hBase, SERVICE_ACTIVE, nullptr, 0, &needed, &returned));
    EXPECT_EQ(returned, 0u);

    unsigned state = 0;
    ASSERT_TRUE(StartAndWait("Top", &state));
    ASSERT_EQ(state, unsigned(SERVICE_RUNNING));
    EXPECT_EQ(ServiceState("Middle"), unsigned(SERVICE_RUNNING));
    EXPECT_EQ(ServiceState("Base"), unsigned(SERVICE_RUNNING));
    EXPECT_EQ(ServiceState("Side"), unsigned(SERVICE_STOPPED));

    // Every dependant comes before what it depends on.
    EXPECT_FALSE(EnumDependentServices(hBase, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    ASSERT_EQ(needed, 3u);
    std::vector<ENUM_SERVICE_STATUS> all(needed);
    ASSERT_TRUE(
        EnumDependentServices(hBase, SERVICE_STATE_ALL, all.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 3u);
    EXPECT_EQ(all[0].lpServiceName, "Top");
    EXPECT_EQ(all[1].lpServiceName, "Middle");
    EXPECT_EQ(all[2].lpServiceName, "Side");
    EXPECT_EQ(all[0].lpDisplayName, "Top (test)");
    EXPECT_EQ(all[0].ServiceStatus.dwCurrentState, uint32_t(SERVICE_RUNNING));

    std::vector<ENUM_SERVICE_STATUS> active(3);
    ASSERT_TRUE(EnumDependentServices(hBase, SERVICE_ACTIVE, active.data(), 3, &needed, &returned));
    EXPECT_EQ(returned, 2u);

    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(hBase, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_DEPENDENT_SERVICES_RUNNING);

    // A dependency that cannot start stops the start.
    ASSERT_TRUE(CreateTestService("Broken", "refuse"));
    ASSERT_TRUE(CreateTestService("NeedsBroken", "normal", {"Broken"}));
    SC_HANDLE hNeeds = Open("NeedsBroken");
    EXPECT_FALSE(StartService(hNeeds, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DEPENDENCY_FAIL);
}

TEST_F(ServiceManagerTest, RunningServiceMarkedForDeleteGoesWhenItStops) {
    ASSERT_TRUE(CreateTestService("Alpha", "normal"));
    SC_HANDLE hAlpha = Open("Alpha");
    unsigned state = 0;
    ASSERT_TRUE(StartAndWait("Alpha", &state));
    ASSERT_TRUE(DeleteService(hAlpha));
    EXPECT_FALSE(DeleteService(hAlpha));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
    EXPECT_FALSE(CreateTestService("Alpha", "normal"));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
    EXPECT_EQ(Status(hAlpha).dwCurrentState, uint32_t(SERVICE_RUNNING));

    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(hAlpha, SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(WaitFor([&] { return OpenService(m_hManager, "Alpha", 0) == nullptr; }));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(ServiceManagerTest, DispatcherRefusesProgramsTheManagerDidNotStart) {
    const SERVICE_TABLE_ENTRY table[] = {{"Alpha", [](uint32_t, char**) {}}, {nullptr, nullptr}};
    EXPECT_FALSE(StartServiceCtrlDispatcher(table));
    EXPECT_EQ(GetLastError(), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    // The manager's variables alone, without a start under way, do not make a service.
    ASSERT_TRUE(CreateTestService("Alpha", "normal"));
    ::setenv("VEX_SERVICE_NAME", "Alpha", 1);
    ::setenv("VEX_SERVICE_START", "0123", 1);
    EXPECT_FALSE(StartServiceCtrlDispatcher(table));
    EXPECT_EQ(GetLastError(), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    ::unsetenv("VEX_SERVICE_NAME");
    ::unsetenv("VEX_SERVICE_START");
    EXPECT_EQ(RegisterServiceCtrlHandler("Alpha", [](uint32_t) {}), nullptr);
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0};
    EXPECT_FALSE(SetServiceStatus(nullptr, &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
