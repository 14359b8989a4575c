// The accept loop of both pipe listeners: the service's on the command pipe
// and the GUI's on the notification pipe.
#pragma once

#include "platform/pipes.h"

#include <functional>
#include <memory>

// The pipe a listener serves, and its name in the trace.
struct SPipeListenerSpec {
    const char* pszPipeName;
    platform::PipeAccess access;
    const char* pszTraceName; // "CGtosPipeListenThread::Listen"
};

// Offers instances of the pipe and hands each connected one to serve(), with a
// read time-out of kPipeIdleClientMs, until the cancel is set or the pipe cannot
// be served at all (no right to it, a bad name). What clients do never ends
// it: a failure to offer or take a connection is traced and tried again after
// a pause. The next instance is offered before the connected one is handed
// over, so the pipe never reads as absent between two connections (a GUI would
// take that for a service that does not run) and a client that comes meanwhile
// is taken and waits for its turn. onOffered, when given, runs each time a new
// instance is offered.
void AcceptPipeConnections(const SPipeListenerSpec& spec,
                           const std::shared_ptr<platform::PipeCancel>& pCancel,
                           const std::function<void(platform::HPIPE)>& serve,
                           const std::function<void()>& onOffered = nullptr);
