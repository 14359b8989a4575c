// CDiscoverThread: sends "Discover" to the service from a thread of its own,
// while the progress dialog runs, and tells the dialog when the answer came.
#pragma once

#include "platform/pipes.h"

#include <QPointer>
#include <atomic>
#include <memory>
#include <thread>

class CDiscoverThread {
public:
    // The dialog receives OnCloseDialog when the exchange has ended.
    explicit CDiscoverThread(QObject* pDialog);
    ~CDiscoverThread();
    CDiscoverThread(const CDiscoverThread&) = delete;
    CDiscoverThread& operator=(const CDiscoverThread&) = delete;

    bool Start();
    // Ends the exchange at once: the wait for the service's answer is cancelled
    // and the pipe handle closed by the thread.
    void Stop();
    void Join();
    // Whether the service answered "Success" (valid after Join).
    bool Result() const { return m_bResult; }

private:
    void Run();

    QPointer<QObject> m_pDialog;
    std::shared_ptr<platform::PipeCancel> m_pCancel;
    std::atomic<bool> m_bResult{false};
    std::thread m_thread;
};
