// The printer management dialog on the real spooler: its rows, the default
// printer's marker, the buttons' rules, removal with the default printer
// handed on, and Set as default.
#include "gui/printerdialogs/InfoItemDlg.h"
#include "DemoMachine.h"
#include "GuiTestSupport.h"
#include "common/TestPage.h"
#include "gui/core/ManagedQueues.h"
#include "gui/printerdialogs/ViewIconDlg.h"
#include "platform/error.h"
#include "platform/spooler.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using vexguitest::CGuiRoot;
using vexguitest::CScriptedPrompter;
using vexguitest::MakePrinter;

TEST(ManagedQueuesTest, MarkerAndButtonRules) {
    using namespace managedqueues;
    EXPECT_EQ(StripDefaultMarker("Front (default printer)"), "Front");
    // Only the last marker goes: a name may hold the text itself.
    EXPECT_EQ(StripDefaultMarker("A (default printer) (default printer)"), "A (default printer)");
    EXPECT_EQ(StripDefaultMarker("Plain"), "Plain");

    const struct {
        int iSelected;
        bool bDefault, bRemove, bModify, bSetDefault;
    } kCases[] = {{0, false, false, false, false},
                  {1, false, true, true, true},
                  {1, true, true, true, false},
                  {2, false, true, false, false}};
    for (const auto& c : kCases) {
        const SInfoButtons buttons = InfoButtons(c.iSelected, c.bDefault);
        EXPECT_EQ(buttons.bRemove, c.bRemove) << c.iSelected;
        EXPECT_EQ(buttons.bModify, c.bModify) << c.iSelected;
        EXPECT_EQ(buttons.bSetDefault, c.bSetDefault) << c.iSelected << c.bDefault;
    }
}

namespace {
class InfoItemDlgTest : public ::testing::Test {
protected:
    // Three queues print to the managed printer, one to another printer.
    void SetUp() override {
        m_managed = MakePrinter("u1", "10.0.0.2", eVexAdded);
        m_managed.m_csIconName = "Front, Back, Side";
        CPrinter other = MakePrinter("u2", "10.0.0.3", eVexAdded);
        other.m_csIconName = "Elsewhere";
        std::string csError;
        ASSERT_TRUE(guidemo::AddQueues({other, m_managed}, &csError)) << csError;
        m_pDialog = std::make_unique<CInfoItemDlg>(m_managed);
        m_pDialog->Timer()->stop(); // ticks are driven by the tests
        m_pDialog->show();
    }
    void TearDown() override { CInfoItemDlg::SetModifyDialog(nullptr); }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < m_pDialog->List()->topLevelItemCount(); ++i)
            rows.push_back(m_pDialog->List()->topLevelItem(i)->text(0).toStdString());
        return rows;
    }
    void Select(std::initializer_list<int> rows) {
        m_pDialog->List()->clearSelection();
        for (int iRow : rows)
            m_pDialog->List()->topLevelItem(iRow)->setSelected(true);
        m_pDialog->OnTimer();
    }
    bool Enabled(const char* pszButton) const {
        return m_pDialog->findChild<QPushButton*>(pszButton)->isEnabled();
    }
    static void Delete(const std::string& csQueue) {
        ASSERT_TRUE(managedqueues::DeleteQueue(csQueue)) << csQueue;
    }

    CGuiRoot m_root;
    CPrinter m_managed;
    std::unique_ptr<CInfoItemDlg> m_pDialog;
};
} // namespace

TEST_F(InfoItemDlgTest, RowsFollowTheSpoolerAndTheDefaultPrinter) {
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Front", "Back", "Side"}));
    ASSERT_TRUE(managedqueues::SetDefaultPrinter("Back"));
    m_pDialog->Refresh();
    Select({1});
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Front", "Back (default printer)", "Side"}));
    EXPECT_FALSE(Enabled("button1162"));
    // A queue made by hand on a port of the same address, another deleted.
    CPrinter byHand = m_managed;
    byHand.m_csIconName = "By hand";
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues({byHand}, &csError)) << csError;
    Delete("Front");
    // The dialog's own timer finds both.
    m_pDialog->Timer()->start();
    ASSERT_TRUE(
        vexguitest::WaitForUi([this] { return Rows().size() == 3 && Rows()[2] == "By hand"; }));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Back (default printer)", "Side", "By hand"}));
    // The selection stays on its printer.
    ASSERT_EQ(m_pDialog->List()->selectedItems().size(), 1);
    EXPECT_EQ(m_pDialog->List()->selectedItems()[0]->text(0).toStdString(),
              "Back (default printer)");
}

