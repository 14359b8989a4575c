// CGtosPipeListenThread: the service's listener on the command pipe. It offers
// an instance of the pipe, waits for a GUI to connect, hands the connection to a
// worker thread of its own, so several GUI connections are served at the same
// time. The next instance is offered before a connection is handed over.
#pragma once

#include "platform/pipes.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

class CPrinters;
class CAdverts;
class CRequests;

// What the listener hands to the worker of one connection, in this order. The
// worker owns it: it serves the connection, flushes, disconnects and closes the
// pipe, and deletes the block.
struct SGtosPipeWorkData {
    CPrinters* pPrinters;
    CAdverts* pAdverts;
    CRequests* pRequests;
    platform::HPIPE hPipe;
};

// The worker procedure, run in a thread per connection: the service's command
// server (GtosPipeWorkThreadProc).
using GtosPipeWorkProc = std::function<uint32_t(SGtosPipeWorkData* pData)>;

class CGtosPipeListenThread {
public:
    CGtosPipeListenThread(CPrinters* pPrinters, CAdverts* pAdverts, CRequests* pRequests,
                          GtosPipeWorkProc workProc);
    // Waits for the workers that are still running (Stop() ends their waits).
    virtual ~CGtosPipeListenThread();
    CGtosPipeListenThread(const CGtosPipeListenThread&) = delete;
    CGtosPipeListenThread& operator=(const CGtosPipeListenThread&) = delete;

    // Serves connections until an instance cannot be created or connected, or
    // Stop() is called; then waits for its workers and returns.
    void Listen();
    // From any thread: ends Listen's wait and the pipe waits of every worker
    // (their reads and writes fail with ERROR_OPERATION_ABORTED). Final.
    void Stop();

private:
    struct SWorker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> pDone;
    };
    // A new instance of the pipe, or INVALID_PIPE_HANDLE after the error line.
    platform::HPIPE CreateInstance();
    // Hands the connected instance to a new worker thread.
    void StartWorker(platform::HPIPE hPipe);
    // Joins the workers that have ended (all of them with bAll, waiting).
    void JoinWorkers(bool bAll);

    CPrinters* m_pPrinters;
    CAdverts* m_pAdverts;
    CRequests* m_pRequests;
    GtosPipeWorkProc m_workProc;
    std::shared_ptr<platform::PipeCancel> m_pCancel;
    std::list<SWorker> m_workers; // used by the listening thread only
};
