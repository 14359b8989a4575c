// CGtosPipeListenThread: the service's listener on the command pipe. It offers
// an instance of the pipe, waits for a GUI to connect, hands the connection to a
// worker thread of its own, so several GUI connections are served at the same
// time. Worker threads are started ahead of their connection.
#pragma once

#include "platform/pipes.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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

    // Serves connections until Stop() is called or the pipe cannot be served
    // at all (no right to it); then waits for its workers and returns. What
    // clients do never ends it: there is no cap on connections but the
    // process's resources, a failure to offer or take one is traced and tried
    // again after a pause, and a connection is handed over with a read
    // time-out of kPipeIdleClientMs, so a silent client is dropped.
    void Listen();
    // From any thread: ends Listen's wait and the pipe waits of every worker
    // (their reads and writes fail with ERROR_OPERATION_ABORTED). Final.
    void Stop();

private:
    // A worker thread. It serves one connection at a time; between connections
    // it waits for the next hand-over, so that starting a thread is not part of
    // a command's round trip. A few idle ones are kept, the others end.
    struct SWorker {
        std::thread thread;
        std::condition_variable cv;
        SGtosPipeWorkData* pData = nullptr; // the hand-over, under m_poolMutex
        bool bEnded = false;                // under m_poolMutex
    };
    static constexpr size_t kIdleWorkers = 4;

    // True when no worker waits for a connection.
    bool NoneIdle();
    // Starts a worker thread, with a connection or idle; false after the error line.
    bool StartWorker(SGtosPipeWorkData* pData);
    void RunWorker(SWorker* pWorker);
    // Hands the connected instance to an idle worker, or to a new one.
    void HandOver(platform::HPIPE hPipe);
    // Joins the workers that have ended; with bAll first ends the idle ones and
    // waits for every worker.
    void JoinWorkers(bool bAll);

    CPrinters* m_pPrinters;
    CAdverts* m_pAdverts;
    CRequests* m_pRequests;
    GtosPipeWorkProc m_workProc;
    std::shared_ptr<platform::PipeCancel> m_pCancel;
    std::mutex m_poolMutex;
    std::list<std::unique_ptr<SWorker>> m_workers; // changed by the listening thread only
    std::vector<SWorker*> m_idle;                  // under m_poolMutex
    bool m_bClosing = false;                       // under m_poolMutex: idle workers end
};
