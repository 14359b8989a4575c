// CMainThread: the service's single main object, whose Start runs the service
// for as long as it lives.
//
// Start is where the service's work grows (loading the known printer list,
// the worker threads, the spooler restart). For now it keeps the running
// service alive and does nothing else.
#pragma once

class CMainThread {
public:
    virtual ~CMainThread() = default;
    // Runs the service; returns only when the service cannot run.
    void Start();
};
