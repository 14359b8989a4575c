#include "gui/printerlist/DiscoverThread.h"

#include "common/GtosPipeComm.h"
#include "common/Trace.h"

#include <QMetaObject>
#include <system_error>

CDiscoverThread::CDiscoverThread(QObject* pDialog)
    : m_pDialog(pDialog), m_pCancel(std::make_shared<platform::PipeCancel>()) {}

CDiscoverThread::~CDiscoverThread() {
    Stop();
    Join();
}

bool CDiscoverThread::Start() {
    const CTraceName trace("CDiscoverThread::Start");
    try {
        m_thread = std::thread([this] { Run(); });
        return true;
    } catch (const std::system_error& e) {
        trace.Err("CreateThread failed : %s", e.what());
        return false;
    }
}

void CDiscoverThread::Stop() {
    m_pCancel->Cancel();
}

void CDiscoverThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void CDiscoverThread::Run() {
    CTraceScope scope("CDiscoverThread::Run");
    CGtosPipeComm comm;
    // The command is sent on a handle that a confirmed Cancel can interrupt.
    if (comm.InitializeGuiEndOfPipe()) {
        platform::SetPipeCancel(comm.m_hPipe, m_pCancel);
        if (!m_pCancel->IsCancelled())
            m_bResult = comm.SendCmdToService(CGtosPipeComm::kCmdDiscover);
    }
    if (QObject* pDialog = m_pDialog.data())
        QMetaObject::invokeMethod(pDialog, "OnCloseDialog", Qt::QueuedConnection);
}
