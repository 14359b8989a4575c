// The GUI's costs with many printers, offscreen, on a private system root
// with the machine's Spooler running:
//   - one reconciliation tick with N printers, each with one queue on a port
//     of the port monitor (N printers, N queues, N ports), and its two parts:
//     the workstation's queue names, and the ports' addresses alone;
//   - the main window from its creation to a filled and painted list;
//   - a change of the state filter and a sort by each column with N printers,
//     in both list styles, each until the list is painted again.
// The whole program's start-up and its resident memory are measured by
// bench/measure-gui, which runs the real vexgui.
#include "BenchRoot.h"
#include "DemoMachine.h"
#include "common/VexData.h"
#include "gui/app/VexApp.h"
#include "gui/app/VexFrame.h"
#include "gui/core/ColumnData.h"
#include "gui/core/QueueNames.h"
#include "gui/printerdialogs/InfoItemDlg.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/PrinterView.h"
#include "platform/registry.h"
#include "platform/service.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>

using namespace platform;

namespace {

// The root, the Spooler, and the queues laid so far (demo printers 0..n-1,
// each created with one queue).
class CGuiMachine {
public:
    CGuiMachine() {
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        CVexData().AddNumData(CVexData::kMainKey, "Language", 1);
        SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE hService = CreateService(hManager, "Spooler", "Print Spooler", SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                           SERVICE_ERROR_NORMAL, VEX_BIN_DIR "/vexspoolerd");
        m_bReady = hService && StartService(hService, 0, nullptr);
        SERVICE_STATUS status{};
        while (m_bReady && QueryServiceStatus(hService, &status) &&
               status.dwCurrentState == SERVICE_START_PENDING) {
        }
        m_bReady = m_bReady && status.dwCurrentState == SERVICE_RUNNING;
        CloseServiceHandle(hService);
        CloseServiceHandle(hManager);
    }
    ~CGuiMachine() {
        TerminateAllServices();
        while (::waitpid(-1, nullptr, 0) > 0) {
        }
    }
    bool Ready() const { return m_bReady; }

    // N printers, every one created with one queue of its own.
    bool LayCreatedPrinters(int iCount) {
        std::vector<CPrinter> printers = guidemo::MakePrinters(iCount);
        for (size_t i = 0; i < printers.size(); ++i) {
            printers[i].m_VexState = eVexAdded;
            printers[i].m_csIconName =
                printers[i].m_csPrinterModel + " (" + std::to_string(i) + ")";
        }
        std::string csError;
        const std::vector<CPrinter> newOnes(printers.begin() + std::min(m_iQueued, iCount),
                                            printers.end());
        if (!guidemo::AddQueues(newOnes, &csError))
            return false;
        m_iQueued = std::max(m_iQueued, iCount);
        return guidemo::WriteList(printers);
    }
    // N printers in mixed states, as the demo makes them.
    static bool LayMixedPrinters(int iCount) {
        return guidemo::WriteList(guidemo::MakePrinters(iCount));
    }

private:
    CBenchRoot m_root;
    bool m_bReady = false;
    int m_iQueued = 0;
};

// Made and ended by main, around the benchmarks: a static would end after the
// threads' store connections, too late to stop the Spooler.
CGuiMachine* g_pMachine = nullptr;

CGuiMachine& Machine() {
    return *g_pMachine;
}

// The main window as the start-up leaves it (shown, list filled), with the
// reconciliation timer stopped so that only the measured work runs.
class CWindow {
public:
    CWindow() {
        m_app.ColumnData().GetInformation();
        m_bOpen = m_app.ProcessShellCommand();
        if (!m_bOpen)
            return;
        Frame()->ReconcileTimer()->stop();
        Frame()->resize(1000, 600);
        Frame()->show();
        Settle();
    }
    bool Open() const { return m_bOpen; }
    CVexFrame* Frame() const { return m_app.Frame(); }
    CPrinterView* View() const { return m_app.Frame()->View(); }
    // Lets the views lay out and paints the list now.
    void Settle() const {
        QCoreApplication::processEvents();
        auto* pList = static_cast<QAbstractItemView*>(View()->CurrentView());
        pList->viewport()->repaint();
    }

private:
    CVexApp m_app;
    bool m_bOpen = false;
};

// Lays state.range(0) created printers with their queues and opens the window
// on them; null after the benchmark's error.
std::unique_ptr<CWindow> OpenOnCreatedPrinters(benchmark::State& state) {
    const int iCount = int(state.range(0));
    if (!Machine().Ready() || !Machine().LayCreatedPrinters(iCount)) {
        state.SkipWithError("cannot lay the printers");
        return nullptr;
    }
    auto pWindow = std::make_unique<CWindow>();
    if (!pWindow->Open() || pWindow->View()->RowCount() != iCount) {
        state.SkipWithError("the window did not open with every printer");
        return nullptr;
    }
    return pWindow;
}

void BM_ReconcileTick(benchmark::State& state) {
    const std::unique_ptr<CWindow> pWindow = OpenOnCreatedPrinters(state);
    if (!pWindow)
        return;
    int iSent = 0;
    pWindow->View()->SetUpdateIconsSender([&iSent](const CPrinter&) {
        ++iSent;
        return CPrinterView::eUpdateDone;
    });
    for (auto _ : state)
        pWindow->View()->ReconcileTick();
    if (iSent != 0)
        state.SkipWithError("a tick corrected a printer: the queues do not match");
    state.counters["printers"] = double(state.range(0));
}

void BM_QueueNamesLoad(benchmark::State& state) {
    const int iCount = int(state.range(0));
    if (!Machine().Ready() || !Machine().LayCreatedPrinters(iCount)) {
        state.SkipWithError("cannot lay the printers");
        return;
    }
    for (auto _ : state) {
        CQueueNames queues;
        benchmark::DoNotOptimize(queues.Load());
    }
}
// Queues are only ever added: the 1,000 before the 10,000. The tick reads the
// queues only after a change, so BM_ReconcileTick is the idle tick and
// BM_QueueNamesLoad the read a change costs.
BENCHMARK(BM_ReconcileTick)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueNamesLoad)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReconcileTick)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueNamesLoad)->Arg(10000)->Unit(benchmark::kMillisecond);

