// CSpooler against the machine's real services: the Spooler daemon and test
// services that depend on it (TestService.h). Pauses run at 25 %; the stop
// attempts of a stuck service at 5 % (one second is 50 ms); the full length
// where a start's sleep on the wait hint must leave a slow-starting service
// time for its reports on a loaded machine. Whether a call waited is read from
// its trace, never from a clock.
#include "TestService.h"
#include "TestSupport.h"

#include "common/Spooler.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/service.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace platform;
using namespace vextest;

namespace {

class SpoolerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("VEX_DELAY_PERCENT", "25", 1);
        root.EnableTrace(eExeService);
        TraceInit(eExeService, ".bak");
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(hManager, nullptr);
        SC_HANDLE hSpooler = CreateService(hManager, "Spooler", "Print Spooler", SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                           SERVICE_ERROR_NORMAL, ProgramPath("vexspoolerd"));
        ASSERT_NE(hSpooler, nullptr);
        CloseServiceHandle(hSpooler);
        CloseServiceHandle(hManager);
    }
    void TearDown() override { ::unsetenv("VEX_DELAY_PERCENT"); }

    std::string Trace() const { return ReadFile(root.WorkDir() + "vexsrv.log"); }
    size_t Count(const std::string& text) const {
        std::string trace = Trace();
        size_t count = 0;
        for (size_t pos = 0; (pos = trace.find(text, pos)) != std::string::npos; pos += text.size())
            ++count;
        return count;
    }

    TempRoot root;
    CSpooler spooler;
};

TEST_F(SpoolerTest, StoppedServiceStopsAndRunningServiceStartsWithoutWaiting) {
    EXPECT_FALSE(spooler.IsSpoolerRunning());
    ASSERT_TRUE(spooler.StartSpooler());
    EXPECT_TRUE(spooler.IsSpoolerRunning());
    EXPECT_TRUE(IsServiceRunning("Spooler"));

    const size_t nPauses = Count("(CSpooler::VexStartService)Start pending, about to sleep");
    EXPECT_TRUE(spooler.VexStartService("Spooler"));
    EXPECT_EQ(Count("(CSpooler::VexStartService)Service already started"), 1u);
    EXPECT_EQ(Count("(CSpooler::VexStartService)Start pending, about to sleep"), nPauses);

    ASSERT_TRUE(spooler.VexStopService("Spooler"));
    EXPECT_FALSE(spooler.IsSpoolerRunning());
    EXPECT_EQ(Count("(CSpooler::VexStopService)Service accepted stop command"), 1u);

    // A stopped service is not asked again, so no attempt waits.
    EXPECT_TRUE(spooler.VexStopService("Spooler"));
    EXPECT_EQ(Count("(CSpooler::VexStopService)Service already stopped"), 1u);
    EXPECT_EQ(Count("(CSpooler::VexStopService)Service accepted stop command"), 1u);
    EXPECT_EQ(Count("Service not stopped"), 0u);
}

TEST_F(SpoolerTest, StartWaitsOnlyWhileTheCheckPointGrows) {
    ASSERT_TRUE(CreateTestService("Slow", "slowstart"));
    ::setenv("VEX_DELAY_PERCENT", "100", 1);
    EXPECT_TRUE(spooler.VexStartService("Slow"));
    ::setenv("VEX_DELAY_PERCENT", "25", 1);
    EXPECT_GE(Count("(CSpooler::VexStartService)Start pending, about to sleep for "), 1u);
    EXPECT_EQ(ServiceState("Slow"), unsigned(SERVICE_RUNNING));

    ASSERT_TRUE(CreateTestService("Hang", "hang"));
    EXPECT_FALSE(spooler.VexStartService("Hang"));
    EXPECT_EQ(Count("(CSpooler::VexStartService)Checkpoint hasn't been incremented"), 1u);
    EXPECT_EQ(Count("(CSpooler::VexStartService)Service not started, state=2"), 1u);

    // The refusal must have come when the start looks again.
    ASSERT_TRUE(CreateTestService("Refuser", "refuse"));
    ::setenv("VEX_DELAY_PERCENT", "100", 1);
    EXPECT_FALSE(spooler.VexStartService("Refuser"));
    EXPECT_EQ(Count("(CSpooler::VexStartService)Service not started, state=1"), 1u);

    EXPECT_FALSE(spooler.VexStartService("Nothing"));
    EXPECT_FALSE(spooler.VexStopService("Nothing"));
    EXPECT_EQ(Count("(CSpooler::VexStartService)OpenService failed, GetLastError()=1060"), 1u);
    EXPECT_EQ(Count("(CSpooler::VexStopService)OpenService failed, GetLastError()=1060"), 1u);
}

TEST_F(SpoolerTest, ServiceStuckInStopPendingGetsThirtyAttempts) {
    ASSERT_TRUE(CreateTestService("Stuck", "stuckstop"));
    unsigned state = 0;
    ASSERT_TRUE(StartAndWait("Stuck", &state));
    ASSERT_EQ(state, unsigned(SERVICE_RUNNING));
    ::setenv("VEX_DELAY_PERCENT", "5", 1);
    EXPECT_FALSE(spooler.VexStopService("Stuck"));
    EXPECT_EQ(Count("(CSpooler::VexStopService)Service accepted stop command"), 1u);
    EXPECT_EQ(Count("(CSpooler::VexStopService)Service not stopped, state=3"), 30u);
    EXPECT_EQ(ServiceState("Stuck"), unsigned(SERVICE_STOP_PENDING));
}

