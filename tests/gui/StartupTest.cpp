// Start-up of vexgui: the single instance, the "/Prompt" launch, the spooler
// and the service with their questions.
#include "GuiTestSupport.h"
#include "TestService.h"
#include "common/Spooler.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/printerlist/PrinterView.h"
#include "platform/error.h"
#include "platform/section.h"
#include "platform/service.h"

#include <QApplication>
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

using vexguitest::CGuiRoot;
using vexguitest::CScriptedPrompter;

// vexgui started by a user outside the administrators' group.
VEX_TEST_HELPER(gui_outsider) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
        return 3;
    vexguitest::COffscreenApplication application;
    CScriptedPrompter prompter;
    CVexApp app;
    const bool bStarted = app.InitInstance({});
    if (bStarted || prompter.Shown() != std::vector<uint32_t>{5062})
        return 1;
    const std::string& csText = prompter.Messages()[0].csText;
    return csText.find("'lpadmin'") != std::string::npos ? 0 : 2;
}

namespace {
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(vextest::CreateTestService(CVexApp::kServiceName, "normal"));
    }
    CGuiRoot m_root;
};
} // namespace

TEST_F(StartupTest, StoppedServiceIsStartedOnYes) {
    CScriptedPrompter prompter({eAnswerYes});
    CVexApp app;
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5015});
    EXPECT_EQ(vextest::ServiceState(CVexApp::kServiceName), 4u);
    ASSERT_NE(app.Frame(), nullptr);
    EXPECT_TRUE(app.Frame()->isVisible());
    EXPECT_EQ(app.Frame()->windowTitle().toStdString(), "Zantor Ambrel - English Drivers Package");
    EXPECT_TRUE(app.ListenerRunning());
    // The session is recorded for the service.
    EXPECT_FALSE(vextest::ReadFile(m_root.Root().Path() + "/run/gui-session").empty());
}

TEST_F(StartupTest, StoppedServiceDeclinedEndsTheProgram) {
    CScriptedPrompter prompter({eAnswerNo});
    CVexApp app;
    EXPECT_FALSE(app.InitInstance({"some-file.txt"}));
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5015});
    EXPECT_EQ(app.Frame(), nullptr);
    EXPECT_EQ(vextest::ServiceState(CVexApp::kServiceName), 1u);
}

TEST_F(StartupTest, ServiceThatFailsToStartShows5016) {
    // The service becomes one that refuses to start.
    platform::SC_HANDLE hManager =
        platform::OpenSCManager(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
    platform::SC_HANDLE hService =
        platform::OpenService(hManager, CVexApp::kServiceName, platform::SERVICE_ALL_ACCESS);
    ASSERT_TRUE(platform::ChangeServiceConfig(
        hService, platform::SERVICE_NO_CHANGE, platform::SERVICE_NO_CHANGE,
        platform::SERVICE_NO_CHANGE,
        vextest::TestServiceCommandLine(CVexApp::kServiceName, "refuse").c_str(), nullptr));
    platform::CloseServiceHandle(hService);
    platform::CloseServiceHandle(hManager);
    CScriptedPrompter prompter({eAnswerYes});
    CVexApp app;
    EXPECT_FALSE(app.InitInstance({}));
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{5015, 5016}));
}

TEST_F(StartupTest, SecondInstanceShows5014AndPromptLaunchEndsSilently) {
    ASSERT_TRUE(vextest::StartAndWait(CVexApp::kServiceName));
    platform::HSECTION hRunning = platform::CreateFileMapping(CVexApp::kInstanceSection, 8);
    ASSERT_NE(hRunning, nullptr);
    {
        CScriptedPrompter prompter;
        CVexApp app;
        EXPECT_FALSE(app.InitInstance({}));
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5014});
        EXPECT_EQ(app.Frame(), nullptr);
    }
    {
        CScriptedPrompter prompter;
        CVexApp app;
        EXPECT_FALSE(app.InitInstance({"/PROMPT"}));
        EXPECT_TRUE(prompter.Shown().empty());
    }
    platform::CloseSection(hRunning);
    // With the first one gone, a start succeeds again.
    CScriptedPrompter prompter;
    CVexApp app;
    EXPECT_TRUE(app.InitInstance({}));
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST_F(StartupTest, PromptLaunchAsks5026) {
    ASSERT_TRUE(vextest::StartAndWait(CVexApp::kServiceName));
    {
        CScriptedPrompter prompter({eAnswerNo});
        CVexApp app;
        EXPECT_FALSE(app.InitInstance({"-prompt"}));
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5026});
        EXPECT_EQ(app.Frame(), nullptr);
    }
    CScriptedPrompter prompter({eAnswerYes});
    CVexApp app;
    ASSERT_TRUE(app.InitInstance({"/Prompt"}));
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{5026});
    EXPECT_TRUE(app.Frame()->isVisible());
}

TEST_F(StartupTest, UserOutsideTheAdministratorsIsRefusedWithOneMessage) {
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    ::unsetenv("VEX_ADMIN_GROUP");
    EXPECT_EQ(vextest::RunHelper("gui_outsider"), 0);
}

TEST_F(StartupTest, StoppedSpoolerIsAskedFor) {
    ASSERT_TRUE(vextest::StartAndWait(CVexApp::kServiceName));
    ASSERT_TRUE(vextest::StopSpoolerService());
    {
        CScriptedPrompter prompter({eAnswerNo});
        CVexApp app;
        EXPECT_FALSE(app.InitInstance({}));
        EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{144});
    }
    CScriptedPrompter prompter({eAnswerYes});
    CVexApp app;
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{144});
    EXPECT_TRUE(CSpooler().IsSpoolerRunning());
}
