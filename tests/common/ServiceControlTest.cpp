// CServiceHandles and StartServiceAndWait against test services of the
// machine (TestService.h); the callers' texts are tested with the callers.
#include "TestService.h"
#include "TestSupport.h"

#include "common/ServiceControl.h"
#include "platform/error.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace platform;
using namespace vextest;

namespace {

class ServiceControlTest : public ::testing::Test {
protected:
    TempRoot root;
};

TEST_F(ServiceControlTest, PairNamesTheCallThatFailedAndKeepsItsError) {
    ASSERT_TRUE(CreateTestService("Known", "normal"));
    CServiceHandles known("Known");
    EXPECT_NE(known.Manager(), nullptr);
    EXPECT_NE(known.Service(), nullptr);
    EXPECT_EQ(known.FailedCall(), nullptr);
    EXPECT_FALSE(known.OpenService("Known")); // one service a pair

    CServiceHandles missing("Nothing");
    EXPECT_EQ(GetLastError(), uint32_t(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_NE(missing.Manager(), nullptr);
    EXPECT_EQ(missing.Service(), nullptr);
    EXPECT_STREQ(missing.FailedCall(), "OpenService");

    CServiceHandles manager;
    EXPECT_EQ(manager.Service(), nullptr);
    EXPECT_TRUE(manager.OpenService("Known"));
}

TEST_F(ServiceControlTest, WaitEndsOnStallOnFailedReadOrAtTheLimit) {
    ASSERT_TRUE(CreateTestService("Hang", "hang"));
    int iRounds = 0;
    SServiceStartWait counted;
    counted.waitRound = [&](SC_HANDLE hService, SERVICE_STATUS* pStatus) {
        ++iRounds;
        return QueryServiceStatus(hService, pStatus);
    };
    SERVICE_STATUS status{};
    {
        CServiceHandles handles("Hang");
        EXPECT_EQ(StartServiceAndWait(handles.Service(), &status, counted),
                  EServiceStart::eStalled);
        EXPECT_GE(iRounds, 1);
        EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_START_PENDING));
        // Started already: the start itself fails, its error stands.
        EXPECT_EQ(StartServiceAndWait(handles.Service(), &status), EServiceStart::eStartFailed);
        EXPECT_EQ(GetLastError(), uint32_t(ERROR_SERVICE_ALREADY_RUNNING));
    }

    // A service that seems to progress for ever is left at the limit; a read
    // that fails ends the wait with the last status read.
    ASSERT_TRUE(CreateTestService("Hang2", "hang"));
    SServiceStartWait progressing;
    progressing.dwLimitMs = 20;
    progressing.waitRound = [](SC_HANDLE, SERVICE_STATUS* pStatus) {
        ++pStatus->dwCheckPoint;
        return true;
    };
    CServiceHandles hang2("Hang2");
    EXPECT_EQ(StartServiceAndWait(hang2.Service(), &status, progressing),
              EServiceStart::eOutOfTime);

    ASSERT_TRUE(CreateTestService("Hang3", "hang"));
    SServiceStartWait failing;
    failing.waitRound = [](SC_HANDLE, SERVICE_STATUS* pStatus) {
        pStatus->dwCurrentState = SERVICE_RUNNING; // a half-read status is not taken
        return false;
    };
    CServiceHandles hang3("Hang3");
    EXPECT_EQ(StartServiceAndWait(hang3.Service(), &status, failing),
              EServiceStart::eWaitQueryFailed);
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_START_PENDING));
}

} // namespace
