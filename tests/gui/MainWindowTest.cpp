// The main window and its printer list: filter, texts, sorting, columns,
// selection, settings, the reconciliation tick, state overlays, tool tips,
// the status bar's word on the service and the readme.
#include "DemoMachine.h"
#include "GuiTestSupport.h"
#include "TestService.h"
#include "common/VexData.h"
#include "gui/app/QtStrings.h"
#include "gui/app/ReadmeDlg.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/columns/ColumnSelectionDlg.h"
#include "gui/core/ColumnData.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/PrinterView.h"
#include "gui/printerlist/StateIcons.h"
#include "platform/spooler.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <gtest/gtest.h>
#include <set>

using vexguitest::CGuiRoot;
using vexguitest::CScriptedPrompter;
using vexguitest::MakePrinter;
using vexguitest::WaitForUi;

namespace {
class MainWindowTest : public ::testing::Test {
protected:
    // Lays the printers and opens the main window on them.
    void Open(const std::vector<CPrinter>& printers) {
        m_root.WriteList(printers);
        m_app.ColumnData().GetInformation();
        ASSERT_TRUE(m_app.ProcessShellCommand());
        m_pFrame = m_app.Frame();
        m_pFrame->ReconcileTimer()->stop(); // ticks are driven by the tests
        m_pFrame->show();
        m_pView = m_pFrame->View();
    }
    std::vector<std::string> Column(int iDisplayIndex) const {
        std::vector<std::string> texts;
        for (int i = 0; i < m_pView->RowCount(); ++i)
            texts.push_back(m_pView->Model()
                                ->data(m_pView->Model()->index(i, iDisplayIndex))
                                .toString()
                                .toStdString());
        return texts;
    }

    CGuiRoot m_root;
    CVexApp m_app;
    CVexFrame* m_pFrame = nullptr;
    CPrinterView* m_pView = nullptr;
};

std::vector<CPrinter> MixedPrinters() {
    return {MakePrinter("u1", "10.0.0.10", eVexWaiting, "b-host"),
            MakePrinter("u2", "10.0.0.9", eVexIgnore, "A-host"),
            MakePrinter("u3", "10.0.0.100", eVexAddError, "c-host"),
            MakePrinter("u4", "9.1.1.1", eVexUnsupported, "d-host"),
            MakePrinter("u5", "10.0.0.2", eVexWaiting, "e-host")};
}
} // namespace

TEST_F(MainWindowTest, FilterShowsTheStatesRowsAndIsSaved) {
    Open(MixedPrinters());
    EXPECT_EQ(m_pView->RowCount(), 5);
    EXPECT_EQ(m_pFrame->CountPane()->text().toStdString(), "Printers: 5");
    const struct {
        int iKind;
        int iRows;
        const char* pszHeading;
    } kCases[] = {{1, 2, "Awaiting user action"},      {2, 0, "Printer created"},
                  {3, 1, "Error creating printer"},    {4, 1, "Ignored by user"},
                  {5, 1, "Unsupported printer model"}, {0, 5, "All printers"}};
    for (const auto& c : kCases) {
        m_pFrame->Filter()->setCurrentIndex(c.iKind);
        m_pFrame->OnSelChangeLists(c.iKind);
        EXPECT_EQ(m_pView->RowCount(), c.iRows) << c.iKind;
        EXPECT_EQ(CVexData().GetViewList(), uint32_t(c.iKind));
        EXPECT_EQ(m_pFrame->CountPane()->text().toStdString(),
                  "Printers: " + std::to_string(c.iRows));
        const QString csPanel = m_pFrame->SidePanel()->toPlainText();
        EXPECT_TRUE(csPanel.startsWith(c.pszHeading)) << csPanel.toStdString();
        // The heading is bold, the body is not.
        QTextCursor cursor(m_pFrame->SidePanel()->document());
        cursor.setPosition(1);
        EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
        cursor.setPosition(int(strlen(c.pszHeading)) + 4);
        EXPECT_NE(cursor.charFormat().fontWeight(), QFont::Bold);
    }
}

