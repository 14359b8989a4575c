// SAdvert and CAdverts: received SSDP datagrams on their way from the listener
// (and from a discovery run's search) to the advert thread.
#pragma once

#include "service/WorkQueue.h"

#include <string>

struct SAdvert {
    std::string csHostName; // from the reverse look-up, empty if none
    std::string csIpAddr;   // the sender, dotted
    std::string csData;     // the datagram text
};

class CAdverts : public CWorkQueue<SAdvert> {
public:
    // Room for a large site announcing at once; a datagram is kept in about
    // 500 bytes, so about 32 MB at the bound.
    static constexpr size_t kBound = 65536;
    explicit CAdverts(size_t nBound = kBound);
    ~CAdverts() override;

protected:
    void TraceRecord(const char* pszRoutine, const char* pszVerb, const SAdvert& advert) override;
    std::string Noun() const override { return "advert"; }
};
