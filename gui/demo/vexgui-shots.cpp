// vexgui-shots: starts vexgui as a user would (the real start-up, on a real X
// display such as Xvfb) and saves pictures of its windows:
//   vexgui-shots FOLDER
// main-icons.png, main-details.png, side-panel.png, customize-columns.png,
// sort-printers.png, discovery-progress.png, create-printer.png,
// modify-printer.png, separator-page.png, manage-printers.png (after "Print
// test page"), remove-confirmation.png, readme.png, state-menu.png,
// settings-*.png, values-*.png, trace-configuration.png, driver-update.png
// (with the download site of scripts/screenshots). Run by scripts/screenshots.
//   vexgui-shots --main FILE
// only the main window, for scripts/demo --gui without a display.
#include "common/VexData.h"
#include "gui/app/ReadmeDlg.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/columns/ColumnSelectionDlg.h"
#include "gui/columns/ColumnSortDlg.h"
#include "gui/core/ManagedQueues.h"
#include "gui/driverupdate/DriverUpdateDlg.h"
#include "gui/printerdialogs/AddIconDlg.h"
#include "gui/printerdialogs/InfoItemDlg.h"
#include "gui/printerdialogs/SepPageBrowseDlg.h"
#include "gui/printerdialogs/ViewIconDlg.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/PrinterView.h"
#include "gui/printerlist/ProcessingDlg.h"
#include "gui/settings/DefaultValuesNotebook.h"
#include "gui/settings/SettingsNotebook.h"
#include "gui/settings/TraceDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <string>

