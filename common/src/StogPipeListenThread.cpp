// The GUI's notification-pipe listener: one connection at a time, in order.
#include "common/StogPipeListenThread.h"

#include "common/PipeAcceptLoop.h"
#include "common/PipeMessage.h"
#include "common/Trace.h"

#include <system_error>
#include <thread>

CStogPipeListenThread::CStogPipeListenThread(StogPipeWorkProc workProc)
    : m_workProc(std::move(workProc)), m_pCancel(std::make_shared<platform::PipeCancel>()) {}

CStogPipeListenThread::~CStogPipeListenThread() = default;

void CStogPipeListenThread::Stop() {
    m_pCancel->Cancel();
}

void CStogPipeListenThread::Listen() {
    CTraceScope scope("CStogPipeListenThread::Listen");
    // One connection at a time: the worker is waited for before the next is taken.
    AcceptPipeConnections(
        {kStogPipeName, platform::PipeAccess::Default, "CStogPipeListenThread::Listen"}, m_pCancel,
        [this, &scope](platform::HPIPE hConnected) {
            try {
                std::thread worker([this, hConnected] { m_workProc(hConnected); });
                worker.join();
            } catch (const std::system_error& e) {
                scope.Err("CreateThread failed : %s", e.what());
                platform::FlushPipe(hConnected);
                platform::DisconnectNamedPipe(hConnected);
                platform::ClosePipe(hConnected);
            }
        });
}
