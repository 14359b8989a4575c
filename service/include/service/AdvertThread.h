// CAdvertThread: the advert parser. It takes datagrams out of the adverts
// queue, parses them, keeps those about the printers' print service (the exact
// service type URN) and puts one request for each into the requests queue.
#pragma once

#include "service/Ssdp.h"

#include <cstdint>

class CAdverts;
class CRequests;
struct SAdvert;
struct SThreadData;

class CAdvertThread {
public:
    CAdvertThread(CAdverts* pAdverts, CRequests* pRequests);
    virtual ~CAdvertThread();
    CAdvertThread(const CAdvertThread&) = delete;
    CAdvertThread& operator=(const CAdvertThread&) = delete;

    // Works adverts off forever.
    [[noreturn]] void Run();
    // One advert: waits for it and handles it.
    void RunOnce();
    // Parses and filters one advert; true when a request was queued.
    bool Handle(const SAdvert& advert);

private:
    CAdverts* m_pAdverts;
    CRequests* m_pRequests;
    CSsdp m_ssdp;
};

uint32_t AdvertThreadProc(SThreadData* pData);
