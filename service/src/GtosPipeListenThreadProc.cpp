// The command pipe's listener thread.
#include "service/GtosPipeListenThreadProc.h"

#include "common/GtosPipeListenThread.h"
#include "common/Trace.h"
#include "service/GtosPipeWorkThread.h"
#include "service/ThreadData.h"

uint32_t GtosPipeListenThreadProc(SThreadData* pData) {
    CTraceScope scope("GtosPipeListenThreadProc", TRACE_DET);
    CGtosPipeListenThread listener(pData->pPrinters, pData->pAdverts, pData->pRequests,
                                   GtosPipeWorkThreadProc);
    listener.Listen();
    return 0;
}
