#include "gui/app/VexApp.h"

#include "common/GuiSession.h"
#include "common/ServiceControl.h"
#include "common/Spooler.h"
#include "common/StogPipeListenThread.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/AboutDlg.h"
#include "gui/app/Prompter.h"
#include "gui/app/ReadmeDlg.h"
#include "gui/app/VexFrame.h"
#include "gui/app/WaitCursor.h"
#include "gui/core/AppText.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"
#include "gui/notifications/StogPipeWorkThread.h"
#include "gui/printerlist/PrinterView.h"
#include "gui/settings/DefaultValuesNotebook.h"
#include "gui/settings/SettingsNotebook.h"
#include "gui/settings/TraceDlg.h"
#include "platform/access.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/section.h"
#include "platform/service.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QSplashScreen>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// The service checks write as part of the start.
constexpr CTraceName kTraceAsInitInstance("CVexApp::InitInstance");

} // namespace

using namespace platform;

CVexApp* CVexApp::s_pInstance = nullptr;

namespace {
constexpr int kPollMs = 50;

// A wait on the window thread: the windows are painted meanwhile (the
// question box that asked goes away at once) but take no input.
void PaintedWait(uint32_t dwMilliseconds) {
    if (!QCoreApplication::instance()) {
        platform::Sleep(dwMilliseconds);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(int(std::min<uint32_t>(dwMilliseconds, INT32_MAX)), &loop,
                       &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
// One wait hint of a start-pending service, asked again every poll, so a
// service that runs sooner is not waited for: false when a query fails.
bool WaitOutHint(SC_HANDLE hService, SERVICE_STATUS* pStatus) {
    const auto hintEnd =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(pStatus->dwWaitHint);
    do {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            hintEnd - std::chrono::steady_clock::now());
        PaintedWait(uint32_t(std::clamp<int64_t>(left.count(), 0, kPollMs)));
        if (!QueryServiceStatus(hService, pStatus))
            return false;
    } while (pStatus->dwCurrentState == SERVICE_START_PENDING &&
             std::chrono::steady_clock::now() < hintEnd);
    return true;
}
} // namespace

CVexApp::CVexApp() {
    s_pInstance = this;
}

CVexApp::~CVexApp() {
    StopListener();
    m_pFrame.reset();
    if (m_hPromptInstance)
        CloseSection(m_hPromptInstance);
    if (m_hInstance)
        CloseSection(m_hInstance);
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

int CVexApp::Main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("vexgui");
    QApplication::setWindowIcon(QIcon(":/vexgui/printer-48.png"));
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CVexApp app;
    if (!app.InitInstance(arguments))
        return 1;
    const int iResult = QApplication::exec();
    TraceShutdown();
    return iResult;
}

CPrinterView* CVexApp::MainView() const {
    return m_pFrame ? m_pFrame->View() : nullptr;
}

bool CVexApp::ClaimInstance() {
    m_hInstance = CreateFileMapping(kInstanceSection, 8);
    if (m_hInstance && GetLastError() != ERROR_ALREADY_EXISTS)
        return true;
    if (!m_bPrompt)
        VexMessage(nullptr, IDS_ALREADY_RUNNING, EMsgButtons::Ok, EMsgIcon::Information);
    return false;
}

bool CVexApp::InitInstance(const std::vector<std::string>& arguments) {
    m_bPrompt = HasPromptSwitch(arguments);
    // The splash stays up until the main frame has made its bars.
    QPixmap splash(":/vexgui/splash.png");
    if (!splash.isNull() && QGuiApplication::primaryScreen()) {
        m_pSplash = std::make_unique<QSplashScreen>(splash);
        m_pSplash->show();
        QCoreApplication::processEvents();
    }
    // Only the machine's printer administrators may run the program: anyone
    // else is told so once, here, instead of failing deep inside.
    if (!platform::IsMachineAdministrator()) {
        m_pSplash.reset();
        VexMessageText(
            nullptr, IDS_ADMINISTRATORS_ONLY,
            FormatVexString(IDS_ADMINISTRATORS_ONLY, {platform::AdministratorsGroupName()}),
            EMsgButtons::Ok, EMsgIcon::Stop);
        return false;
    }
    if (!ClaimInstance()) {
        m_pSplash.reset();
        return false;
    }
    TraceInit(eExeGui, ".bak");
    CTraceScope scope("CVexApp::InitInstance");
    const bool bResult = CheckSpooler() && CheckService() && [&] {
        if (!RecordGuiSession())
            scope.Err("The GUI session could not be recorded");
        m_columnData.GetInformation();
        if (!ProcessShellCommand()) {
            scope.Err("ProcessShellCommand failed");
            return false;
        }
        m_pFrame->show();
        m_pFrame->raise();
        if (!StartListener())
            scope.Err("The notification listener could not be started");
        return true;
    }();
    m_pSplash.reset();
    scope.Result(bResult);
    return bResult;
}

bool CVexApp::CheckSpooler() {
    if (CSpooler().IsSpoolerRunning())
        return true;
    if (VexMessage(nullptr, IDS_START_SPOOLER_AT_START, EMsgButtons::YesNo, EMsgIcon::Question) !=
        eAnswerYes)
        return false;
    return StartSpoolerWithRetries(nullptr);
}

bool CVexApp::CheckService() {
    if (IsServiceRunning())
        return true;
    if (VexMessage(nullptr, IDS_START_SERVICE_AT_START, EMsgButtons::YesNo, EMsgIcon::Question,
                   "CVexApp::InitInstance", 200) != eAnswerYes) {
        kTraceAsInitInstance.Err("Vex service not running");
        return false;
    }
    bool bStarted = false;
    {
        CWaitCursor wait;
        bStarted = StartVexService();
    }
    if (!bStarted) {
        VexMessage(nullptr, IDS_SERVICE_NOT_INSTALLED, EMsgButtons::Ok, EMsgIcon::Stop,
                   "CVexApp::InitInstance", 201);
        kTraceAsInitInstance.Err("Vex failed to start service");
    }
    return WaitForSpooler() && bStarted;
}

bool CVexApp::ProcessShellCommand() {
    CTraceScope scope("CVexApp::ProcessShellCommand");
    if (m_bPrompt) {
        if (VexMessage(nullptr, IDS_NEW_PRINTERS_LAUNCH, EMsgButtons::YesNo, EMsgIcon::Question,
                       "CVexApp::ProcessShellCommand", 205) != eAnswerYes) {
            scope.Result(false);
            return false;
        }
        m_hPromptInstance = CreateFileMapping(kInstanceSection, 8);
    }
    // Any shell command is "new": the one empty document with its window.
    m_pFrame = std::make_unique<CVexFrame>(&m_columnData);
    const bool bCreated = m_pFrame->Create();
    if (!bCreated)
        m_pFrame.reset();
    m_pSplash.reset();
    scope.Result(bCreated);
    return bCreated;
}

bool CVexApp::StartListener() {
    CPrinterView* pView = MainView();
    if (!pView)
        return false;
    m_pListener = std::make_unique<CStogPipeListenThread>(
        [pView](HPIPE hPipe) { return StogPipeWorkThreadProc(hPipe, pView, &pView->Flags()); });
    try {
        m_listenerThread = std::thread([this] { m_pListener->Listen(); });
    } catch (const std::system_error&) {
        m_pListener.reset();
        return false;
    }
    return true;
}

void CVexApp::StopListener() {
    if (m_pListener)
        m_pListener->Stop();
    if (m_listenerThread.joinable())
        m_listenerThread.join();
    m_pListener.reset();
}

bool CVexApp::WaitForSpooler() {
    const CTraceName trace("CVexApp::WaitForSpooler");
    for (int iWaited = 0; !CSpooler().IsSpoolerRunning(); iWaited += kPollMs) {
        if (iWaited >= kStartWaitLimitMs) {
            trace.Err("The spooler did not come up in %d ms", kStartWaitLimitMs);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return true;
}

bool CVexApp::StartSpoolerWithRetries(QWidget* pOwner) {
    bool bStarted = false;
    for (int i = 0; i < kSpoolerStartAttempts && !bStarted; ++i)
        bStarted = CSpooler().StartSpooler();
    if (!bStarted || !WaitForSpooler()) {
        VexMessage(pOwner, IDS_SPOOLER_START_FAILED, EMsgButtons::Ok, EMsgIcon::Stop);
        VexMessage(pOwner, IDS_RESTART_SPOOLER_MANUALLY, EMsgButtons::Ok, EMsgIcon::Stop);
        return false;
    }
    return true;
}

bool CVexApp::IsServiceRunning() {
    CTraceScope scope("CVexApp::IsServiceRunning");
    bool bRunning = false;
    CServiceHandles handles(kServiceName);
    if (handles.FailedCall()) {
        scope.Err("%s failed", handles.FailedCall());
    } else {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(handles.Service(), &status))
            scope.Err("QueryServiceStatus failed");
        else
            bRunning = status.dwCurrentState == SERVICE_RUNNING;
    }
    WaitForSpooler();
    scope.Result("%s", bRunning ? "yes" : "no");
    return bRunning;
}

bool CVexApp::StartVexService() {
    CTraceScope scope("CVexApp::StartVexService");
    CServiceHandles handles(kServiceName);
    if (!handles.Manager()) {
        scope.Err("OpenSCManager failed.");
        scope.Result(false);
        return false;
    }
    bool bRunning = false;
    SERVICE_STATUS status{};
    // Wait step by step on the service's wait hint while it reports progress,
    // within the overall bound.
    SServiceStartWait how;
    how.waitRound = WaitOutHint;
    how.dwLimitMs = kStartWaitLimitMs;
    if (!handles.Service()) {
        scope.Err("OpenService failed.");
    } else {
        switch (StartServiceAndWait(handles.Service(), &status, how)) {
        case EServiceStart::eStartFailed:
            scope.Err("StartService failed.");
            break;
        case EServiceStart::eQueryFailed:
        case EServiceStart::eWaitQueryFailed:
            scope.Err("QueryServiceStatus failed.");
            [[fallthrough]];
        default:
            bRunning = status.dwCurrentState == SERVICE_RUNNING;
        }
    }
    if (bRunning)
        scope.Inf("%s successfully started.", kServiceDisplayName);
    else
        scope.Err("%s failed to start.", kServiceDisplayName);
    scope.Result(bRunning);
    return bRunning;
}

bool CVexApp::ServiceCheck(QWidget* pOwner) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool bOk = true;
    if (!CSpooler().IsSpoolerRunning()) {
        bOk = VexMessage(pOwner, IDS_START_SPOOLER_FOR_COMMAND, EMsgButtons::YesNo,
                         EMsgIcon::Question) == eAnswerYes &&
              StartSpoolerWithRetries(pOwner);
    }
    if (bOk && !IsServiceRunning()) {
        if (VexMessage(pOwner, IDS_START_SERVICE_FOR_COMMAND, EMsgButtons::YesNo,
                       EMsgIcon::Question, "CVexApp::InitInstance", 218) != eAnswerYes) {
            bOk = false;
        } else if (!StartVexService()) {
            VexMessage(pOwner, IDS_SERVICE_NOT_INSTALLED, EMsgButtons::Ok, EMsgIcon::Stop,
                       "CVexApp::InitInstance", 201);
            kTraceAsInitInstance.Err("Vex failed to start service");
            bOk = false;
        }
    }
    if (bOk)
        bOk = WaitForSpooler();
    QApplication::restoreOverrideCursor();
    return bOk;
}

void CVexApp::OnAppAbout() {
    CAboutDlg dialog(m_pFrame.get());
    dialog.exec();
}

CReadmeDlg* CVexApp::Readme() const {
    return m_pReadme;
}

void CVexApp::OnAppReadme() {
    CTraceScope scope("CVexApp::OnAppReadme");
    CVexData data;
    const std::string csPath = data.GetWorkingDir() + data.GetReadmeFile();
    // A window of the program's own: no desktop's launcher is needed, and a
    // readme that cannot be shown is said, not silently passed over.
    if (m_pReadme)
        m_pReadme->close();
    auto* pDialog = new CReadmeDlg(m_pFrame.get());
    pDialog->setAttribute(Qt::WA_DeleteOnClose);
    std::string csError;
    if (!pDialog->Load(csPath, &csError)) {
        delete pDialog;
        scope.Err("%s: %s", csPath.c_str(), csError.c_str());
        VexMessageText(m_pFrame.get(), IDS_README_NOT_OPENED,
                       FormatVexString(IDS_README_NOT_OPENED, {csPath, csError}), EMsgButtons::Ok,
                       EMsgIcon::Exclamation);
        scope.Result(false);
        return;
    }
    m_pReadme = pDialog;
    m_pReadme->show();
    m_pReadme->raise();
    scope.Result(true);
}

void CVexApp::OnAppSettings() {
    CSettingsNotebook notebook(m_pFrame.get());
    notebook.exec();
}

void CVexApp::OnAppValues() {
    CDefaultValuesNotebook notebook(m_pFrame.get());
    notebook.exec();
}

void CVexApp::OnAppTrace() {
    CTraceDlg dialog(m_pFrame.get());
    dialog.exec();
}
