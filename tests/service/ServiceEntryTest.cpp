// The service entry's own logic, outside a service: the error text rule, the
// status record with its check points, debug mode and the control handler.
// The programs' behaviour under the service manager is in tests/integration.
#include "TestSupport.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/files.h"
#include "service/ServiceEntry.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class ServiceEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        root.EnableTrace(eExeService);
        TraceInit(eExeService, ".bak");
    }
    void TearDown() override { SetDebugMode(false); }
    std::string Trace() const { return vextest::ReadFile(root.WorkDir() + "vexsrv.log"); }

    vextest::TempRoot root;
};

TEST_F(ServiceEntryTest, ErrorTextNeedsRoomForTheMessageAnd22More) {
    const std::string text = ErrorText(ERROR_SERVICE_NOT_ACTIVE);
    const std::string expected = "err=(0x426) " + text;
    char buffer[256];
    SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_EQ(std::string(GetLastErrorText(buffer, sizeof buffer)), expected);
    // The system's text carries a line end of two characters.
    uint32_t fits = uint32_t(text.size() + 2 + 22);
    SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_EQ(std::string(GetLastErrorText(buffer, fits)), expected);
    std::memset(buffer, 'x', sizeof buffer);
    SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_EQ(std::string(GetLastErrorText(buffer, fits - 1)), "");
    // A number without a text.
    SetLastError(4242);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(std::string(GetLastErrorText(buffer, sizeof buffer)), "");
    // Its lines are of the most detailed level.
    EXPECT_NE(Trace().find(" DET Entry (GetLastErrorText)"), std::string::npos) << Trace();
}

TEST_F(ServiceEntryTest, StatusRecordCountsCheckPointsOverAllPendingReports) {
    // No service runs here, so each report fails after filling the record.
    EXPECT_FALSE(ReportStatusToSCMgr(SERVICE_START_PENDING, 0, 3000));
    const SERVICE_STATUS& status = ServiceStatusRecord();
    uint32_t first = status.dwCheckPoint;
    EXPECT_GE(first, 1u);
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_START_PENDING));
    EXPECT_EQ(status.dwControlsAccepted, 0u);
    EXPECT_EQ(status.dwWaitHint, 3000u);
    ReportStatusToSCMgr(SERVICE_START_PENDING, 0, 3000);
    EXPECT_EQ(status.dwCheckPoint, first + 1);
    ReportStatusToSCMgr(SERVICE_RUNNING, 0, 0);
    EXPECT_EQ(status.dwCheckPoint, 0u);
    EXPECT_EQ(status.dwControlsAccepted, uint32_t(SERVICE_ACCEPT_STOP));
    ReportStatusToSCMgr(SERVICE_STOP_PENDING, 0, 20);
    EXPECT_EQ(status.dwCheckPoint, first + 2); // never reset
    EXPECT_EQ(status.dwControlsAccepted, uint32_t(SERVICE_ACCEPT_STOP));
    ReportStatusToSCMgr(SERVICE_STOPPED, 5, 20);
    EXPECT_EQ(status.dwCheckPoint, 0u);
    EXPECT_EQ(status.dwWin32ExitCode, 5u);
    EXPECT_NE(Trace().find("(ReportStatusToSCMgr)SetServiceStatus failed. (err=(0x6) The handle "
                           "is invalid.)"),
              std::string::npos)
        << Trace();

    // In debug mode nothing is reported and nothing changes.
    SetDebugMode(true);
    EXPECT_TRUE(ReportStatusToSCMgr(SERVICE_START_PENDING, 0, 3000));
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_STOPPED));
    EXPECT_TRUE(ControlHandler(0));
    EXPECT_TRUE(ControlHandler(1));
    EXPECT_FALSE(ControlHandler(2));
    EXPECT_EQ(status.dwCurrentState, uint32_t(SERVICE_STOPPED));
    SetDebugMode(false);
    ReportStatusToSCMgr(SERVICE_START_PENDING, 0, 3000);
    EXPECT_EQ(status.dwCheckPoint, first + 3);
}

TEST_F(ServiceEntryTest, ServiceMainOutsideTheManagerEndsWithoutReporting) {
    SERVICE_STATUS before = ServiceStatusRecord();
    char name[] = "ZANTOR_AMBREL";
    char* argv[] = {name, nullptr};
    vex_main(1, argv);
    std::string trace = Trace();
    EXPECT_NE(trace.find("(vex_main)RegisterServiceCtrlHandler failed. (err=(0x43b) "),
              std::string::npos)
        << trace;
    EXPECT_EQ(trace.find("Entry (ReportStatusToSCMgr)"), std::string::npos);
    EXPECT_EQ(ServiceStatusRecord().dwCheckPoint, before.dwCheckPoint);
}

TEST_F(ServiceEntryTest, ControlCode130RollsTheTraceEvenWithUnchangedSettings) {
    TraceInf("before the roll");
    vex_ctrl(SERVICE_CONTROL_RESTART_TRACE);
    std::string previous = vextest::ReadFile(root.WorkDir() + "vexsrv.log.prev");
    EXPECT_NE(previous.find("before the roll"), std::string::npos);
    EXPECT_NE(previous.find("Entry (vex_ctrl)"), std::string::npos);
    std::string current = Trace();
    EXPECT_EQ(current.find("before the roll"), std::string::npos);
    EXPECT_NE(current.find("Exit  (vex_ctrl)"), std::string::npos) << current;

    // Any other code reports the current state again.
    ReportStatusToSCMgr(SERVICE_START_PENDING, 0, 3000);
    uint32_t checkPoint = ServiceStatusRecord().dwCheckPoint;
    vex_ctrl(SERVICE_CONTROL_INTERROGATE);
    EXPECT_EQ(ServiceStatusRecord().dwCheckPoint, checkPoint + 1);
    EXPECT_EQ(ServiceStatusRecord().dwWaitHint, 0u);
}

} // namespace