TEST_F(MainWindowTest, SortsByEachColumnAndHeaderClicksFlipTheDirection) {
    Open(MixedPrinters());
    m_pFrame->OnViewStyle(CPrinterView::eStyleDetails);
    const CColumnData& columns = m_app.ColumnData();
    m_pView->SortPrinters(0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"9.1.1.1", "10.0.0.2", "10.0.0.9", "10.0.0.10",
                                                   "10.0.0.100"}));
    // A header click sorts descending, a second one ascending again.
    m_pView->OnColumnClick(0);
    EXPECT_EQ(Column(0).front(), "10.0.0.100");
    EXPECT_EQ(CVexData().GetSortColumn(), eColumnIpAddress);
    m_pView->OnColumnClick(0);
    EXPECT_EQ(Column(0).front(), "9.1.1.1");
    for (int i = 1; i < columns.GetShownCount(); ++i) {
        m_pView->SortPrinters(i);
        std::vector<std::string> texts = Column(i);
        const bool bAscending = columns.GetColumnSortAscending(i);
        for (size_t k = 1; k < texts.size(); ++k) {
            QString a = QString::fromStdString(texts[k - 1]);
            QString b = QString::fromStdString(texts[k]);
            const int c = a.compare(b, Qt::CaseInsensitive);
            EXPECT_TRUE(bAscending ? c <= 0 : c >= 0)
                << i << ": " << texts[k - 1] << " / " << texts[k];
        }
    }
    // The sort column survives a refresh.
    const int iHostIndex = columns.GetColumnIndex(eColumnDnsName);
    ASSERT_GE(iHostIndex, 0);
    m_pView->OnColumnClick(iHostIndex);
    m_pView->RefreshView();
    EXPECT_EQ(CVexData().GetSortColumn(), eColumnDnsName);
    const std::vector<std::string> hosts = Column(iHostIndex);
    EXPECT_TRUE(hosts.front() == "A-host" || hosts.front() == "e-host");
}

TEST_F(MainWindowTest, CustomizedColumnsAreStoredAndShown) {
    Open(MixedPrinters());
    m_pFrame->OnViewStyle(CPrinterView::eStyleDetails);
    const int iShownBefore = m_pView->Model()->columnCount();
    vexguitest::WhenModalOpens<CColumnSelectionDlg>(m_pView, [&](CColumnSelectionDlg* pDialog) {
        auto* pSelected = pDialog->findChild<QListWidget*>("selected");
        auto* pAvailable = pDialog->findChild<QListWidget*>("available");
        // Remove the first shown column, then add it again after the (new) first one.
        pSelected->setCurrentRow(0);
        const QString csMoved = pSelected->currentItem()->text();
        pDialog->findChild<QPushButton*>("remove")->click();
        EXPECT_EQ(pSelected->count(), iShownBefore - 2);
        EXPECT_FALSE(pDialog->findChild<QPushButton*>("up")->isEnabled());
        pSelected->setCurrentRow(0);
        EXPECT_FALSE(pDialog->findChild<QPushButton*>("first")->isEnabled());
        EXPECT_TRUE(pDialog->findChild<QPushButton*>("down")->isEnabled());
        pAvailable->setCurrentItem(pAvailable->findItems(csMoved, Qt::MatchExactly).value(0));
        pDialog->findChild<QPushButton*>("add")->click();
        EXPECT_EQ(pSelected->item(1)->text(), csMoved);
        EXPECT_EQ(pSelected->currentRow(), 1);
        pDialog->findChild<QPushButton*>("last")->click();
        EXPECT_EQ(pSelected->item(pSelected->count() - 1)->text(), csMoved);
        // UUID is hidden by default: show it.
        pAvailable->setCurrentItem(pAvailable->findItems("UUID", Qt::MatchExactly).value(0));
        pSelected->setCurrentRow(-1);
        pDialog->findChild<QPushButton*>("add")->click();
        pDialog->accept();
    });
    m_pView->OnViewColumns();
    EXPECT_EQ(m_pView->Model()->columnCount(), iShownBefore + 1);
    const int iUuid = m_app.ColumnData().GetColumnIndex(eColumnUuid);
    EXPECT_EQ(iUuid, iShownBefore);
    EXPECT_EQ(CVexData().GetColumnPosition(eColumnUuid), iShownBefore);
    EXPECT_EQ(m_pView->Model()->headerData(iUuid, Qt::Horizontal).toString().toStdString(), "UUID");
    EXPECT_FALSE(m_pView->Flags().m_bHoldKplUpdates);
}

