#include "gui/core/WorkerGate.h"

void CWorkerGate::Pause() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPaused = true;
}

void CWorkerGate::Resume() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bPaused = false;
    }
    m_changed.notify_all();
}

void CWorkerGate::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopped = true;
    }
    m_changed.notify_all();
}

bool CWorkerGate::IsStopped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bStopped;
}

bool CWorkerGate::Checkpoint() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_bPaused || m_bStopped; });
    return !m_bStopped;
}
