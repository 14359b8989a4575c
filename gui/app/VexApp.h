// CVexApp: the application object of vexgui. Start-up (single instance, the
// spooler and the service, the "/Prompt" launch), the main window, the
// listener of the service's notifications, and the application's commands.
#pragma once

#include "gui/core/ColumnData.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CStogPipeListenThread;
class CReadmeDlg;
class CVexFrame;
class CPrinterView;
class QSplashScreen;
class QStatusBar;
class QWidget;
namespace platform {
struct SectionHandle;
}

class CVexApp : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "ZANTOR_AMBREL";
    static constexpr const char* kServiceDisplayName = "Zantor Ambrel";
    static constexpr const char* kInstanceSection = "VEX_V1";
    static constexpr int kSpoolerStartAttempts = 8;
    // Bound of the waits for the spooler and for a starting service; reaching
    // it counts as a failed start.
    static constexpr int kStartWaitLimitMs = 60000;

    CVexApp();
    ~CVexApp() override;

    // The program: a QApplication, InitInstance, the event loop.
    static int Main(int argc, char** argv);
    static CVexApp* Instance() { return s_pInstance; }

    // The start-up sequence; false ends the program. arguments: the command
    // line without the program name.
    bool InitInstance(const std::vector<std::string>& arguments);
    // Asks the "/Prompt" question (with the switch), then creates the main window.
    bool ProcessShellCommand();

    // Service control, also used by the printer actions' service check.
    static bool IsServiceRunning();
    static bool StartVexService();
    // Polls the spooler every 50 ms until it runs; false at the bound.
    static bool WaitForSpooler();
    // Up to 8 starts of the spooler in a row; then waits until it runs. On
    // failure shows 5058 and 153.
    static bool StartSpoolerWithRetries(QWidget* pOwner);
    // The check every service command makes first: the spooler and the service
    // run, started with the user's consent (messages 5057, 5036).
    static bool ServiceCheck(QWidget* pOwner);

    void OnAppAbout();
    void OnAppReadme();
    // The readme window while it is open, else null.
    CReadmeDlg* Readme() const;
    void OnAppSettings();
    void OnAppValues();
    void OnAppTrace();

    CColumnData& ColumnData() { return m_columnData; }
    CVexFrame* Frame() const { return m_pFrame.get(); }
    CPrinterView* MainView() const;
    bool PromptLaunch() const { return m_bPrompt; }
    bool ListenerRunning() const { return m_listenerThread.joinable(); }

private:
    bool ClaimInstance();
    bool CheckSpooler();
    bool CheckService();
    bool StartListener();
    void StopListener();

    static CVexApp* s_pInstance;
    bool m_bPrompt = false;
    CColumnData m_columnData;
    std::unique_ptr<QSplashScreen> m_pSplash;
    std::unique_ptr<CVexFrame> m_pFrame;
    platform::SectionHandle* m_hInstance = nullptr;
    platform::SectionHandle* m_hPromptInstance = nullptr;
    std::unique_ptr<CStogPipeListenThread> m_pListener;
    std::thread m_listenerThread;
    QPointer<CReadmeDlg> m_pReadme; // the readme window, while it is open
};