TEST_F(MainWindowTest, HidingEveryColumnButTheFirstLeavesOneColumnSortedByIt) {
    CVexData data;
    for (int iId = 2; iId <= 7; ++iId)
        data.SetColumnPosition(eColumn(iId), -1);
    data.SetSortColumn(eColumnModel);
    Open(MixedPrinters());
    EXPECT_EQ(m_pView->Model()->columnCount(), 1);
    EXPECT_EQ(Column(0).front(), "9.1.1.1");
}

TEST_F(MainWindowTest, SelectionSurvivesRefreshAndContextMenuFollowsIt) {
    Open(MixedPrinters());
    m_pView->SelectUuid("u3", true);
    m_pView->SelectUuid("u5", false);
    m_pView->RefreshView();
    EXPECT_EQ(m_pView->SelectedUuids(), (std::vector<std::string>{"u5", "u3"}));

    m_pView->ShowContextMenu(QPoint(10, 10));
    ASSERT_TRUE(WaitForUi([] { return QApplication::activePopupWidget() != nullptr; }));
    auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(pMenu, nullptr);
    EXPECT_EQ(pMenu->title().toStdString(), "&Printer");
    pMenu->close();
    m_pView->SelectUuid("none", true);
    m_pView->ShowContextMenu(QPoint(10, 10));
    ASSERT_TRUE(WaitForUi([] { return QApplication::activePopupWidget() != nullptr; }));
    pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    EXPECT_EQ(pMenu->title().toStdString(), "&Application");
    pMenu->close();
}

TEST_F(MainWindowTest, SettingsAreRestoredAndSaved) {
    CVexData data;
    data.SetWindowRect(SWindowRect{100, 100, 700, 500});
    data.SetViewStyle(CPrinterView::eStyleDetails);
    data.SetViewList(1);
    data.SetShowToolbar(false);
    Open(MixedPrinters());
    EXPECT_EQ(m_pFrame->normalGeometry(), QRect(100, 100, 600, 400));
    EXPECT_EQ(m_pView->ViewStyle(), CPrinterView::eStyleDetails);
    EXPECT_EQ(m_pFrame->Filter()->currentIndex(), 1);
    EXPECT_EQ(m_pView->RowCount(), 2);
    EXPECT_FALSE(m_pFrame->ToolBar()->isVisible());
    m_pFrame->Action(59392)->trigger();
    EXPECT_TRUE(data.GetShowToolbar());
    m_pFrame->Action(59409)->trigger();
    EXPECT_EQ(data.GetViewStyle(), uint32_t(CPrinterView::eStyleIcons));
    m_pFrame->Action(59411)->trigger();
    auto* pTable = m_pView->findChild<QTreeView*>("detailsView");
    pTable->setColumnWidth(0, 177);
    m_pFrame->setGeometry(120, 130, 640, 420);
    m_pFrame->close();
    EXPECT_EQ(data.GetColumnWidth(eColumnIpAddress), 177);
    const SWindowRect rect = data.GetWindowRect();
    EXPECT_EQ(rect.left, 120);
    EXPECT_EQ(rect.top, 130);
    EXPECT_EQ(rect.right, 760);
    EXPECT_EQ(rect.bottom, 550);
}

