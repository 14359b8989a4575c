// CStogPipeWorkThread: serves one connection of the service on the GUI's
// notification pipe. It answers every message at once and hands the work to
// the window thread by posting; it touches no window itself.
#pragma once

#include "platform/pipes.h"

class QObject;
struct SNotifyFlags;

class CStogPipeWorkThread {
public:
    // pView receives OnKplUpdated and OnNewPrinter; the flags say what is held.
    CStogPipeWorkThread(platform::HPIPE hPipe, QObject* pView, SNotifyFlags* pFlags);
    // Serves the connection until Quit, a failed read or write, or the
    // service's disconnect; then closes the handle.
    void Work();

private:
    platform::HPIPE m_hPipe;
    QObject* m_pView;
    SNotifyFlags* m_pFlags;
};

uint32_t StogPipeWorkThreadProc(platform::HPIPE hPipe, QObject* pView, SNotifyFlags* pFlags);
