// The trace dialog: a program's controls are locked while it traces, only what
// changed is written, and a changed trace-on setting restarts that program's
// trace: the GUI's at once, a running vexsrv's through control code 130.
#include "gui/settings/TraceDlg.h"
#include "GuiTestSupport.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/core/TraceSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using vexguitest::CScriptedPrompter;

namespace {
const char* const kUnsetText = "(unset)";

class TraceDlgTest : public ::testing::Test {
protected:
    void SetUp() override { m_root.SetUpWorkDir(); }
    void TearDown() override { TraceShutdown(); }

    static std::string StoredText(const char* pszValue) {
        return CVexData().GetStringData(CVexData::kTraceKey, pszValue, kUnsetText);
    }
    static uint32_t Stored(const char* pszValue) {
        return CVexData().GetNumData(CVexData::kTraceKey, pszValue, 0xDEAD);
    }
    template <typename T> static T* Child(QWidget* pParent, int iId) {
        const char* pszKind = std::is_same_v<T, QCheckBox>      ? "check"
                              : std::is_same_v<T, QRadioButton> ? "radio"
                                                                : "edit";
        T* pChild = pParent->findChild<T*>(QString("%1%2").arg(pszKind).arg(iId));
        EXPECT_NE(pChild, nullptr) << iId;
        return pChild;
    }
    static void Type(QLineEdit* pEdit, const QString& csText) {
        pEdit->selectAll();
        pEdit->insert(csText);
    }
    static void Ok(QDialog* pDialog) {
        pDialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }
    bool Exists(const std::string& csName) const {
        return std::filesystem::exists(m_root.WorkDir() + csName);
    }

    vextest::TempRoot m_root;
    CScriptedPrompter m_prompter;
};
} // namespace

TEST_F(TraceDlgTest, OnlyChangedSettingsAreWrittenAndCaseOfTheFileNameIsNoChange) {
    STraceSettings read = STraceSettings::Read(eExeGui);
    EXPECT_EQ(read.uiLevel, 127u);
    EXPECT_EQ(read.csFile, "vexgui.log");
    STraceSettings edited = read;
    edited.csFile = "VexGui.LOG";
    STraceWrite result = WriteTraceChanges(eExeGui, read, edited);
    EXPECT_TRUE(result.bWritten);
    EXPECT_FALSE(result.bOnChanged);
    for (const char* pszValue :
         {"GUI trace level", "GUI trace wrap on", "GUI trace wrap size", "GUI trace on"})
        EXPECT_EQ(Stored(pszValue), 0xDEADu) << pszValue;
    EXPECT_EQ(StoredText("GUI trace file"), kUnsetText);

    edited.uiLevel = TraceLevelFromBoxes(read.uiLevel, 0x09);
    edited.bOn = true;
    result = WriteTraceChanges(eExeGui, read, edited);
    EXPECT_TRUE(result.bOnChanged);
    EXPECT_EQ(Stored("GUI trace level"), 0x09u);
    EXPECT_EQ(Stored("GUI trace on"), 1u);
    EXPECT_EQ(Stored("GUI trace wrap size"), 0xDEADu);
    EXPECT_EQ(Stored("Service trace level"), 0xDEADu);
    // Bits the dialog has no box for stay as they were.
    EXPECT_EQ(TraceLevelFromBoxes(0x1FF, 0x01), 0x181u);
}

