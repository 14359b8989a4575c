// A worker's gate: the window pauses, resumes or stops a worker thread, and the
// worker honours it at points where it holds nothing half-done. Nothing is
// ever suspended from outside.
#pragma once

#include <condition_variable>
#include <mutex>

class CWorkerGate {
public:
    void Pause();
    void Resume();
    // Ends the work: a paused worker wakes, and every later checkpoint says stop.
    void Stop();
    bool IsStopped() const;

    // The worker's checkpoint: waits while the gate is paused; false once the
    // work is to stop.
    bool Checkpoint();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bPaused = false;
    bool m_bStopped = false;
};
