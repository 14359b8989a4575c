// CWorkQueue: the design of the adverts queue.
// A first-in first-out list of records under a lock, with an automatic-reset
// event that is signalled while the list holds a record, for one consumer.
//
// The list is bounded: a flood from the network must not grow the service's
// memory without limit. A record beyond the bound is dropped with a warning
// that is written now and then, not once per record.
#pragma once

#include "common/Trace.h"
#include "platform/sync.h"
#include "service/TraceText.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <string>

template <typename T> class CWorkQueue {
public:
    CWorkQueue(const char* pszClass, size_t nBound)
        : m_pszClass(pszClass), m_nBound(nBound), m_event(false, false) {}
    virtual ~CWorkQueue() = default;
    CWorkQueue(const CWorkQueue&) = delete;
    CWorkQueue& operator=(const CWorkQueue&) = delete;

    // Appends a copy; false when the queue is full and the record was dropped.
    bool Add(const T& record) {
        CTraceScope scope(m_csAddName.c_str());
        std::lock_guard lock(m_cs);
        if (m_list.size() >= m_nBound) {
            m_dropWarning.Occurred(scope.Prefixed("Queue full, " + Noun() + " dropped"));
            scope.Result(false);
            return false;
        }
        m_list.push_back(record);
        m_nCount.store(m_list.size(), std::memory_order_relaxed);
        if (TraceOn(TRACE_DET))
            TraceRecord("Add", "Added", record);
        m_event.Set();
        scope.Result(true);
        return true;
    }

    // Blocks until a record is there and moves the oldest out into record.
    bool Remove(T& record) {
        CTraceScope scope(m_csRemoveName.c_str());
        TraceInf("(%s::Remove)Going into wait for items in list", m_pszClass);
        if (m_event.Wait() != platform::WaitResult::Signaled)
            TraceErr("(%s::Remove)Attempt to wait on event failed", m_pszClass);
        std::lock_guard lock(m_cs);
        if (m_list.empty()) {
            // Only a second consumer could get here; the caller waits again.
            scope.Result(false);
            return false;
        }
        record = std::move(m_list.front());
        m_list.pop_front();
        m_nCount.store(m_list.size(), std::memory_order_relaxed);
        if (TraceOn(TRACE_DET))
            TraceRecord("Remove", "Removed", record);
        if (!m_list.empty())
            m_event.Set();
        scope.Result(true);
        return true;
    }

    // A hint without the lock: the count may change at once.
    bool IsEmpty() const {
        bool bEmpty = m_nCount.load(std::memory_order_relaxed) == 0;
        TraceTrc("Exit  (%s::IsEmpty) %s", m_pszClass, bEmpty ? "yes" : "no");
        return bEmpty;
    }
    size_t GetCount() const { return m_nCount.load(std::memory_order_relaxed); }
    size_t GetBound() const { return m_nBound; }

protected:
    // Writes the DET line about a record added or removed.
    virtual void TraceRecord(const char* pszRoutine, const char* pszVerb, const T& record) = 0;
    virtual std::string Noun() const = 0;
    const char* m_pszClass;

private:
    const std::string m_csAddName = std::string(m_pszClass) + "::Add";
    const std::string m_csRemoveName = std::string(m_pszClass) + "::Remove";
    const size_t m_nBound;
    platform::CriticalSection m_cs;
    platform::Event m_event;
    std::deque<T> m_list;
    std::atomic<size_t> m_nCount{0};
    CThrottledWarning m_dropWarning;
};
