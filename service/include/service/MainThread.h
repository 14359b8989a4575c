// CMainThread: the service's single main object. It owns the adverts queue,
// the requests queue and the known printer list, loads the list when the
// service starts, starts the worker threads (SSDP listener, command-pipe
// listener, advert parser, the pool of request workers, KPL writer) and then
// keeps the service's main thread alive.
#pragma once

#include "common/Printers.h"
#include "service/Adverts.h"
#include "service/Requests.h"
#include "service/ThreadData.h"

#include <atomic>
#include <cstdint>

class CMainThread {
public:
    // How long a stop waits at most for a pending write of the list.
    static constexpr uint32_t kStopFlushLimitMs = 5000;

    CMainThread();
    virtual ~CMainThread();
    CMainThread(const CMainThread&) = delete;
    CMainThread& operator=(const CMainThread&) = delete;

    // Prepares and runs the service; returns only when the KPL cannot be read.
    void Start();
    // The main thread's endless loop.
    [[noreturn]] void Run();

    // At a stop: writes a change of the list that the writer has not stored
    // yet, waiting at most dwLimitMs. True when nothing is left unwritten.
    bool FlushPendingWrite(uint32_t dwLimitMs = kStopFlushLimitMs);

    CPrinters& Printers() { return m_printers; }

private:
    SThreadData m_threadData;
    CAdverts m_adverts;
    CRequests m_requests;
    CPrinters m_printers;
    std::atomic<bool> m_bWorking{false}; // the list is loaded and the workers run
};
