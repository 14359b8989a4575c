// SRequest and CRequests: accepted advertisements waiting for the request workers.
//
// CRequests is fair to every sender: each advertising address has a queue of
// its own, the workers take from the addresses in turn, and at most
// kOpenPerHost requests of one address are worked on at a time, so a host that
// announces thousands of UUIDs gets one share of the workers and cannot hold
// them all. A request for a UUID (and kind: byebye or not) that is already
// waiting takes the waiting one's place instead of a second slot, so a
// repeating flood of the same printers cannot fill the queue.
//
// It also keeps the requests that found their printer being processed by
// another worker (Park): the newest per UUID and kind, run by that worker when
// it is done (TakeParked).
#pragma once

#include "platform/sync.h"
#include "service/Ssdp.h"
#include "service/TraceText.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

struct SRequest {
    ESsdpMethod eMethod = ESsdpMethod::INVALID; // ALIVE, BYEBYE or HTTP
    std::string csHostName;
    std::string csIpAddr;
    std::string csUUID;
    std::string csURL; // description path, beginning with "/"
    std::string csModel;
    std::string csMicrocodeLevel;
    uint32_t ulSeqNum = 0;
    int32_t iPort = 80; // HTTP port of the description
};

// True when newer may take older's place: it is not older by sequence number
// (0 means none and is never older).
bool RequestSupersedes(const SRequest& newer, const SRequest& older);

class CRequests {
public:
    // Waiting requests at most: room for a large site announcing at once. At
    // the bound a request takes about 500 bytes, so about 32 MB in all.
    static constexpr size_t kBound = 65536;
    // Requests of one advertising address that are worked on at a time.
    static constexpr int kOpenPerHost = 2;

    explicit CRequests(size_t nBound = kBound);
    virtual ~CRequests();
    CRequests(const CRequests&) = delete;
    CRequests& operator=(const CRequests&) = delete;

    // Queues a copy, or replaces the waiting request of the same UUID and kind;
    // false when the queue is full and the request was dropped.
    bool Add(const SRequest& request);
    // Blocks until a request may be taken and moves it out: the next address
    // in turn whose open requests are below kOpenPerHost, its oldest request.
    // False when woken with nothing to take (the caller waits again). Each
    // request taken is handed back with Done when its work has ended, with the
    // address it was taken from (pcsHost; a request that replaced a waiting one
    // from another address keeps that one's place).
    bool Remove(SRequest& request, std::string* pcsHost = nullptr);
    // The work on a request taken from csHost has ended.
    void Done(const std::string& csHost);

    // Keeps a request whose printer another worker processes, unless a newer
    // one of the same UUID and kind is kept already.
    void Park(const SRequest& request);
    // The oldest request kept for the UUID, if any.
    bool TakeParked(const std::string& csUUID, SRequest& request);

    // Hints without the lock: the counts may change at once.
    bool IsEmpty() const; // nothing waiting
    // Nothing waiting, kept, or being worked on.
    bool IsIdle() const;
    size_t GetCount() const { return m_nWaiting.load(std::memory_order_relaxed); }
    size_t GetBound() const { return m_nBound; }

private:
    struct SSlot {
        SRequest request;
        uint64_t uiArrival = 0; // order among the kept requests
    };
    struct SHost {
        std::deque<std::string> keys; // waiting, oldest first
        int nOpen = 0;
        bool bInTurn = false; // in m_turns
    };
    static std::string Key(const SRequest& request);
    static void TraceRequest(const char* pszRoutine, const char* pszVerb, const SRequest& request);
    // Puts the host in line when it has work and room; true when it did.
    bool OfferTurn(const std::string& csHost, SHost& host);
    void Counted();

    const size_t m_nBound;
    platform::CriticalSection m_cs;
    platform::Event m_event; // automatic reset: a request may be taken
    std::unordered_map<std::string, SSlot> m_waiting;
    std::unordered_map<std::string, SHost> m_hosts;
    std::deque<std::string> m_turns; // hosts that may give a request, in turn
    std::unordered_map<std::string, SSlot> m_parked;
    uint64_t m_uiArrivals = 0;
    int m_nOpen = 0;
    std::atomic<size_t> m_nWaiting{0};
    std::atomic<size_t> m_nBusy{0}; // open plus kept
    CThrottledWarning m_dropWarning;
};
