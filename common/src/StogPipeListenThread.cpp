// The GUI's notification-pipe listener: one connection at a time, in order.
#include "common/StogPipeListenThread.h"

#include "common/PipeMessage.h"
#include "common/Trace.h"
#include "platform/clock.h"
#include "platform/error.h"

#include <system_error>
#include <thread>

CStogPipeListenThread::CStogPipeListenThread(StogPipeWorkProc workProc)
    : m_workProc(std::move(workProc)), m_pCancel(std::make_shared<platform::PipeCancel>()) {}

CStogPipeListenThread::~CStogPipeListenThread() = default;

void CStogPipeListenThread::Stop() {
    m_pCancel->Cancel();
}

platform::HPIPE CStogPipeListenThread::CreateInstance() {
    platform::HPIPE hPipe = platform::CreateNamedPipe(
        kStogPipeName, platform::PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize,
        platform::NMPWAIT_WAIT_FOREVER, platform::PipeAccess::Default);
    if (hPipe == platform::INVALID_PIPE_HANDLE) {
        TraceErr("(CStogPipeListenThread::Listen)CreateNamedPipe failed : %s",
                 platform::ErrorText(platform::GetLastError()).c_str());
        return hPipe;
    }
    platform::SetPipeCancel(hPipe, m_pCancel);
    return hPipe;
}

void CStogPipeListenThread::Listen() {
    CTraceScope scope("CStogPipeListenThread::Listen");
    // While a worker serves one connection the next instance is already offered:
    // a notification that comes meanwhile is taken and waits for its turn, instead
    // of finding the pipe busy or gone.
    platform::HPIPE hOffered = platform::INVALID_PIPE_HANDLE;
    while (!m_pCancel->IsCancelled()) {
        if (hOffered == platform::INVALID_PIPE_HANDLE) {
            hOffered = CreateInstance();
            if (hOffered == platform::INVALID_PIPE_HANDLE) {
                if (!ListenerMayRetry(platform::GetLastError(), *m_pCancel))
                    break;
                continue;
            }
        }
        if (!platform::ConnectNamedPipe(hOffered) &&
            platform::GetLastError() != platform::ERROR_PIPE_CONNECTED) {
            const uint32_t dwError = platform::GetLastError();
            platform::ClosePipe(hOffered);
            hOffered = platform::INVALID_PIPE_HANDLE;
            if (dwError == platform::ERROR_OPERATION_ABORTED && m_pCancel->IsCancelled())
                break;
            TraceErr("(CStogPipeListenThread::Listen)ConnectNamedPipe failed : %s",
                     platform::ErrorText(dwError).c_str());
            if (!ListenerMayRetry(dwError, *m_pCancel))
                break;
            continue;
        }
        platform::HPIPE hConnected = hOffered;
        hOffered = CreateInstance();
        platform::SetPipeReadTimeout(hConnected, platform::ScaledDelay(kPipeIdleClientMs));
        try {
            std::thread worker([this, hConnected] { m_workProc(hConnected); });
            worker.join();
        } catch (const std::system_error& e) {
            TraceErr("(CStogPipeListenThread::Listen)CreateThread failed : %s", e.what());
            platform::FlushPipe(hConnected);
            platform::DisconnectNamedPipe(hConnected);
            platform::ClosePipe(hConnected);
        }
    }
    if (hOffered != platform::INVALID_PIPE_HANDLE)
        platform::ClosePipe(hOffered);
    if (m_pCancel->IsCancelled())
        TraceInf("(CStogPipeListenThread::Listen)Stopped");
}