// The printer management dialog's tick (every 100 ms while it is open), for
// one printer among as many queues.
void BM_InfoDialogTick(benchmark::State& state) {
    const std::unique_ptr<CWindow> pWindow = OpenOnCreatedPrinters(state);
    if (!pWindow)
        return;
    CInfoItemDlg dialog(pWindow->View()->Model()->PrinterAt(0));
    dialog.Timer()->stop();
    for (auto _ : state)
        dialog.OnTimer();
    if (dialog.List()->topLevelItemCount() != 1)
        state.SkipWithError("the dialog does not show the printer's queue");
}
BENCHMARK(BM_InfoDialogTick)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_WindowToFilledList(benchmark::State& state) {
    const int iCount = int(state.range(0));
    if (!Machine().Ready() || !CGuiMachine::LayMixedPrinters(iCount)) {
        state.SkipWithError("cannot lay the printers");
        return;
    }
    CVexData().SetViewList(0);
    for (auto _ : state) {
        auto pWindow = std::make_unique<CWindow>();
        if (!pWindow->Open() || pWindow->View()->RowCount() != iCount) {
            state.SkipWithError("the window did not open with every printer");
            break;
        }
        state.PauseTiming(); // not the closing
        pWindow.reset();
        state.ResumeTiming();
    }
}

// Filter changes between "All printers" and each other kind in turn.
void BM_FilterChange(benchmark::State& state) {
    const int iCount = int(state.range(0));
    const int iStyle = int(state.range(1));
    if (!Machine().Ready() || !CGuiMachine::LayMixedPrinters(iCount)) {
        state.SkipWithError("cannot lay the printers");
        return;
    }
    CVexData().SetViewList(0);
    CVexData().SetViewStyle(uint32_t(iStyle));
    CWindow window;
    if (!window.Open()) {
        state.SkipWithError("the window did not open");
        return;
    }
    int iChange = 0;
    for (auto _ : state) {
        const int iKind = (iChange % 2) ? 0 : 1 + (iChange / 2) % 5;
        ++iChange;
        window.Frame()->Filter()->setCurrentIndex(iKind);
        emit window.Frame()->Filter()->activated(iKind);
        window.Settle();
    }
    CVexData().SetViewList(0);
}

// Header clicks on one column: each sorts the whole list the other way.
void BM_SortByColumn(benchmark::State& state) {
    const int iCount = int(state.range(0));
    const int iStyle = int(state.range(1));
    const int iColumn = int(state.range(2));
    if (!Machine().Ready() || !CGuiMachine::LayMixedPrinters(iCount)) {
        state.SkipWithError("cannot lay the printers");
        return;
    }
    CVexData data;
    data.SetViewList(0);
    data.SetViewStyle(uint32_t(iStyle));
    // Every column shown, in the order of their ids.
    for (int iId = eColumnIpAddress; iId <= eColumnIconNames; ++iId)
        data.SetColumnPosition(eColumn(iId), iId - eColumnIpAddress);
    CWindow window;
    if (!window.Open() || iColumn >= window.View()->Model()->columnCount()) {
        state.SkipWithError("the window did not open with the column");
        return;
    }
    state.SetLabel(
        window.View()->Model()->headerData(iColumn, Qt::Horizontal).toString().toStdString());
    for (auto _ : state) {
        window.View()->OnColumnClick(iColumn);
        window.Settle();
    }
}

} // namespace

BENCHMARK(BM_WindowToFilledList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterChange)
    ->ArgNames({"printers", "style"})
    ->Args({10000, CPrinterView::eStyleIcons})
    ->Args({10000, CPrinterView::eStyleDetails})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByColumn)
    ->ArgNames({"printers", "style", "column"})
    ->ArgsProduct({{10000},
                   {CPrinterView::eStyleIcons, CPrinterView::eStyleDetails},
                   {0, 1, 2, 3, 4, 5, 6}})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    {
        CGuiMachine machine;
        g_pMachine = &machine;
        benchmark::RunSpecifiedBenchmarks();
        g_pMachine = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
