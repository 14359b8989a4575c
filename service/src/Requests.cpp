// CRequests: the requests queue, taken round-robin by advertising address.
#include "service/Requests.h"

#include "common/Trace.h"

#include <mutex>

bool RequestSupersedes(const SRequest& newer, const SRequest& older) {
    return newer.ulSeqNum == 0 || older.ulSeqNum == 0 || newer.ulSeqNum >= older.ulSeqNum;
}

CRequests::CRequests(size_t nBound) : m_nBound(nBound), m_event(false, false) {
    CTraceScope scope("CRequests::CRequests");
}

CRequests::~CRequests() {
    CTraceScope scope("CRequests::~CRequests");
}

std::string CRequests::Key(const SRequest& request) {
    // A byebye and an alive of one printer both count: neither replaces the other.
    return (request.eMethod == ESsdpMethod::BYEBYE ? "B" : "A") + request.csUUID;
}

void CRequests::TraceRequest(const char* pszRoutine, const char* pszVerb, const SRequest& request) {
    TraceDet(
        "(CRequests::%s)%s request:\n       name=%s; addr=%s; UUID=%s; URL=%s; port=%d; seq=%d",
        pszRoutine, pszVerb, request.csHostName.c_str(), request.csIpAddr.c_str(),
        request.csUUID.c_str(), request.csURL.c_str(), int(request.iPort), int(request.ulSeqNum));
}

void CRequests::Counted() {
    m_nWaiting.store(m_waiting.size(), std::memory_order_relaxed);
    m_nBusy.store(size_t(m_nOpen) + m_parked.size(), std::memory_order_relaxed);
}

bool CRequests::OfferTurn(const std::string& csHost, SHost& host) {
    if (host.bInTurn || host.keys.empty() || host.nOpen >= kOpenPerHost)
        return false;
    host.bInTurn = true;
    m_turns.push_back(csHost);
    return true;
}

bool CRequests::Add(const SRequest& request) {
    CTraceScope scope("CRequests::Add");
    std::lock_guard lock(m_cs);
    const std::string csKey = Key(request);
    auto itWaiting = m_waiting.find(csKey);
    if (itWaiting != m_waiting.end()) {
        SRequest& waiting = itWaiting->second.request;
        if (!RequestSupersedes(request, waiting)) {
            if (TraceOn(TRACE_DET))
                TraceRequest("Add", "Older than the one waiting, dropped", request);
            scope.Result(true);
            return true;
        }
        waiting = request;
        if (TraceOn(TRACE_DET))
            TraceRequest("Add", "Replaced waiting", request);
    } else {
        if (m_waiting.size() >= m_nBound) {
            m_dropWarning.Occurred(scope.Prefixed("Queue full, request dropped"));
            scope.Result(false);
            return false;
        }
        m_waiting.emplace(csKey, SSlot{request, 0});
        SHost& host = m_hosts[request.csIpAddr];
        host.keys.push_back(csKey);
        OfferTurn(request.csIpAddr, host);
        if (TraceOn(TRACE_DET))
            TraceRequest("Add", "Added", request);
    }
    Counted();
    if (!m_turns.empty())
        m_event.Set();
    scope.Result(true);
    return true;
}

bool CRequests::Remove(SRequest& request, std::string* pcsHost) {
    CTraceScope scope("CRequests::Remove");
    scope.Inf("Going into wait for items in list");
    if (m_event.Wait() != platform::WaitResult::Signaled)
        scope.Err("Attempt to wait on event failed");
    std::lock_guard lock(m_cs);
    bool bTaken = false;
    while (!bTaken && !m_turns.empty()) {
        const std::string csHost = std::move(m_turns.front());
        m_turns.pop_front();
        auto itHost = m_hosts.find(csHost);
        if (itHost == m_hosts.end())
            continue;
        SHost& host = itHost->second;
        host.bInTurn = false;
        if (host.keys.empty()) {
            if (host.nOpen == 0)
                m_hosts.erase(itHost);
            continue;
        }
        auto itWaiting = m_waiting.find(host.keys.front());
        host.keys.pop_front();
        if (itWaiting == m_waiting.end())
            continue; // cannot happen: every key has its slot
        request = std::move(itWaiting->second.request);
        m_waiting.erase(itWaiting);
        if (pcsHost)
            *pcsHost = csHost;
        ++host.nOpen;
        ++m_nOpen;
        // Back in line behind the others.
        OfferTurn(csHost, host);
        bTaken = true;
    }
    Counted();
    // Several workers wait on one automatic-reset event: wake the next.
    if (!m_turns.empty())
        m_event.Set();
    if (bTaken && TraceOn(TRACE_DET))
        TraceRequest("Remove", "Removed", request);
    scope.Result(bTaken);
    return bTaken;
}

void CRequests::Done(const std::string& csHost) {
    CTraceScope scope("CRequests::Done");
    std::lock_guard lock(m_cs);
    auto itHost = m_hosts.find(csHost);
    if (itHost == m_hosts.end() || itHost->second.nOpen == 0) {
        scope.Err("No open request for address %s", csHost.c_str());
        return;
    }
    SHost& host = itHost->second;
    --host.nOpen;
    --m_nOpen;
    if (OfferTurn(csHost, host))
        m_event.Set();
    else if (host.keys.empty() && host.nOpen == 0 && !host.bInTurn)
        m_hosts.erase(itHost);
    Counted();
}

void CRequests::Park(const SRequest& request) {
    CTraceScope scope("CRequests::Park");
    std::lock_guard lock(m_cs);
    SSlot& slot = m_parked[Key(request)];
    if (slot.uiArrival == 0 || RequestSupersedes(request, slot.request)) {
        slot.request = request;
        slot.uiArrival = ++m_uiArrivals;
    }
    Counted();
}

bool CRequests::TakeParked(const std::string& csUUID, SRequest& request) {
    CTraceScope scope("CRequests::TakeParked");
    std::lock_guard lock(m_cs);
    auto itAlive = m_parked.find("A" + csUUID);
    auto itByeBye = m_parked.find("B" + csUUID);
    auto it = itAlive;
    if (it == m_parked.end() ||
        (itByeBye != m_parked.end() && itByeBye->second.uiArrival < it->second.uiArrival))
        it = itByeBye;
    const bool bFound = it != m_parked.end();
    if (bFound) {
        request = std::move(it->second.request);
        m_parked.erase(it);
    }
    Counted();
    scope.Result(bFound);
    return bFound;
}

bool CRequests::IsEmpty() const {
    bool bEmpty = m_nWaiting.load(std::memory_order_relaxed) == 0;
    TraceTrc("Exit  (CRequests::IsEmpty) %s", bEmpty ? "yes" : "no");
    return bEmpty;
}

bool CRequests::IsIdle() const {
    return m_nWaiting.load(std::memory_order_relaxed) == 0 &&
           m_nBusy.load(std::memory_order_relaxed) == 0;
}
