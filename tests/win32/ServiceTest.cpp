// The service control manager: a service's life through the real manager
// (the test program run again as the service), the user control 130, the
// refusals by number, the configuration and the enumerations.
#include "platform/service.h"
#include "Helpers.h"
#include "platform/clock.h"
#include "platform/error.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace platform;

namespace {

// The service helper's state: one service per process.
struct SHelperService {
    std::string csName;
    std::string csLog;
    SERVICE_STATUS_HANDLE hStatus = nullptr;
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
} g_service;

void Report(uint32_t dwState) {
    g_service.status.dwCurrentState = dwState;
    g_service.status.dwControlsAccepted =
        dwState == SERVICE_RUNNING ? uint32_t(SERVICE_ACCEPT_STOP) : 0u;
    SetServiceStatus(g_service.hStatus, &g_service.status);
}

// Each control the handler takes is written down, so the test sees it ran.
void OnControl(uint32_t dwControl) {
    std::ofstream(g_service.csLog, std::ios::app | std::ios::binary) << dwControl << "\n";
    if (dwControl == SERVICE_CONTROL_STOP)
        Report(SERVICE_STOPPED);
}

void ServiceMain(uint32_t dwArgc, char** lpszArgv) {
    g_service.hStatus = RegisterServiceCtrlHandler(g_service.csName.c_str(), OnControl);
    if (!g_service.hStatus)
        return;
    std::ofstream log(g_service.csLog, std::ios::app | std::ios::binary);
    for (uint32_t i = 0; i < dwArgc; ++i)
        log << "arg " << lpszArgv[i] << "\n";
    log.close();
    Report(SERVICE_RUNNING);
}

std::string Read(const std::string& csPath) {
    std::ifstream in(csPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <class Condition> bool PollFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

uint32_t StateOf(SC_HANDLE hService) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(hService, &status) ? status.dwCurrentState : 0;
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, hManager) << GetLastError();
        csLog = (std::filesystem::temp_directory_path() / (csName + ".log")).string();
        std::filesystem::remove(csLog);
    }
    void TearDown() override {
        for (const std::string& csService : {csName, csName + "-dep"}) {
            if (SC_HANDLE h = OpenService(hManager, csService, SERVICE_ALL_ACCESS)) {
                SERVICE_STATUS status;
                ControlService(h, SERVICE_CONTROL_STOP, &status);
                PollFor([&] { return StateOf(h) == SERVICE_STOPPED; });
                DeleteService(h);
                CloseServiceHandle(h);
            }
        }
        if (hManager)
            CloseServiceHandle(hManager);
        std::filesystem::remove(csLog);
    }
    SC_HANDLE Create(const std::string& csService, const std::vector<std::string>& depends = {}) {
        return CreateService(hManager, csService, csService + " display", SERVICE_ALL_ACCESS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                             win32test::HelperLine("service", {csService, csLog}), depends);
    }
    std::string csName = win32test::UniqueName("VexTestSvc");
    std::string csLog;
    SC_HANDLE hManager = nullptr;
};

