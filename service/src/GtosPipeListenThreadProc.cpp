// The command pipe's listener thread.
#include "service/GtosPipeListenThreadProc.h"

#include "common/Trace.h"
#include "service/ThreadData.h"

#include <mutex>

namespace {

std::mutex g_workProcMutex;
GtosPipeWorkProc g_workProc;

} // namespace

void SetGtosPipeWorkProc(GtosPipeWorkProc workProc) {
    std::lock_guard lock(g_workProcMutex);
    g_workProc = std::move(workProc);
}

uint32_t GtosPipeListenThreadProc(SThreadData* pData) {
    CTraceScope scope("GtosPipeListenThreadProc", TRACE_DET);
    GtosPipeWorkProc workProc;
    {
        std::lock_guard lock(g_workProcMutex);
        workProc = g_workProc;
    }
    if (!workProc) {
        TraceWrn("(GtosPipeListenThreadProc)No command server; the command pipe is not offered");
        return 0;
    }
    CGtosPipeListenThread listener(pData->pPrinters, pData->pAdverts, pData->pRequests, workProc);
    listener.Listen();
    return 0;
}