TEST_F(MainWindowTest, DeletedQueueMovesItsPrinterBackWithinATick) {
    std::vector<CPrinter> printers = guidemo::MakePrinters(3); // the second is "created"
    ASSERT_EQ(printers[1].m_VexState, eVexAdded);
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues(printers, &csError)) << csError;
    CVexData().SetViewList(2); // "Printer created"
    Open(printers);
    std::vector<CPrinter> sent;
    m_pView->SetUpdateIconsSender([&](const CPrinter& printer) {
        sent.push_back(printer);
        return CPrinterView::eUpdateDone;
    });
    const int iCreated = m_pView->RowCount();
    ASSERT_GE(iCreated, 2);
    m_pView->ReconcileTick();
    EXPECT_TRUE(sent.empty()); // every queue is there

    platform::HPRINTER hPrinter = nullptr;
    platform::PRINTER_DEFAULTS all{nullptr, nullptr, platform::PRINTER_ALL_ACCESS};
    ASSERT_TRUE(platform::OpenPrinter(printers[1].m_csIconName, &hPrinter, &all));
    ASSERT_TRUE(platform::DeletePrinter(hPrinter));
    platform::ClosePrinter(hPrinter);
    const std::string csListBefore = vextest::ReadFile(m_root.KplPath());
    m_pView->ReconcileTick();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].m_csUUID, printers[1].m_csUUID);
    EXPECT_EQ(sent[0].m_csIconName, "");
    EXPECT_EQ(sent[0].m_VexState, eVexWaiting);
    EXPECT_EQ(m_pView->RowCount(), iCreated - 1);
    // The correction goes to the service; the list file is not written here.
    EXPECT_EQ(vextest::ReadFile(m_root.KplPath()), csListBefore);
    m_pView->ReconcileTick();
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(MainWindowTest, StoppedSpoolerChangesNoPrinter) {
    std::vector<CPrinter> printers = guidemo::MakePrinters(3);
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues(printers, &csError)) << csError;
    Open(printers);
    int iSent = 0;
    m_pView->SetUpdateIconsSender([&](const CPrinter&) {
        ++iSent;
        return CPrinterView::eUpdateDone;
    });
    ASSERT_TRUE(vextest::StopSpoolerService());
    m_pView->ReconcileTick();
    EXPECT_EQ(iSent, 0);
}

TEST_F(MainWindowTest, EachStateHasItsOverlayAndEachRowATooltip) {
    CPrinter cantPrint = MakePrinter("u6", "10.0.0.6", eVexAdded);
    cantPrint.m_uiPrtConfig1Var = 0x40000000; // one of the two bits: no printing here
    CPrinter created = MakePrinter("u7", "10.0.0.7", eVexAdded, "g-host", "Laser 1332");
    created.m_csIconName = "Front, Back";
    std::vector<CPrinter> printers = MixedPrinters();
    printers.push_back(cantPrint);
    printers.push_back(created);
    CVexData().SetViewList(0); // all printers
    Open(printers);
    const struct {
        const char* pszUUID;
        EStateOverlay eOverlay;
    } kCases[] = {{"u1", EStateOverlay::Awaiting},  {"u2", EStateOverlay::Ignored},
                  {"u3", EStateOverlay::Error},     {"u4", EStateOverlay::Unsupported},
                  {"u6", EStateOverlay::CantPrint}, {"u7", EStateOverlay::Created}};
    std::vector<QImage> images;
    for (const auto& c : kCases) {
        const int iRow = m_pView->Model()->RowOfUuid(c.pszUUID);
        ASSERT_GE(iRow, 0) << c.pszUUID;
        EXPECT_EQ(OverlayFor(m_pView->Model()->PrinterAt(iRow)), c.eOverlay) << c.pszUUID;
        // The row's icon (both views use it) carries the overlay's badge.
        const QIcon icon = m_pView->Model()
                               ->data(m_pView->Model()->index(iRow, 0), Qt::DecorationRole)
                               .value<QIcon>();
        const QImage image = icon.pixmap(32, 32).toImage();
        EXPECT_NE(image, StateIcon(EStateOverlay::None).pixmap(32, 32).toImage()) << c.pszUUID;
        images.push_back(image);
    }
    // One look per state.
    for (size_t i = 0; i < images.size(); ++i)
        for (size_t j = i + 1; j < images.size(); ++j)
            EXPECT_NE(images[i], images[j]) << i << " " << j;

    const int iRow = m_pView->Model()->RowOfUuid("u7");
    const QString csTip =
        m_pView->Model()->data(m_pView->Model()->index(iRow, 2), Qt::ToolTipRole).toString();
    EXPECT_EQ(csTip.toStdString(),
              "State: Printer created\nPrinter model: Laser 1332\nPrinter name(s): Front, Back");
}