TEST_F(ServiceTest, AServiceRunsThroughTheManagerAndTakesTheUserControl) {
    SC_HANDLE hService = Create(csName);
    ASSERT_NE(nullptr, hService) << GetLastError();
    EXPECT_EQ(uint32_t(SERVICE_STOPPED), StateOf(hService));
    EXPECT_EQ(nullptr, Create(csName));
    EXPECT_EQ(ERROR_SERVICE_EXISTS, GetLastError());

    const char* args[] = {"first", "second arg"};
    ASSERT_TRUE(StartService(hService, 2, args)) << GetLastError();
    ASSERT_TRUE(PollFor([&] { return StateOf(hService) == SERVICE_RUNNING; }));
    EXPECT_TRUE(IsServiceRunning(csName));
    EXPECT_FALSE(StartService(hService, 0, nullptr));
    EXPECT_EQ(ERROR_SERVICE_ALREADY_RUNNING, GetLastError());

    // The manager returns once the handler has run.
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(hService, 130, &status)) << GetLastError();
    EXPECT_EQ(uint32_t(SERVICE_RUNNING), status.dwCurrentState);
    EXPECT_EQ("arg " + csName + "\narg first\narg second arg\n130\n", Read(csLog));
    // Pause is not among the controls it accepts.
    EXPECT_FALSE(ControlService(hService, SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(ERROR_INVALID_SERVICE_CONTROL, GetLastError());

    ASSERT_TRUE(ControlService(hService, SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(PollFor([&] { return StateOf(hService) == SERVICE_STOPPED; }));
    EXPECT_FALSE(IsServiceRunning(csName));
    EXPECT_FALSE(ControlService(hService, 130, &status));
    EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, GetLastError());

    ASSERT_TRUE(DeleteService(hService));
    CloseServiceHandle(hService);
    EXPECT_EQ(nullptr, OpenService(hManager, csName, SERVICE_ALL_ACCESS));
    EXPECT_EQ(ERROR_SERVICE_DOES_NOT_EXIST, GetLastError());
}

TEST_F(ServiceTest, TheConfigurationAndTheEnumerationsCountRecords) {
    SC_HANDLE hService = Create(csName);
    ASSERT_NE(nullptr, hService) << GetLastError();
    SC_HANDLE hDependent = Create(csName + "-dep", {csName});
    ASSERT_NE(nullptr, hDependent) << GetLastError();

    QUERY_SERVICE_CONFIG config;
    ASSERT_TRUE(QueryServiceConfig(hDependent, &config));
    EXPECT_EQ(uint32_t(SERVICE_DEMAND_START), config.dwStartType);
    EXPECT_EQ(win32test::HelperLine("service", {csName + "-dep", csLog}), config.lpBinaryPathName);
    // Wine keeps a service's dependencies to itself: it reports none.
    if (!win32test::UnderWine()) {
        EXPECT_EQ(std::vector<std::string>{csName}, config.dependencies);
    }
    EXPECT_EQ("LocalSystem", config.lpServiceStartName);
    ASSERT_TRUE(ChangeServiceConfig(hService, SERVICE_NO_CHANGE, SERVICE_DISABLED,
                                    SERVICE_NO_CHANGE, nullptr, "renamed"));
    ASSERT_TRUE(QueryServiceConfig(hService, &config));
    EXPECT_EQ(uint32_t(SERVICE_DISABLED), config.dwStartType);
    EXPECT_EQ("renamed", config.lpDisplayName);
    EXPECT_FALSE(StartService(hService, 0, nullptr));
    EXPECT_EQ(ERROR_SERVICE_DISABLED, GetLastError());

    uint32_t dwNeeded = 0, dwReturned = 0;
    EXPECT_FALSE(EnumServicesStatus(hManager, SERVICE_WIN32_OWN_PROCESS, SERVICE_STATE_ALL, nullptr,
                                    0, &dwNeeded, &dwReturned));
    EXPECT_EQ(ERROR_MORE_DATA, GetLastError());
    ASSERT_GE(dwNeeded, 2u);
    std::vector<ENUM_SERVICE_STATUS> all(dwNeeded + 4);
    ASSERT_TRUE(EnumServicesStatus(hManager, SERVICE_WIN32_OWN_PROCESS, SERVICE_STATE_ALL,
                                   all.data(), uint32_t(all.size()), &dwNeeded, &dwReturned));
    all.resize(dwReturned);
    auto at = std::find_if(all.begin(), all.end(),
                           [&](const ENUM_SERVICE_STATUS& e) { return e.lpServiceName == csName; });
    ASSERT_NE(all.end(), at);
    EXPECT_EQ("renamed", at->lpDisplayName);
    ASSERT_NE(all.end(), at + 1);
    EXPECT_EQ(csName + "-dep", (at + 1)->lpServiceName); // name order

    ASSERT_TRUE(EnumDependentServices(hService, SERVICE_STATE_ALL, all.data(), uint32_t(all.size()),
                                      &dwNeeded, &dwReturned));
    if (!win32test::UnderWine()) {
        ASSERT_EQ(1u, dwReturned);
        EXPECT_EQ(csName + "-dep", all[0].lpServiceName);
    }
    CloseServiceHandle(hDependent);
    CloseServiceHandle(hService);
}

TEST(ServiceDispatcherTest, AProgramNotStartedByTheManagerIsRefused) {
    const SERVICE_TABLE_ENTRY table[] = {{"VexNotStarted", ServiceMain}, {nullptr, nullptr}};
    EXPECT_FALSE(StartServiceCtrlDispatcher(table));
    EXPECT_EQ(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT, GetLastError());
}

} // namespace

int win32test::RunService(const std::vector<std::string>& args) {
    g_service.csName = args.at(0);
    g_service.csLog = args.at(1);
    const SERVICE_TABLE_ENTRY table[] = {{g_service.csName.c_str(), ServiceMain},
                                         {nullptr, nullptr}};
    return StartServiceCtrlDispatcher(table) ? 0 : int(GetLastError());
}
