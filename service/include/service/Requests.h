// SRequest and CRequests: accepted advertisements waiting for the request thread.
#pragma once

#include "service/Ssdp.h"
#include "service/WorkQueue.h"

#include <cstdint>
#include <string>

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

class CRequests : public CWorkQueue<SRequest> {
public:
    static constexpr size_t kBound = 8192;
    explicit CRequests(size_t nBound = kBound);
    ~CRequests() override;

protected:
    void TraceRecord(const char* pszRoutine, const char* pszVerb, const SRequest& request) override;
    std::string Noun() const override { return "request"; }
};