namespace {
// Lets the window system draw for a while.
void Settle(int iMs = 400) {
    QEventLoop loop;
    QTimer::singleShot(iMs, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Shoot(QWidget* pWidget, const QString& csFile) {
    Settle();
    const QRect rect = pWidget->frameGeometry();
    const QPoint origin =
        pWidget->mapToGlobal(QPoint(0, 0)) - (pWidget->geometry().topLeft() - rect.topLeft());
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(
        0, origin.x(), origin.y(), rect.width(), rect.height());
    const bool bSaved = picture.save(csFile);
    std::printf("%s %s\n", bSaved ? "saved" : "FAILED", qPrintable(csFile));
    return bSaved;
}

// One picture per tab of a notebook, in the tabs' order.
bool ShootTabs(CSettingsSheet* pNotebook, QWidget* pFrame, const QString& csFolder,
               std::initializer_list<const char*> files) {
    pNotebook->show();
    pNotebook->move(pFrame->geometry().center() - pNotebook->rect().center());
    bool bOk = true;
    int iTab = 0;
    for (const char* pszFile : files) {
        pNotebook->Tabs()->setCurrentIndex(iTab++);
        bOk &= Shoot(pNotebook, csFolder + pszFile);
    }
    return bOk;
}
} // namespace

int main(int argc, char** argv) {
    const bool bMainOnly = argc == 3 && std::string(argv[1]) == "--main";
    if (argc != 2 && !bMainOnly) {
        std::fprintf(stderr, "usage: vexgui-shots FOLDER | vexgui-shots --main FILE\n");
        return 2;
    }
    QApplication application(argc, argv);
    const QString csFolder = QString::fromLocal8Bit(argv[1]) + "/";
    CVexApp app;
    if (!app.InitInstance({}))
        return 1;
    CVexFrame* pFrame = app.Frame();
    pFrame->setGeometry(40, 40, 1000, 560);
    CPrinterView* pView = pFrame->View();
    if (bMainOnly) {
        const bool bSaved = Shoot(pFrame, QString::fromLocal8Bit(argv[2]));
        pFrame->close();
        return bSaved ? 0 : 1;
    }
    bool bOk = true;

    pFrame->OnViewStyle(CPrinterView::eStyleIcons);
    bOk &= Shoot(pFrame, csFolder + "main-icons.png");
    pFrame->OnViewStyle(CPrinterView::eStyleDetails);
    pView->SelectUuid(pView->Model()->PrinterAt(2).m_csUUID, true);
    bOk &= Shoot(pFrame, csFolder + "main-details.png");

    pFrame->Filter()->setCurrentIndex(2);
    pFrame->OnSelChangeLists(2);
    bOk &= Shoot(pFrame->SidePanel(), csFolder + "side-panel.png");
    pFrame->Filter()->setCurrentIndex(0);
    pFrame->OnSelChangeLists(0);

    {
        CColumnSelectionDlg dialog(&app.ColumnData(), pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        dialog.findChild<QListWidget*>("selected")->setCurrentRow(1);
        bOk &= Shoot(&dialog, csFolder + "customize-columns.png");
    }
    {
        CColumnSortDlg dialog(&app.ColumnData(), pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        dialog.findChild<QListWidget*>("columns")->setCurrentRow(0);
        bOk &= Shoot(&dialog, csFolder + "sort-printers.png");
    }
    {
        CProcessingDlg dialog([] {}, [] {}, pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        Settle(3 * CProcessingDlg::kTimerMs);
        bOk &= Shoot(&dialog, csFolder + "discovery-progress.png");
    }
    // The printer dialogs: create for a printer awaiting the user, Modify for
    // the first queue of a created one, and the separator page chooser.
    for (int i = 0; i < pView->RowCount(); ++i) {
        const CPrinter& printer = pView->Model()->PrinterAt(i);
        if (printer.m_VexState != eVexWaiting)
            continue;
        CAddIconDlg dialog(printer, pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        bOk &= Shoot(&dialog, csFolder + "create-printer.png");
        break;
    }
    for (int i = 0; i < pView->RowCount(); ++i) {
        const CPrinter& printer = pView->Model()->PrinterAt(i);
        if (printer.m_VexState != eVexAdded || printer.m_csIconName.empty())
            continue;
        CViewIconDlg dialog(printer.m_csIconName.substr(0, printer.m_csIconName.find(", ")),
                            printer, pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        bOk &= Shoot(&dialog, csFolder + "modify-printer.png");
        break;
    }
    {
        CSepPageBrowseDlg dialog(pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        bOk &= Shoot(&dialog, csFolder + "separator-page.png");
    }

    // The driver update while it downloads from the paced local site: the
    // worker is held at its next block once a third has come, for a still picture.
    {
        CDriverUpdateDlg dialog(eDriverPcl6, pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        QElapsedTimer waited;
        waited.start();
        while (dialog.Position() < 330 && dialog.isVisible() && waited.elapsed() < 60000)
            Settle(20);
        dialog.Gate().Pause();
        bOk &= dialog.Phase() == 1 && Shoot(&dialog, csFolder + "driver-update.png");
    }

    // The printer actions: the management dialog of the printer with the most
    // queues, one of them the default printer, and the hidden state menu.
    {
        int iRow = 0;
        for (int i = 0; i < pView->RowCount(); ++i)
            if (pView->Model()->PrinterAt(i).m_csIconName.size() >
                pView->Model()->PrinterAt(iRow).m_csIconName.size())
                iRow = i;
        const CPrinter printer = pView->Model()->PrinterAt(iRow);
        const std::string csNames = printer.m_csIconName;
        managedqueues::SetDefaultPrinter(csNames.substr(0, csNames.find(',')));
        CInfoItemDlg dialog(printer, pFrame);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        if (dialog.List()->topLevelItemCount() > 1)
            dialog.List()->topLevelItem(1)->setSelected(true);
        dialog.OnTimer();
        dialog.OnPrintTestPage();
        bOk &= Shoot(&dialog, csFolder + "manage-printers.png");
    }
    // Remove's question for two printers, answered No once it is pictured.
    {
        pView->SelectUuid(pView->Model()->PrinterAt(0).m_csUUID, true);
        pView->SelectUuid(pView->Model()->PrinterAt(1).m_csUUID, false);
        QTimer::singleShot(300, [&] {
            if (QWidget* pBox = QApplication::activeModalWidget()) {
                bOk &= Shoot(pBox, csFolder + "remove-confirmation.png");
                static_cast<QDialog*>(pBox)->reject();
            } else {
                bOk = false;
            }
        });
        pView->OnPrinterRemove();
    }
    {
        app.OnAppReadme();
        if (QWidget* pReadme = app.Readme()) {
            pReadme->move(pFrame->geometry().center() - pReadme->rect().center());
            bOk &= Shoot(pReadme, csFolder + "readme.png");
            pReadme->close();
        } else {
            bOk = false;
        }
    }
    {
        pView->SelectUuid(pView->Model()->PrinterAt(0).m_csUUID, true);
        QMenu* pMenu = pView->StateMenu();
        pMenu->popup(pFrame->geometry().center());
        bOk &= Shoot(pMenu, csFolder + "state-menu.png");
        pMenu->close();
    }

    // The settings notebooks and the trace dialog.
    {
        CSettingsNotebook notebook(pFrame);
        bOk &=
            ShootTabs(&notebook, pFrame, csFolder, {"settings-mode.png", "settings-discovery.png"});
    }
    {
        CDefaultValuesNotebook notebook(pFrame);
        bOk &= ShootTabs(&notebook, pFrame, csFolder,
                         {"values-driver.png", "values-sharing.png", "values-separator-page.png"});
    }
    {
        // The service's trace on for the picture, so that its group shows locked.
        CVexData().SetTraceOn(eExeService, true);
        CTraceDlg dialog(pFrame);
        CVexData().SetTraceOn(eExeService, false);
        dialog.show();
        dialog.move(pFrame->geometry().center() - dialog.rect().center());
        bOk &= Shoot(&dialog, csFolder + "trace-configuration.png");
    }
    pFrame->close();
    return bOk ? 0 : 1;
}