TEST_F(SpoolerTest, DependantsStopFirstAndStartAgainInReverseOrder) {
    ASSERT_TRUE(CreateTestService("A", "normal", {"Spooler"}));
    ASSERT_TRUE(CreateTestService("B", "normal", {"Spooler"}));
    ASSERT_TRUE(spooler.VexStartService("A"));
    ASSERT_TRUE(spooler.VexStartService("B"));
    ASSERT_TRUE(spooler.IsSpoolerRunning());

    ENUM_SERVICE_STATUS* pList = nullptr;
    uint32_t dwCount = 0;
    ASSERT_TRUE(spooler.ShutdownSpooler(&pList, &dwCount));
    ASSERT_EQ(dwCount, 2u);
    ASSERT_NE(pList, nullptr);
    EXPECT_EQ(pList[0].lpServiceName, "A");
    EXPECT_EQ(pList[1].lpServiceName, "B");
    EXPECT_FALSE(spooler.IsSpoolerRunning());
    EXPECT_EQ(ServiceState("A"), unsigned(SERVICE_STOPPED));
    EXPECT_EQ(ServiceState("B"), unsigned(SERVICE_STOPPED));
    std::string trace = Trace();
    size_t a = trace.find("About to try to stop dependent service 'A (test)'");
    size_t b = trace.find("About to try to stop dependent service 'B (test)'");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    EXPECT_LT(a, b);

    size_t before = StartLog().size();
    bool bProblem = true;
    EXPECT_TRUE(spooler.RestartSpooler(pList, dwCount, bProblem));
    EXPECT_FALSE(bProblem);
    CSpooler::FreeDependentServices(pList);
    std::vector<std::string> starts = StartLog();
    ASSERT_EQ(starts.size(), before + 2);
    EXPECT_EQ(starts[before], "B");
    EXPECT_EQ(starts[before + 1], "A");

    // The whole cycle, once more.
    EXPECT_TRUE(spooler.RestartSpooler());
    EXPECT_TRUE(spooler.IsSpoolerRunning());
    EXPECT_EQ(ServiceState("A"), unsigned(SERVICE_RUNNING));
    EXPECT_EQ(ServiceState("B"), unsigned(SERVICE_RUNNING));
}

TEST_F(SpoolerTest, DependantThatRefusesToStartFailsTheRestart) {
    ASSERT_TRUE(CreateTestService("A", "normal", {"Spooler"}));
    ASSERT_TRUE(CreateTestService("Once", "once", {"Spooler"}));
    ASSERT_TRUE(spooler.VexStartService("Once"));
    ASSERT_TRUE(spooler.VexStartService("A"));

    EXPECT_FALSE(spooler.RestartSpooler());
    EXPECT_EQ(Count("CSpooler::RestartSpooler - Dependencies problem"), 1u);
    EXPECT_TRUE(spooler.IsSpoolerRunning());
    // The other dependant was still started.
    EXPECT_EQ(ServiceState("A"), unsigned(SERVICE_RUNNING));
    EXPECT_EQ(ServiceState("Once"), unsigned(SERVICE_STOPPED));
}

TEST_F(SpoolerTest, SpoolerWithoutDependantsRestartsWithAnEmptyList) {
    ASSERT_TRUE(spooler.StartSpooler());
    ENUM_SERVICE_STATUS* pList = reinterpret_cast<ENUM_SERVICE_STATUS*>(this);
    uint32_t dwCount = 7;
    ASSERT_TRUE(spooler.ShutdownSpooler(&pList, &dwCount));
    EXPECT_EQ(pList, nullptr);
    EXPECT_EQ(dwCount, 0u);
    EXPECT_EQ(Count("(CSpooler::ShutdownSpooler)No dependent services"), 1u);
    EXPECT_TRUE(spooler.RestartSpooler());
    EXPECT_TRUE(spooler.IsSpoolerRunning());

    bool bProblem = false;
    EXPECT_TRUE(spooler.RestartSpooler(nullptr, 2, bProblem));
    EXPECT_TRUE(bProblem);
    EXPECT_EQ(Count("(CSpooler::RestartSpooler)Num dependent services=2, but pointer to them "
                    "NULL"),
              1u);
}

TEST_F(SpoolerTest, DependantThatDoesNotStopEndsTheShutdown) {
    ASSERT_TRUE(CreateTestService("Stuck", "stuckstop", {"Spooler"}));
    ASSERT_TRUE(spooler.VexStartService("Stuck"));
    ::setenv("VEX_DELAY_PERCENT", "5", 1);
    ENUM_SERVICE_STATUS* pList = nullptr;
    uint32_t dwCount = 0;
    EXPECT_FALSE(spooler.ShutdownSpooler(&pList, &dwCount));
    EXPECT_EQ(pList, nullptr);
    EXPECT_EQ(dwCount, 0u);
    EXPECT_TRUE(spooler.IsSpoolerRunning());
    EXPECT_FALSE(spooler.RestartSpooler());
    EXPECT_EQ(Count("CSpooler::RestartSpooler - ShutdownSpooler failed"), 1u);
}

} // namespace
