// The settings and default-values notebooks: each tab reads its settings when
// first shown and writes only what the user changed; the TTL range, the
// missing drivers, the share rule and the separator page check.
#include "gui/settings/SettingsNotebook.h"
#include "GuiTestSupport.h"
#include "LiveService.h"
#include "common/VexData.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/printerdialogs/SepPageBrowseDlg.h"
#include "gui/settings/DefaultValuesNotebook.h"
#include "gui/settings/SettingsFields.h"
#include "gui/settings/TraceDlg.h"
#include "platform/os.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabWidget>
#include <filesystem>
#include <gtest/gtest.h>

using vexguitest::CScriptedPrompter;
using vexguitest::WaitForUi;

namespace {
// What a setting reads when nobody has written it.
constexpr uint32_t kUnset = 0xDEAD;

// Lays the drivers package's installer of a driver type.
void LayInstaller(eDriverType eType) {
    CVexData data;
    const std::filesystem::path path = data.GetDriverInstallerPathAndFilename(data.GetOs(), eType);
    std::filesystem::create_directories(path.parent_path());
    vextest::WriteFile(path.string(), "installer");
}

// Both notebooks used by an administrator who is not root: manual mode, a TTL
// of 7, new printers not shared. Exit code 0 when both closed with OK.
VEX_TEST_HELPER(notebooks_as_user) {
    vexguitest::COffscreenApplication application;
    CScriptedPrompter prompter;
    CSettingsNotebook settings;
    settings.show();
    settings.findChild<QRadioButton*>("radio1103")->click();
    settings.Tabs()->setCurrentIndex(1);
    QLineEdit* pTTL = settings.findChild<QLineEdit*>("edit1149");
    pTTL->selectAll();
    pTTL->insert("7");
    settings.accept();
    CDefaultValuesNotebook values;
    values.show();
    values.Tabs()->setCurrentIndex(1);
    values.findChild<QCheckBox*>("check1077")->click();
    values.accept();
    const bool bClosed = settings.result() == QDialog::Accepted &&
                         values.result() == QDialog::Accepted && !values.isVisible();
    return bClosed && prompter.Shown().empty() ? 0 : 1;
}

class NotebookTest : public ::testing::Test {
protected:
    void SetUp() override { m_root.SetUpWorkDir(); }

    static uint32_t Stored(const char* pszValue) {
        return CVexData().GetNumData(CVexData::kSettingsKey, pszValue, kUnset);
    }
    static std::string StoredText(const char* pszValue) {
        return CVexData().GetStringData(CVexData::kSettingsKey, pszValue, "(unset)");
    }
    template <typename T> static T* Child(QWidget* pParent, const char* pszName) {
        T* pChild = pParent->findChild<T*>(pszName);
        EXPECT_NE(pChild, nullptr) << pszName;
        return pChild;
    }
    // Replaces an edit's text as typing would.
    static void Type(QLineEdit* pEdit, const QString& csText) {
        pEdit->selectAll();
        pEdit->insert(csText);
    }
    static void Press(QDialog* pDialog, QDialogButtonBox::StandardButton eButton) {
        pDialog->findChild<QDialogButtonBox*>()->button(eButton)->click();
    }

    vextest::TempRoot m_root;
    CScriptedPrompter m_prompter;
};
} // namespace

TEST(SettingsFieldsTest, WholeNumbersWithinTheirRange) {
    EXPECT_EQ(ParseWholeNumber("0", kMinTTL, kMaxTTL), 0);
    EXPECT_EQ(ParseWholeNumber("250", kMinTTL, kMaxTTL), 250);
    EXPECT_EQ(ParseWholeNumber(" +7 ", kMinTTL, kMaxTTL), 7);
    EXPECT_EQ(ParseWholeNumber("1400000", kMinWrapSize, kMaxWrapSize), 1400000);
    EXPECT_EQ(ParseWholeNumber("2147483647", kMinWrapSize, kMaxWrapSize), 2147483647);
    for (const char* pszBad : {"251", "-1", "", " ", "1a", "0x10", "1 2", "-", "3.5"})
        EXPECT_FALSE(ParseWholeNumber(pszBad, kMinTTL, kMaxTTL)) << pszBad;
    EXPECT_FALSE(ParseWholeNumber("2147483648", kMinWrapSize, kMaxWrapSize));
    EXPECT_FALSE(ParseWholeNumber("-5", kMinWrapSize, kMaxWrapSize));
    EXPECT_FALSE(ParseWholeNumber("99999999999999999999999", kMinWrapSize, kMaxWrapSize));
}