TEST_F(TraceDlgTest, ControlsOfATracingProgramAreLocked) {
    CVexData().SetTraceOn(eExeService, true);
    CTraceDlg dialog;
    dialog.show();
    for (int iId = 1023; iId <= 1029; ++iId)
        EXPECT_FALSE(Child<QCheckBox>(&dialog, iId)->isEnabled()) << iId;
    EXPECT_FALSE(Child<QRadioButton>(&dialog, 1041)->isEnabled());
    EXPECT_FALSE(Child<QRadioButton>(&dialog, 1042)->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(&dialog, 1044)->isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(&dialog, 1048)->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, 1021)->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(&dialog, 1022)->isChecked());
    // The GUI's trace is off: its settings may change.
    for (int iId = 1032; iId <= 1038; ++iId)
        EXPECT_TRUE(Child<QCheckBox>(&dialog, iId)->isChecked()) << iId;
    EXPECT_TRUE(Child<QLineEdit>(&dialog, 1047)->isEnabled());
    EXPECT_EQ(Child<QLineEdit>(&dialog, 1047)->text().toStdString(), "1400000");
    EXPECT_EQ(Child<QLineEdit>(&dialog, 1049)->text().toStdString(), "vexgui.log");
    EXPECT_TRUE(Child<QRadioButton>(&dialog, 1046)->isChecked());
}

TEST_F(TraceDlgTest, GuiTraceRestartsAtOnceAndALevelChangeIsWrittenAlone) {
    m_root.EnableTrace(eExeGui);
    TraceInit(eExeGui, ".bak");
    TraceErr("(TraceDlgTest)first file");
    {
        CTraceDlg dialog;
        dialog.show();
        // Tracing: only the on setting may change.
        Child<QRadioButton>(&dialog, 1030)->click();
        Ok(&dialog);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    // The GUI's trace restarted and, off now, writes nothing more.
    TraceErr("(TraceDlgTest)not written");
    const std::string csFirst = vextest::ReadFile(m_root.WorkDir() + "vexgui.log");
    EXPECT_NE(csFirst.find("first file"), std::string::npos);
    EXPECT_EQ(csFirst.find("not written"), std::string::npos);
    EXPECT_EQ(Stored("GUI trace on"), 0u);
    {
        CTraceDlg dialog;
        dialog.show();
        Child<QCheckBox>(&dialog, 1038)->click(); // "Log" off
        Type(Child<QLineEdit>(&dialog, 1049), "VEXGUI.Log");
        Ok(&dialog);
    }
    EXPECT_EQ(Stored("GUI trace level"), 0x3Fu);
    EXPECT_EQ(CVexData().GetTraceFile(eExeGui), "vexgui.log");
    {
        CTraceDlg dialog;
        dialog.show();
        Child<QRadioButton>(&dialog, 1031)->click();
        Ok(&dialog);
    }
    // On again: the old file moved aside and a new one is written.
    TraceErr("(TraceDlgTest)second file");
    EXPECT_NE(vextest::ReadFile(m_root.WorkDir() + "vexgui.log.prev").find("first file"),
              std::string::npos);
    EXPECT_NE(vextest::ReadFile(m_root.WorkDir() + "vexgui.log").find("second file"),
              std::string::npos);
    EXPECT_TRUE(m_prompter.Shown().empty());
}

TEST_F(TraceDlgTest, WrapSizeMustBeAWholeNumber) {
    CTraceDlg dialog;
    dialog.show();
    Type(Child<QLineEdit>(&dialog, 1044), "12k");
    Child<QRadioButton>(&dialog, 1022)->click();
    Ok(&dialog);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(m_prompter.Shown(), std::vector<uint32_t>{61713});
    EXPECT_EQ(m_prompter.Messages()[0].csText, "Please enter an integer between 0 and 2147483647.");
    EXPECT_EQ(Stored("Service trace on"), 0xDEADu);
    Type(Child<QLineEdit>(&dialog, 1044), "-1");
    Ok(&dialog);
    EXPECT_TRUE(dialog.isVisible());
    Type(Child<QLineEdit>(&dialog, 1044), "5000");
    Ok(&dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Stored("Service trace wrap size"), 5000u);
    EXPECT_EQ(Stored("Service trace on"), 1u);
    // No service is installed: the restart's failure is only traced.
}

namespace {
// The trace dialog of an administrator who is not root: switches the
// service's trace off. Exit code 0 when the setting was written.
VEX_TEST_HELPER(trace_dialog_as_user) {
    vexguitest::COffscreenApplication application;
    CScriptedPrompter prompter;
    CTraceDlg dialog;
    dialog.show();
    auto* pOff = dialog.findChild<QRadioButton*>("radio1021");
    if (!pOff || !pOff->isEnabled())
        return 1;
    pOff->click();
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    if (dialog.isVisible() || !prompter.Shown().empty())
        return 2;
    return CVexData().GetTraceOn(eExeService) ? 3 : 0;
}

// A real vexsrv run by the service manager with its trace on, inside a network
// namespace of the test's own (vexsrv listens for printers).
class TraceDlgServiceTest : public TraceDlgTest {
protected:
    void SetUp() override {
        TraceDlgTest::SetUp();
        std::string csOutput;
        ASSERT_TRUE(vextest::EnterPrivateNetwork(&csOutput)) << csOutput;
        ::setenv("VEX_DELAY_PERCENT", "25", 1);
        m_root.EnableTrace(eExeService);
        ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-install"}, &csOutput), 0);
        ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("vexsrv"), {"-start"}, &csOutput), 0);
        ASSERT_NE(csOutput.find("successfully started"), std::string::npos) << csOutput;
        ASSERT_TRUE(vextest::WaitFor([&] {
            return ServiceTrace().find("Entry (CMainThread::Start)") != std::string::npos;
        }));
    }
    void TearDown() override {
        ::unsetenv("VEX_DELAY_PERCENT");
        TraceDlgTest::TearDown();
    }
    std::string ServiceTrace(const std::string& csEnding = "") const {
        return vextest::ReadFile(m_root.WorkDir() + "vexsrv.log" + csEnding);
    }
};
} // namespace

