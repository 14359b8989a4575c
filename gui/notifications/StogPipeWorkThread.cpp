#include "gui/notifications/StogPipeWorkThread.h"

#include "common/PipeMessage.h"
#include "common/StogPipeComm.h"
#include "common/Trace.h"
#include "gui/notifications/NotifyFlags.h"

#include <QMetaObject>
#include <QObject>

CStogPipeWorkThread::CStogPipeWorkThread(platform::HPIPE hPipe, QObject* pView,
                                         SNotifyFlags* pFlags)
    : m_hPipe(hPipe), m_pView(pView), m_pFlags(pFlags) {}

void CStogPipeWorkThread::Work() {
    CTraceScope scope("CStogPipeWorkThread::Work");
    for (std::string csData; ReadPipeMessage(m_hPipe, &csData);) {
        CStogPipeComm comm;
        const char* pszReply = CStogPipeComm::kAnswerSuccess;
        const EStogNotification eNotification = comm.ParseData(csData);
        if (eNotification == eStogQuit) {
            scope.Inf("Received Quit command, quitting");
            break;
        }
        switch (eNotification) {
        case eStogKplUpdated:
            scope.Inf("Received KPL updated command");
            if (m_pFlags->m_bHoldKplUpdates) {
                scope.Inf("Skipping KPL updated command");
            } else {
                scope.Inf("Posting KPL updated command");
                QMetaObject::invokeMethod(m_pView, "OnKplUpdated", Qt::QueuedConnection);
            }
            break;
        case eStogAddingIcons:
            scope.Inf("Received adding icons command");
            if (QObject* pDialog = m_pFlags->m_pProcessingDlg.exchange(nullptr))
                QMetaObject::invokeMethod(pDialog, "OnAddingIcons", Qt::QueuedConnection);
            break;
        case eStogNewPrinter:
            scope.Inf("Received new printer command");
            if (m_pFlags->m_bHoldNewPrinters) {
                m_pFlags->m_bNewPrinterHeld = true;
                scope.Inf("Skipping new printer command");
            } else {
                scope.Inf("Posting new printer command");
                QMetaObject::invokeMethod(m_pView, "OnNewPrinter", Qt::QueuedConnection);
            }
            break;
        default:
            scope.Wrn("Received unknown command");
            pszReply = CStogPipeComm::kAnswerUnknown;
            break;
        }
        if (!WritePipeMessage(m_hPipe, pszReply)) {
            scope.Err("Write to pipe failed, quitting");
            break;
        }
    }
    platform::FlushPipe(m_hPipe);
    platform::DisconnectNamedPipe(m_hPipe);
    platform::ClosePipe(m_hPipe);
}

uint32_t StogPipeWorkThreadProc(platform::HPIPE hPipe, QObject* pView, SNotifyFlags* pFlags) {
    CStogPipeWorkThread(hPipe, pView, pFlags).Work();
    return 0;
}
