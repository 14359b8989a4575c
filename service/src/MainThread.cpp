// CMainThread: the service's main object.
#include "service/MainThread.h"

#include "common/Trace.h"

#include <chrono>
#include <thread>

void CMainThread::Start() {
    CTraceScope scope("CMainThread::Start");
    // The service lives until a stop request ends the process.
    for (;;)
        std::this_thread::sleep_for(std::chrono::minutes(5));
}