TEST_F(NotebookTest, ModeWrittenOnlyWhenTheFinalChoiceDiffers) {
    CSettingsNotebook notebook;
    notebook.show();
    EXPECT_EQ(notebook.windowTitle().toStdString(), "Vex Settings");
    ASSERT_TRUE(Child<QRadioButton>(&notebook, "radio1054")->isChecked()); // prompt by default
    Child<QRadioButton>(&notebook, "radio1053")->click();
    Child<QRadioButton>(&notebook, "radio1054")->click();
    EXPECT_TRUE(notebook.ApplyButton()->isEnabled());
    ASSERT_TRUE(notebook.ApplyNow());
    EXPECT_EQ(Stored("Op Mode"), kUnset);
    EXPECT_FALSE(notebook.ApplyButton()->isEnabled());

    Child<QRadioButton>(&notebook, "radio1103")->click();
    notebook.ApplyButton()->click();
    EXPECT_EQ(Stored("Op Mode"), uint32_t(eModeManual));
    EXPECT_TRUE(notebook.isVisible());
    // Another program sets the mode meanwhile: an unchanged tab leaves it be.
    CVexData().SetOpMode(eModeAutomatic);
    Press(&notebook, QDialogButtonBox::Ok);
    EXPECT_EQ(notebook.result(), QDialog::Accepted);
    EXPECT_EQ(Stored("Op Mode"), uint32_t(eModeAutomatic));
    // The Discovery tab was never shown: its setting was not touched.
    EXPECT_EQ(Stored("TTL"), kUnset);
    EXPECT_TRUE(m_prompter.Shown().empty());
}

TEST_F(NotebookTest, TtlOutOfRangeKeepsTheNotebookOpenOnDiscovery) {
    CVexData().SetTTL(9);
    CSettingsNotebook notebook;
    notebook.show();
    notebook.Tabs()->setCurrentIndex(1);
    auto* pTTL = Child<QLineEdit>(&notebook, "edit1149");
    EXPECT_EQ(pTTL->text().toStdString(), "9");
    EXPECT_EQ(pTTL->maxLength(), 3);
    Type(pTTL, "251");
    Press(&notebook, QDialogButtonBox::Ok);
    EXPECT_TRUE(notebook.isVisible());
    ASSERT_EQ(m_prompter.Shown(), std::vector<uint32_t>{61713});
    EXPECT_EQ(m_prompter.Messages()[0].csText, "Please enter an integer between 0 and 250.");
    // Nor may the user leave the tab with it.
    notebook.Tabs()->setCurrentIndex(0);
    EXPECT_EQ(notebook.Tabs()->currentIndex(), 1);
    EXPECT_EQ(m_prompter.Shown().size(), 2u);
    Type(pTTL, "x");
    EXPECT_FALSE(notebook.ApplyNow());
    EXPECT_EQ(CVexData().GetTTL(), 9u);

    Type(pTTL, "0");
    Press(&notebook, QDialogButtonBox::Ok);
    EXPECT_EQ(notebook.result(), QDialog::Accepted);
    EXPECT_EQ(Stored("TTL"), 0u);
    EXPECT_EQ(Stored("Op Mode"), kUnset);
}

TEST_F(NotebookTest, CancelWritesNothing) {
    CSettingsNotebook notebook;
    notebook.show();
    Child<QRadioButton>(&notebook, "radio1053")->click();
    notebook.Tabs()->setCurrentIndex(1);
    Type(Child<QLineEdit>(&notebook, "edit1149"), "12");
    Press(&notebook, QDialogButtonBox::Cancel);
    EXPECT_EQ(notebook.result(), QDialog::Rejected);
    EXPECT_EQ(Stored("Op Mode"), kUnset);
    EXPECT_EQ(Stored("TTL"), kUnset);
}

TEST_F(NotebookTest, AnAdministratorWhoIsNotRootChangesTheSettings) {
    if (!vextest::RunningAsRoot())
        GTEST_SKIP() << "other users are played through setpriv, which needs root";
    LayInstaller(eDriverPcl6);
    CVexData().GetOpMode(); // the key tree exists, as after any start
    EXPECT_EQ(vextest::RunHelperAs(vextest::Identity::Administrator, "notebooks_as_user"), 0);
    EXPECT_EQ(Stored("Op Mode"), uint32_t(eModeManual));
    EXPECT_EQ(Stored("TTL"), 7u);
    EXPECT_EQ(Stored("Share"), 0u);
    EXPECT_EQ(Stored("Publish"), 0u);
    EXPECT_EQ(Stored("Additional"), kUnset);
}

