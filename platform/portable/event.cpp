// Events of one process over std primitives, the same on every system.
#include "platform/sync.h"

#include <chrono>

namespace platform {

Event::Event(bool bManualReset, bool bInitialState)
    : m_bManualReset(bManualReset), m_bSignaled(bInitialState) {}

void Event::Set() {
    std::lock_guard lock(m_mutex);
    m_bSignaled = true;
    if (m_bManualReset)
        m_cv.notify_all();
    else
        m_cv.notify_one();
}

void Event::Reset() {
    std::lock_guard lock(m_mutex);
    m_bSignaled = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_bSignaled;
}

WaitResult Event::Wait(uint32_t dwMilliseconds) {
    std::unique_lock lock(m_mutex);
    auto signaled = [&] { return m_bSignaled; };
    if (dwMilliseconds == INFINITE)
        m_cv.wait(lock, signaled);
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), signaled))
        return WaitResult::Timeout;
    if (!m_bManualReset)
        m_bSignaled = false;
    return WaitResult::Signaled;
}

} // namespace platform