TEST_F(MainWindowTest, TheLastColumnStretchesAndACutCellShowsItsText) {
    const std::string csModel = "Laser 1332 with a model name no column shows whole";
    Open({MakePrinter("u1", "10.0.0.1", eVexWaiting, "host", csModel)});
    m_pFrame->OnViewStyle(CPrinterView::eStyleDetails);
    auto* pTable = m_pFrame->findChild<QTreeView*>("detailsView");
    const int iLast = m_pView->Model()->columnCount() - 1;
    m_pFrame->resize(1200, 500);
    ASSERT_TRUE(WaitForUi([&] {
        return pTable->header()->sectionViewportPosition(iLast) +
                   pTable->header()->sectionSize(iLast) ==
               pTable->viewport()->width();
    }));

    const int iModel = m_app.ColumnData().GetColumnIndex(eColumnModel);
    ASSERT_GT(iModel, 0);
    ASSERT_LT(iModel, iLast);
    pTable->setColumnWidth(iModel, 40);
    const QModelIndex model = m_pView->Model()->index(0, iModel);
    EXPECT_TRUE(m_pView->CellCutOff(model));
    EXPECT_EQ(m_pView->ToolTipFor(model).toStdString(), csModel);
    pTable->setColumnWidth(iModel, 700);
    EXPECT_FALSE(m_pView->CellCutOff(model));
    EXPECT_TRUE(m_pView->ToolTipFor(model).startsWith("State: Awaiting user action"));
}

TEST_F(MainWindowTest, TheSidePanelCanBeNarrowedOrClosed) {
    Open(MixedPrinters());
    QSplitter* pSplitter = m_pFrame->Splitter();
    ASSERT_NE(pSplitter, nullptr);
    // Narrowed as far as the panel goes.
    pSplitter->setSizes({20, 840});
    EXPECT_LT(pSplitter->sizes()[0], 100);
    pSplitter->setSizes({0, 860});
    EXPECT_EQ(pSplitter->sizes()[0], 0);
    EXPECT_GT(pSplitter->sizes()[1], 0);
}

TEST_F(MainWindowTest, TheStatusBarTellsTheServicesStateAndDropsFlyByText) {
    Open(MixedPrinters());
    // No service is installed in this root.
    EXPECT_EQ(m_pFrame->StatusPane()->text(), VexQString(5098));
    m_pFrame->statusBar()->showMessage("Discovers printers that Ambrel can work with");
    m_pView->RefreshView();
    EXPECT_TRUE(m_pFrame->statusBar()->currentMessage().isEmpty());
    EXPECT_EQ(m_pFrame->StatusPane()->text(), VexQString(5098));
    ASSERT_TRUE(vextest::StopSpoolerService());
    m_pFrame->statusBar()->showMessage("fly-by");
    ASSERT_TRUE(WaitForUi([this] { return m_pFrame->StatusPane()->text() == VexQString(5099); }));
    EXPECT_TRUE(m_pFrame->statusBar()->currentMessage().isEmpty());
}

TEST_F(MainWindowTest, ReadmeIsShownOrItsFailureSaid) {
    Open(MixedPrinters());
    CScriptedPrompter prompter;
    CVexData data;
    const std::string csPath = data.GetWorkingDir() + data.GetReadmeFile();
    m_app.OnAppReadme();
    ASSERT_EQ(prompter.Shown(), std::vector<uint32_t>{5102});
    EXPECT_NE(prompter.Messages()[0].csText.find(csPath), std::string::npos);
    EXPECT_EQ(m_app.Readme(), nullptr);

    vextest::WriteFile(csPath, "Zantor Ambrel readme\nline two\n");
    m_app.OnAppReadme();
    EXPECT_EQ(prompter.Shown().size(), 1u);
    ASSERT_NE(m_app.Readme(), nullptr);
    EXPECT_TRUE(m_app.Readme()->isVisible());
    EXPECT_EQ(m_app.Readme()->Text()->toPlainText(), "Zantor Ambrel readme\nline two\n");
    m_app.Readme()->close();
    EXPECT_TRUE(WaitForUi([this] { return m_app.Readme() == nullptr; }));
}
