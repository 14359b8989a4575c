// The service's command-pipe listener: one worker thread per GUI connection.
#include "common/GtosPipeListenThread.h"

#include "common/PipeMessage.h"
#include "common/Trace.h"
#include "platform/error.h"

#include <system_error>

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
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (bAll || it->pDone->load()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

platform::HPIPE CGtosPipeListenThread::CreateInstance() {
    // Every local user may connect: the GUI runs as the desktop's user.
    platform::HPIPE hPipe = platform::CreateNamedPipe(
        kGtosPipeName, platform::PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize,
        platform::NMPWAIT_WAIT_FOREVER, platform::PipeAccess::EveryLocalUser);
    if (hPipe == platform::INVALID_PIPE_HANDLE) {
        TraceErr("(CGtosPipeListenThread::Listen)CreateNamedPipe failed : %s",
                 platform::ErrorText(platform::GetLastError()).c_str());
        return hPipe;
    }
    platform::SetPipeCancel(hPipe, m_pCancel);
    return hPipe;
}

void CGtosPipeListenThread::StartWorker(platform::HPIPE hPipe) {
    JoinWorkers(false);
    auto pData = new SGtosPipeWorkData{m_pPrinters, m_pAdverts, m_pRequests, hPipe};
    try {
        // The entry is made first, so a thread never starts without one.
        m_workers.push_back({std::thread(), std::make_shared<std::atomic<bool>>(false)});
        SWorker& worker = m_workers.back();
        worker.thread = std::thread([this, pData, pDone = worker.pDone] {
            m_workProc(pData);
            pDone->store(true);
        });
    } catch (const std::exception& e) {
        if (!m_workers.empty() && !m_workers.back().thread.joinable())
            m_workers.pop_back();
        TraceErr("(CGtosPipeListenThread::Listen)CreateThread failed : %s", e.what());
        platform::FlushPipe(hPipe);
        platform::DisconnectNamedPipe(hPipe);
        platform::ClosePipe(hPipe);
        delete pData;
    }
}

void CGtosPipeListenThread::Listen() {
    CTraceScope scope("CGtosPipeListenThread::Listen");
    // The next instance is offered before a connected one is handed over, so a
    // GUI never finds the pipe gone between two connections.
    platform::HPIPE hOffered = CreateInstance();
    while (hOffered != platform::INVALID_PIPE_HANDLE) {
        if (!platform::ConnectNamedPipe(hOffered) &&
            platform::GetLastError() != platform::ERROR_PIPE_CONNECTED) {
            const uint32_t dwError = platform::GetLastError();
            platform::ClosePipe(hOffered);
            if (dwError == platform::ERROR_OPERATION_ABORTED && m_pCancel->IsCancelled()) {
                TraceInf("(CGtosPipeListenThread::Listen)Stopped");
            } else {
                TraceErr("(CGtosPipeListenThread::Listen)ConnectNamedPipe failed : %s",
                         platform::ErrorText(dwError).c_str());
            }
            break;
        }
        platform::HPIPE hConnected = hOffered;
        hOffered = CreateInstance();
        // Served in any case; a failed offer ends the loop after the hand-over.
        StartWorker(hConnected);
    }
    JoinWorkers(true);
}