TEST_F(TraceDlgServiceTest, SwitchingTheServiceTraceRestartsItThroughControl130) {
    {
        CTraceDlg dialog;
        dialog.show();
        // Another program changes a setting meanwhile: the dialog leaves it be.
        CVexData().SetTraceWrapSize(eExeService, 777777);
        Child<QRadioButton>(&dialog, 1021)->click();
        Ok(&dialog);
    }
    EXPECT_EQ(Stored("Service trace on"), 0u);
    EXPECT_EQ(Stored("Service trace wrap size"), 777777u);
    // The service got the control and closed its trace: the handler's exit
    // line is not written any more.
    EXPECT_TRUE(vextest::WaitFor(
        [&] { return ServiceTrace().find("Entry (vex_ctrl)") != std::string::npos; }));
    EXPECT_EQ(ServiceTrace().find("Exit  (vex_ctrl)"), std::string::npos);
    EXPECT_FALSE(Exists("vexsrv.log.prev"));
    {
        CTraceDlg dialog;
        dialog.show();
        Child<QRadioButton>(&dialog, 1022)->click();
        Ok(&dialog);
    }
    // On again: the old file moved aside, and the new one begins in the handler.
    EXPECT_TRUE(vextest::WaitFor(
        [&] { return ServiceTrace().find("Exit  (vex_ctrl)") != std::string::npos; }));
    EXPECT_NE(ServiceTrace(".prev").find("Entry (CMainThread::Start)"), std::string::npos);
    EXPECT_EQ(ServiceTrace().find("Entry (CMainThread::Start)"), std::string::npos);
    EXPECT_TRUE(m_prompter.Shown().empty());
}

TEST_F(TraceDlgServiceTest, AnAdministratorWhoIsNotRootRestartsTheServiceTrace) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "other users are played through setpriv, which needs root";
    EXPECT_EQ(vextest::RunHelperAs(vextest::Identity::Administrator, "trace_dialog_as_user"), 0);
    EXPECT_TRUE(vextest::WaitFor(
        [&] { return ServiceTrace().find("Entry (vex_ctrl)") != std::string::npos; }));
}