TEST_F(InfoItemDlgTest, ButtonsFollowTheSelection) {
    int iModified = 0;
    Select({});
    EXPECT_FALSE(Enabled("button1160"));
    EXPECT_FALSE(Enabled("button1161"));
    EXPECT_FALSE(Enabled("button1162"));
    Select({0, 2});
    EXPECT_TRUE(Enabled("button1160"));
    EXPECT_FALSE(Enabled("button1161"));
    EXPECT_FALSE(Enabled("button1162"));
    Select({2});
    EXPECT_TRUE(Enabled("button1162"));
    EXPECT_TRUE(Enabled("button1161"));
    CInfoItemDlg::SetModifyDialog(
        [&](const std::string& csQueue, const CPrinter& printer, QWidget*) {
            EXPECT_EQ(csQueue, "Side");
            EXPECT_EQ(printer.m_csUUID, "u1");
            ++iModified;
            return int(QDialog::Accepted);
        });
    m_pDialog->findChild<QPushButton*>("button1162")->click();
    EXPECT_EQ(managedqueues::DefaultPrinter(), "Side");
    std::string csDevice;
    platform::GetProfileString("windows", "device", ",,,", &csDevice, 256);
    EXPECT_EQ(csDevice.substr(0, csDevice.find(',')), "Side");
    EXPECT_EQ(std::count(csDevice.begin(), csDevice.end(), ','), 2) << csDevice;
    m_pDialog->OnTimer();
    EXPECT_FALSE(Enabled("button1162"));
    m_pDialog->findChild<QPushButton*>("button1161")->click();
    EXPECT_EQ(iModified, 1);
}

TEST_F(InfoItemDlgTest, RemovingTheDefaultPrinterHandsTheDefaultOn) {
    ASSERT_TRUE(managedqueues::SetDefaultPrinter("Back"));
    m_pDialog->OnTimer();
    CScriptedPrompter prompter({eAnswerNo});
    Select({1});
    m_pDialog->OnRemove();
    EXPECT_EQ(prompter.Shown(), std::vector<uint32_t>{151});
    EXPECT_EQ(Rows().size(), 3u);

    // Yes: the row before the removed one becomes the default.
    Select({1});
    m_pDialog->OnRemove();
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{151, 151, 129}));
    EXPECT_EQ(
        prompter.Messages()[2].csText,
        "Warning: The default printer has been deleted.\nThe new default printer is 'Front'.");
    EXPECT_EQ(prompter.Messages()[2].eIcon, EMsgIcon::Exclamation);
    EXPECT_EQ(managedqueues::DefaultPrinter(), "Front");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Front (default printer)", "Side"}));
    ASSERT_EQ(m_pDialog->List()->selectedItems().size(), 1);
    EXPECT_EQ(m_pDialog->List()->indexOfTopLevelItem(m_pDialog->List()->selectedItems()[0]), 0);

    // Removing a printer that is not the default leaves the default alone.
    Select({1});
    m_pDialog->OnRemove();
    EXPECT_EQ(prompter.Shown().size(), 4u);
    EXPECT_EQ(managedqueues::DefaultPrinter(), "Front");

    // The last row: the workstation's other printer takes over.
    Select({0});
    m_pDialog->OnRemove();
    EXPECT_EQ(prompter.Shown().back(), 129u);
    EXPECT_EQ(managedqueues::DefaultPrinter(), "Elsewhere");
    EXPECT_TRUE(Rows().empty());
}

TEST_F(InfoItemDlgTest, RemovingEveryPrinterOfTheWorkstationShows130) {
    Delete("Elsewhere");
    ASSERT_TRUE(managedqueues::SetDefaultPrinter("Side"));
    CScriptedPrompter prompter;
    Select({0, 1, 2});
    m_pDialog->OnRemove();
    EXPECT_EQ(prompter.Shown(), (std::vector<uint32_t>{152, 130}));
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(managedqueues::DefaultPrinter(), "");
    EXPECT_EQ(managedqueues::FirstLocalPrinter(), "");
}

