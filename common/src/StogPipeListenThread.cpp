// The GUI's notification-pipe listener: one connection at a time, in order.
#include "common/StogPipeListenThread.h"

#include "common/PipeMessage.h"
#include "common/Trace.h"
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
    platform::HPIPE hOffered = CreateInstance();
    while (hOffered != platform::INVALID_PIPE_HANDLE) {
        if (!platform::ConnectNamedPipe(hOffered) &&
            platform::GetLastError() != platform::ERROR_PIPE_CONNECTED) {
            const uint32_t dwError = platform::GetLastError();
            platform::ClosePipe(hOffered);
            if (dwError == platform::ERROR_OPERATION_ABORTED && m_pCancel->IsCancelled()) {
                TraceInf("(CStogPipeListenThread::Listen)Stopped");
            } else {
                TraceErr("(CStogPipeListenThread::Listen)ConnectNamedPipe failed : %s",
                         platform::ErrorText(dwError).c_str());
            }
            break;
        }
        platform::HPIPE hConnected = hOffered;
        hOffered = CreateInstance();
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
}
