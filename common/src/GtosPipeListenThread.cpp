// The service's command-pipe listener: one worker thread per GUI connection.
#include "common/GtosPipeListenThread.h"

#include "common/PipeAcceptLoop.h"
#include "common/PipeMessage.h"
#include "common/Trace.h"

#include <system_error>

namespace {

// A worker that cannot start is written as the listener's.
constexpr CTraceName kTraceAsListen("CGtosPipeListenThread::Listen");

} // namespace

CGtosPipeListenThread::CGtosPipeListenThread(CPrinters* pPrinters, CAdverts* pAdverts,
                                             CRequests* pRequests, GtosPipeWorkProc workProc)
    : m_pPrinters(pPrinters), m_pAdverts(pAdverts), m_pRequests(pRequests),
      m_workProc(std::move(workProc)), m_pCancel(std::make_shared<platform::PipeCancel>()) {}

CGtosPipeListenThread::~CGtosPipeListenThread() {
    JoinWorkers(true);
}

void CGtosPipeListenThread::Stop() {
    m_pCancel->Cancel();
}

void CGtosPipeListenThread::JoinWorkers(bool bAll) {
    std::vector<std::unique_ptr<SWorker>> ended;
    {
        std::lock_guard lock(m_poolMutex);
        if (bAll) {
            m_bClosing = true;
            for (SWorker* pWorker : m_idle)
                pWorker->cv.notify_one();
            m_idle.clear();
        }
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            if (bAll || (*it)->bEnded) {
                ended.push_back(std::move(*it));
                it = m_workers.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& pWorker : ended)
        pWorker->thread.join();
}

void CGtosPipeListenThread::RunWorker(SWorker* pWorker) {
    std::unique_lock lock(m_poolMutex);
    for (;;) {
        pWorker->cv.wait(lock, [&] { return pWorker->pData || m_bClosing; });
        SGtosPipeWorkData* pData = pWorker->pData;
        if (!pData)
            break;
        pWorker->pData = nullptr;
        lock.unlock();
        m_workProc(pData);
        lock.lock();
        if (m_bClosing || m_idle.size() >= kIdleWorkers)
            break;
        m_idle.push_back(pWorker);
    }
    pWorker->bEnded = true;
}

bool CGtosPipeListenThread::StartWorker(SGtosPipeWorkData* pData) {
    try {
        auto pWorker = std::make_unique<SWorker>();
        pWorker->pData = pData;
        SWorker* pRaw = pWorker.get();
        {
            // The entry is made first, so a thread never runs without one.
            std::lock_guard lock(m_poolMutex);
            m_workers.push_back(std::move(pWorker));
            if (!pData)
                m_idle.push_back(pRaw);
        }
        try {
            pRaw->thread = std::thread(&CGtosPipeListenThread::RunWorker, this, pRaw);
        } catch (...) {
            std::lock_guard lock(m_poolMutex);
            if (!pData)
                m_idle.pop_back();
            m_workers.pop_back();
            throw;
        }
        return true;
    } catch (const std::exception& e) {
        kTraceAsListen.Err("CreateThread failed : %s", e.what());
        return false;
    }
}

void CGtosPipeListenThread::HandOver(platform::HPIPE hPipe) {
    auto pData = new SGtosPipeWorkData{m_pPrinters, m_pAdverts, m_pRequests, hPipe};
    {
        std::lock_guard lock(m_poolMutex);
        if (!m_idle.empty()) {
            SWorker* pWorker = m_idle.back();
            m_idle.pop_back();
            pWorker->pData = pData;
            pWorker->cv.notify_one();
            return;
        }
    }
    if (!StartWorker(pData)) {
        delete pData;
        platform::FlushPipe(hPipe);
        platform::DisconnectNamedPipe(hPipe);
        platform::ClosePipe(hPipe);
    }
}

bool CGtosPipeListenThread::NoneIdle() {
    std::lock_guard lock(m_poolMutex);
    return m_idle.empty();
}

void CGtosPipeListenThread::Listen() {
    CTraceScope scope("CGtosPipeListenThread::Listen");
    // Every local user may connect: the GUI runs as the desktop's user.
    AcceptPipeConnections(
        {kGtosPipeName, platform::PipeAccess::EveryLocalUser, "CGtosPipeListenThread::Listen"},
        m_pCancel,
        [this](platform::HPIPE hConnected) {
            HandOver(hConnected);
            JoinWorkers(false);
        },
        [this] {
            if (NoneIdle())
                StartWorker(nullptr); // ready for the next connection
        });
    JoinWorkers(true);
}
