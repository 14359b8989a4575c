// CMainThread: the service's main object.
#include "service/MainThread.h"

#include "common/Spooler.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/clock.h"
#include "service/AdvertThread.h"
#include "service/GtosPipeListenThreadProc.h"
#include "service/IconManager.h"
#include "service/ListenThread.h"
#include "service/PortMonInstall.h"
#include "service/RequestThread.h"
#include "service/WriteThread.h"

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr uint32_t kSpoolerFirstWaitMs = 3000;
constexpr uint32_t kSpoolerPollMs = 50;
constexpr int kSpoolerRestartAttempts = 8;
constexpr uint32_t kMainLoopMs = 300000;

// Starts a worker on the thread data; it is never waited for or stopped.
template <typename Proc> void StartWorker(Proc proc, SThreadData* pData) {
    std::thread([proc, pData] { proc(pData); }).detach();
}

void WaitForSpooler(CSpooler& spooler) {
    spooler.IsSpoolerRunning();
    while (!spooler.IsSpoolerRunning())
        platform::Sleep(kSpoolerPollMs);
    platform::Sleep(kSpoolerPollMs);
}

} // namespace

CMainThread::CMainThread() {
    m_threadData.pAdverts = &m_adverts;
    m_threadData.pRequests = &m_requests;
    m_threadData.pPrinters = &m_printers;
}

CMainThread::~CMainThread() = default;

void CMainThread::Start() {
    CTraceScope scope("CMainThread::Start");
    CVexData vexData;
    const bool bFirstTime = vexData.GetFirstTime();
    if (bFirstTime) {
        CPortMonInstall portMonInstall;
        portMonInstall.InstallIfNecessary();
        vexData.DeleteFirstTime();
    }
    m_printers.SetKplPath(vexData.GetWorkingDir() + vexData.GetKplFile());
    if (!m_printers.Read(true)) {
        scope.Err("FATAL ERROR: Failed to read KPL!");
        return;
    }
    if (bFirstTime)
        m_printers.CheckSupported();
    m_bWorking = true;
    StartWorker(ListenThreadProc, &m_threadData);
    StartWorker(GtosPipeListenThreadProc, &m_threadData);
    StartWorker(AdvertThreadProc, &m_threadData);
    for (int i = 0; i < CRequestThread::kWorkers; ++i)
        StartWorker(RequestThreadProc, &m_threadData);
    StartWorker(WriteThreadProc, &m_threadData);
    Run();
}

void CMainThread::Run() {
    CTraceScope scope("CMainThread::Run");
    CSpooler spooler;
    platform::Sleep(kSpoolerFirstWaitMs);
    WaitForSpooler(spooler);
    // The workers already run: a printer announced now may be being created.
    CIconManager::RestartSpoolerBetweenCreations(kSpoolerRestartAttempts);
    WaitForSpooler(spooler);
    for (int iLoop = 0;; ++iLoop) {
        scope.Inf("main thread loop #%d", iLoop);
        platform::Sleep(kMainLoopMs);
    }
}

bool CMainThread::FlushPendingWrite(uint32_t dwLimitMs) {
    CTraceScope scope("CMainThread::FlushPendingWrite");
    // A list that was never loaded (a damaged file) must not be written.
    if (!m_bWorking) {
        scope.Result(true);
        return true;
    }
    // The write runs in a thread of its own, so that a stop never waits longer
    // than the limit for the file.
    auto pDone = std::make_shared<std::promise<bool>>();
    std::future<bool> done = pDone->get_future();
    CPrinters* pPrinters = &m_printers;
    std::thread([pDone, pPrinters] {
        // The writer holds the file mutex while it gathers and writes: once we
        // have it, its round is over.
        bool bLocked = pPrinters->LockKPLFile();
        bool bOk = !pPrinters->KPLFileNeedsWriting() || pPrinters->Write();
        if (bLocked)
            pPrinters->UnlockKPLFile();
        pDone->set_value(bOk);
    }).detach();
    bool bOk = done.wait_for(std::chrono::milliseconds(dwLimitMs)) == std::future_status::ready &&
               done.get();
    if (!bOk)
        scope.Err("Known printer list not written before the stop");
    scope.Result(bOk);
    return bOk;
}
