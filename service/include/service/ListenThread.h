// CListenThread: the SSDP listener. It receives every datagram of the SSDP
// multicast group and puts it, unparsed, into the adverts queue.
//
// A receive that fails for a passing reason (interrupted, out of buffers, a
// reset reported by the network, no multicast route yet) is traced and the
// listener goes on; only a socket that cannot be used any more ends it.
#pragma once

#include "service/SsdpSocket.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class CAdverts;
struct SThreadData;

class CListenThread {
public:
    explicit CListenThread(CAdverts* pAdverts, int iPort = SSDP_PORT);
    virtual ~CListenThread();
    CListenThread(const CListenThread&) = delete;
    CListenThread& operator=(const CListenThread&) = delete;

    // Listens until the socket fails for good or Stop() is called.
    void Listen();
    // From another thread: ends Listen (tests; the service never stops it).
    void Stop();
    // True for a receive error after which the socket can still be used.
    static bool IsPassingError(uint32_t dwError);

private:
    CAdverts* m_pAdverts;
    int m_iPort;
    std::mutex m_socketMutex; // around m_pSocket
    CSsdpSocket* m_pSocket = nullptr;
    std::atomic<bool> m_bStop{false};
};

// The thread's entry: listens with the block's adverts queue; returns 0 when
// listening has ended.
uint32_t ListenThreadProc(SThreadData* pData);