TEST_F(NotebookTest, DriverTabOffersTheInstalledTypesOnly) {
    LayInstaller(eDriverPcl5);
    LayInstaller(eDriverPostScript);
    CDefaultValuesNotebook notebook;
    notebook.show();
    EXPECT_EQ(notebook.windowTitle().toStdString(), "Default Values");
    EXPECT_FALSE(Child<QRadioButton>(&notebook, "radio1105")->isVisible());
    // The stored PCL 6 is not installed: the first installed type stands for it.
    EXPECT_TRUE(Child<QRadioButton>(&notebook, "radio1106")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&notebook, "radio1136")->isChecked());
    Press(&notebook, QDialogButtonBox::Ok);
    EXPECT_EQ(Stored("Driver Type"), kUnset);

    CDefaultValuesNotebook again;
    again.show();
    Child<QRadioButton>(&again, "radio1107")->click();
    Child<QRadioButton>(&again, "radio1137")->click();
    Press(&again, QDialogButtonBox::Ok);
    EXPECT_EQ(Stored("Driver Type"), uint32_t(eDriverPostScript));
    EXPECT_EQ(Stored("Use existing driver"), uint32_t(eUseExistingReplace));
    EXPECT_TRUE(m_prompter.Shown().empty());
}

TEST_F(NotebookTest, NoDriverTypeInstalledShows5040AndCancels) {
    CDefaultValuesNotebook notebook;
    notebook.show();
    ASSERT_TRUE(WaitForUi([&] { return !notebook.isVisible(); }));
    EXPECT_EQ(notebook.result(), QDialog::Rejected);
    ASSERT_EQ(m_prompter.Shown(), std::vector<uint32_t>{5040});
    EXPECT_EQ(m_prompter.Messages()[0].eIcon, EMsgIcon::Stop);
}

TEST_F(NotebookTest, SharingOffClearsPublishAndOnlyChangedFlagsAreWritten) {
    LayInstaller(eDriverPcl6);
    CDefaultValuesNotebook notebook;
    notebook.show();
    notebook.Tabs()->setCurrentIndex(1);
    auto* pShare = Child<QCheckBox>(&notebook, "check1077");
    auto* pPublish = Child<QCheckBox>(&notebook, "check1078");
    ASSERT_TRUE(pShare->isChecked());
    ASSERT_TRUE(pPublish->isChecked() && pPublish->isEnabled());
    pShare->click();
    EXPECT_FALSE(pPublish->isChecked());
    EXPECT_FALSE(pPublish->isEnabled());
    pShare->click();
    EXPECT_TRUE(pPublish->isEnabled());
    EXPECT_FALSE(pPublish->isChecked());
    // Another program changes a flag the user leaves alone.
    CVexData().SetInstallAdditionalDrivers(false);
    Press(&notebook, QDialogButtonBox::Ok);
    EXPECT_EQ(Stored("Share"), kUnset);
    EXPECT_EQ(Stored("Publish"), 0u);
    EXPECT_EQ(Stored("Additional"), 0u);
}

TEST_F(NotebookTest, SharingStartsWithThePublishRuleAndHidesPublishOnNt4) {
    LayInstaller(eDriverPcl6);
    CVexData().SetSharePrinter(false);
    {
        CDefaultValuesNotebook notebook;
        notebook.show();
        notebook.Tabs()->setCurrentIndex(1);
        auto* pPublish = Child<QCheckBox>(&notebook, "check1078");
        EXPECT_FALSE(pPublish->isEnabled());
        EXPECT_FALSE(pPublish->isChecked());
        EXPECT_TRUE(pPublish->isVisible());
        // Clicking the other boxes marks the tab; the shown state is written.
        Child<QCheckBox>(&notebook, "check1109")->click();
        Press(&notebook, QDialogButtonBox::Ok);
        EXPECT_EQ(Stored("Additional"), 0u);
        EXPECT_EQ(Stored("Publish"), 0u);
    }
    ASSERT_TRUE(platform::SetEmulatedVersion(4, 0));
    CDefaultValuesNotebook notebook;
    notebook.show();
    notebook.Tabs()->setCurrentIndex(1);
    EXPECT_FALSE(Child<QCheckBox>(&notebook, "check1078")->isVisible());
}

