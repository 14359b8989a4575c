// CStogPipeListenThread: the GUI's listener on the notification pipe. One worker
// at a time serves a connection to its end; the listener waits for it before it
// takes the next connection, so notifications are handled one at a time and in
// the order they came. The next instance is offered meanwhile: a notification
// that comes while another is served is taken and waits for its turn.
#pragma once

#include "platform/pipes.h"

#include <functional>
#include <memory>

// The worker procedure, run in a thread per connection: the GUI's notification
// handler (StogPipeWorkThreadProc). It serves the connection, then flushes,
// disconnects and closes the pipe.
using StogPipeWorkProc = std::function<uint32_t(platform::HPIPE hPipe)>;

class CStogPipeListenThread {
public:
    explicit CStogPipeListenThread(StogPipeWorkProc workProc);
    virtual ~CStogPipeListenThread();
    CStogPipeListenThread(const CStogPipeListenThread&) = delete;
    CStogPipeListenThread& operator=(const CStogPipeListenThread&) = delete;

    // Serves connections until Stop() is called or the pipe cannot be served
    // at all (no right to it). A failure to offer or take a connection is
    // traced and tried again after a pause; a connection is served with a read
    // time-out of kPipeIdleClientMs, so a silent client holds nothing up.
    void Listen();
    // From any thread: ends Listen's wait and the running worker's pipe waits. Final.
    void Stop();

private:
    StogPipeWorkProc m_workProc;
    std::shared_ptr<platform::PipeCancel> m_pCancel;
};