TEST_F(InfoItemDlgTest, ModifyOpensThePropertiesOfTheSelectedQueue) {
    Select({1});
    bool bOpened = false;
    vexguitest::WhenModalOpens<CViewIconDlg>(m_pDialog.get(), [&](CViewIconDlg* pDialog) {
        bOpened = true;
        pDialog->reject();
    });
    m_pDialog->findChild<QPushButton*>("button1161")->click();
    EXPECT_TRUE(bOpened);
    EXPECT_EQ(Rows().size(), 3u);
}

TEST_F(InfoItemDlgTest, PrintTestPageRecordsAJobAndSaysSo) {
    QPushButton* pButton = m_pDialog->findChild<QPushButton*>("buttonTestPage");
    ASSERT_NE(pButton, nullptr);
    Select({0, 1});
    EXPECT_FALSE(pButton->isEnabled());
    Select({1});
    ASSERT_TRUE(pButton->isEnabled());
    pButton->click();
    const QString csResult = m_pDialog->findChild<QLabel*>("testPageResult")->text();
    EXPECT_TRUE(csResult.startsWith("The test page was sent to 'Back' (job "))
        << csResult.toStdString();

    // The spooler holds the job on the chosen queue only. The records' texts
    // point into the enumeration's buffer, so what is checked is copied out.
    struct SJob {
        std::string csDocument;
        uint32_t Status, Size, JobId;
    };
    auto jobsOf = [](const char* pszQueue) {
        platform::HPRINTER h = nullptr;
        EXPECT_TRUE(platform::OpenPrinter(pszQueue, &h, nullptr));
        uint32_t needed = 0, returned = 0;
        std::vector<uint64_t> storage(512);
        EXPECT_TRUE(platform::EnumJobs(h, 0, 10, 1, reinterpret_cast<uint8_t*>(storage.data()),
                                       4096, &needed, &returned))
            << platform::GetLastError();
        std::vector<SJob> jobs;
        auto* p = reinterpret_cast<const platform::JOB_INFO_1*>(storage.data());
        for (uint32_t i = 0; i < returned; ++i)
            jobs.push_back({p[i].pDocument, p[i].Status, p[i].Size, p[i].JobId});
        platform::ClosePrinter(h);
        return jobs;
    };
    const std::vector<SJob> jobs = jobsOf("Back");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].csDocument, CTestPage::kDocumentName);
    EXPECT_EQ(jobs[0].Status, platform::JOB_STATUS_PRINTED);
    EXPECT_GT(jobs[0].Size, 100u);
    EXPECT_TRUE(csResult.contains(QString("job %1)").arg(jobs[0].JobId)));
    EXPECT_TRUE(jobsOf("Front").empty());

    // A queue gone meanwhile: the failure is said in the dialog.
    Delete("Back");
    pButton->click();
    EXPECT_TRUE(m_pDialog->findChild<QLabel*>("testPageResult")
                    ->text()
                    .startsWith("The test page could not be sent to 'Back': "));
}

TEST_F(InfoItemDlgTest, ARenameThroughModifyKeepsTheDefaultAndNoNewQueueTakesIt) {
    ASSERT_TRUE(managedqueues::SetDefaultPrinter("Back"));
    Select({1});
    CScriptedPrompter prompter;
    vexguitest::WhenModalOpens<CViewIconDlg>(m_pDialog.get(), [](CViewIconDlg* pDialog) {
        auto* pName = pDialog->findChild<QLineEdit*>("iconName");
        pName->setText("Reception Laser");
        pDialog->findChild<QPushButton*>("ok")->click();
    });
    m_pDialog->findChild<QPushButton*>("button1161")->click();
    EXPECT_EQ(managedqueues::DefaultPrinter(), "Reception Laser");
    // The renamed queue comes as a new row, at the end.
    EXPECT_EQ(Rows(),
              (std::vector<std::string>{"Front", "Side", "Reception Laser (default printer)"}));

    // A new queue under the freed name is not the default.
    CPrinter again = m_managed;
    again.m_csIconName = "Back";
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues({again}, &csError)) << csError;
    EXPECT_EQ(managedqueues::DefaultPrinter(), "Reception Laser");
}