TEST_F(NotebookTest, SeparatorPageIsCheckedAndEmptyMeansNone) {
    LayInstaller(eDriverPcl6);
    CDefaultValuesNotebook notebook;
    notebook.show();
    notebook.Tabs()->setCurrentIndex(2);
    auto* pPage = Child<QLineEdit>(&notebook, "edit1112");
    EXPECT_TRUE(pPage->text().isEmpty()); // "<none>" by default
    Type(pPage, ".");
    Press(&notebook, QDialogButtonBox::Ok);
    EXPECT_TRUE(notebook.isVisible());
    EXPECT_EQ(notebook.Tabs()->currentIndex(), 2);
    ASSERT_EQ(m_prompter.Shown(), std::vector<uint32_t>{5044});
    EXPECT_EQ(m_prompter.Messages()[0].csText,
              "The separator page '.' is invalid. Re-enter a valid separator page.");
    EXPECT_EQ(m_prompter.Messages()[0].eIcon, EMsgIcon::Exclamation);
    Type(pPage, QString::fromStdString(m_root.WorkDir() + "missing.sep"));
    EXPECT_FALSE(notebook.ApplyNow());
    EXPECT_EQ(StoredText("Separator Page"), "(unset)");

    // A page of the system directory, through the chooser.
    const std::string csPage = platform::GetSystemDirectory() + "banner.sep";
    vextest::WriteFile(csPage, "banner");
    vexguitest::WhenModalOpens<CSepPageBrowseDlg>(&notebook, [&](CSepPageBrowseDlg* pChooser) {
        pChooser->selectFile(QString::fromStdString(csPage));
        static_cast<QDialog*>(pChooser)->accept();
    });
    Child<QPushButton>(&notebook, "button1111")->click();
    EXPECT_EQ(pPage->text().toStdString(), csPage);
    ASSERT_TRUE(notebook.ApplyNow());
    EXPECT_EQ(StoredText("Separator Page"), csPage);
    Type(pPage, "");
    Press(&notebook, QDialogButtonBox::Ok);
    EXPECT_EQ(notebook.result(), QDialog::Accepted);
    EXPECT_EQ(StoredText("Separator Page"), "<none>");
}

TEST(NotebookMenuTest, MenuEntriesAndTheHiddenKeyOpenTheDialogs) {
    vexguitest::CGuiRoot root;
    CScriptedPrompter prompter;
    LayInstaller(eDriverPcl6);
    CVexApp app;
    ASSERT_TRUE(app.ProcessShellCommand());
    CVexFrame* pFrame = app.Frame();
    pFrame->show();
    std::vector<std::string> opened;
    auto closeWhenOpen = [&]<typename TDialog>(const char* pszName) {
        vexguitest::WhenModalOpens<TDialog>(pFrame, [&, pszName](TDialog* pDialog) {
            opened.push_back(pszName);
            pDialog->reject();
        });
    };
    for (int iCommand : {32794, 32802})
        EXPECT_TRUE(pFrame->Action(iCommand)->isEnabled()) << iCommand;
    closeWhenOpen.operator()<CSettingsNotebook>("settings");
    pFrame->Action(32794)->trigger();
    closeWhenOpen.operator()<CDefaultValuesNotebook>("values");
    pFrame->Action(32802)->trigger();
    auto* pTrace = pFrame->findChild<QShortcut*>("command32792");
    ASSERT_NE(pTrace, nullptr);
    EXPECT_EQ(pTrace->key(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_T));
    closeWhenOpen.operator()<CTraceDlg>("trace");
    emit pTrace->activated();
    EXPECT_EQ(opened, (std::vector<std::string>{"settings", "values", "trace"}));
    EXPECT_TRUE(prompter.Shown().empty());
}

TEST(NotebookLiveTest, ModeChangedInTheNotebookIsTheRunningServicesNextDecision) {
    vextest::CLiveService service(eModeManual);
    ASSERT_TRUE(service.Ready()) << service.Error();
    ASSERT_TRUE(service.Start());
    // In manual mode a new printer is only listed.
    ASSERT_TRUE(service.StartPrinters(
        {"--first", "127.0.0.50", "--rounds", "1", "--uuid-prefix", "listed"}));
    const std::string csListed = "listed-000000000001";
    ASSERT_TRUE(
        vextest::WaitFor([&] { return service.ListedUuid(csListed).m_VexState == eVexWaiting; },
                         std::chrono::seconds(30)))
        << service.Complaints();

    CScriptedPrompter prompter;
    CSettingsNotebook notebook;
    notebook.show();
    ASSERT_TRUE(notebook.findChild<QRadioButton*>("radio1103")->isChecked());
    notebook.findChild<QRadioButton*>("radio1053")->click();
    notebook.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_EQ(notebook.result(), QDialog::Accepted);

    // The service reads the mode for its next new printer: now it creates one.
    ASSERT_TRUE(service.StartPrinters({"--first", "127.0.0.51", "--rounds", "1", "--uuid-prefix",
                                       "created", "--print-port", "9100"}));
    EXPECT_TRUE(vextest::WaitFor(
        [&] { return service.ListedUuid("created-000000000001").m_VexState == eVexAdded; },
        std::chrono::seconds(30)))
        << service.Complaints();
    EXPECT_EQ(service.ListedUuid(csListed).m_VexState, eVexWaiting);
    EXPECT_TRUE(prompter.Shown().empty());
}
