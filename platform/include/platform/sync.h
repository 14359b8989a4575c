// Synchronisation: the named machine-wide mutex, events and locks.
//
// A named mutex is shared by every process of the machine that opens the same
// name. It is owned by a thread, may be taken again by its owner (each Wait
// needs a Release), and is freed when the owning process dies.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

constexpr uint32_t INFINITE = 0xFFFFFFFF;

enum class WaitResult {
    Signaled, // WAIT_OBJECT_0
    Timeout,  // WAIT_TIMEOUT
    Failed,   // WAIT_FAILED; last error set
};

class NamedMutex {
public:
    // Creates or opens the mutex of this name (CreateMutex without initial owner).
    // IsValid() is false (last error set) when it cannot be made.
    explicit NamedMutex(const std::string& csName);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    bool IsValid() const { return m_state != nullptr; }
    WaitResult Wait(uint32_t dwMilliseconds = INFINITE);
    // False with ERROR_ACCESS_DENIED when the calling thread does not own the
    // mutex (Win32's 288 reads as that number on every system).
    bool Release();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// Holds a named mutex for one scope.
class NamedMutexLock {
public:
    explicit NamedMutexLock(NamedMutex& mutex) : m_mutex(mutex) {
        m_bOwned = m_mutex.Wait() == WaitResult::Signaled;
    }
    ~NamedMutexLock() {
        if (m_bOwned)
            m_mutex.Release();
    }
    bool Owned() const { return m_bOwned; }
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;

private:
    NamedMutex& m_mutex;
    bool m_bOwned;
};

// An event of one process, with manual or automatic reset.
class Event {
public:
    Event(bool bManualReset, bool bInitialState);
    void Set();
    void Reset();
    // An automatic-reset event is reset by the wait that it releases.
    WaitResult Wait(uint32_t dwMilliseconds = INFINITE);
    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    const bool m_bManualReset;
    bool m_bSignaled;
};

// A lock of one process that its owning thread may take again (a critical section).
class CriticalSection {
public:
    void Enter() { m_mutex.lock(); }
    bool TryEnter() { return m_mutex.try_lock(); }
    void Leave() { m_mutex.unlock(); }
    // For std::lock_guard and std::unique_lock.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex m_mutex;
};

} // namespace platform
