// The trace lines of the two work queues.
#include "service/Adverts.h"
#include "service/Requests.h"

CAdverts::CAdverts(size_t nBound) : CWorkQueue<SAdvert>("CAdverts", nBound) {
    CTraceScope scope("CAdverts::CAdverts");
}

CAdverts::~CAdverts() {
    CTraceScope scope("CAdverts::~CAdverts");
}

void CAdverts::TraceRecord(const char* pszRoutine, const char* pszVerb, const SAdvert& advert) {
    TraceDet("(CAdverts::%s)%s advert: name=%s; addr=%s; data follows\n%s", pszRoutine, pszVerb,
             advert.csHostName.c_str(), advert.csIpAddr.c_str(),
             IndentForTrace(advert.csData).c_str());
}

CRequests::CRequests(size_t nBound) : CWorkQueue<SRequest>("CRequests", nBound) {
    CTraceScope scope("CRequests::CRequests");
}

CRequests::~CRequests() {
    CTraceScope scope("CRequests::~CRequests");
}

void CRequests::TraceRecord(const char* pszRoutine, const char* pszVerb, const SRequest& request) {
    TraceDet(
        "(CRequests::%s)%s request:\n       name=%s; addr=%s; UUID=%s; URL=%s; port=%d; seq=%d",
        pszRoutine, pszVerb, request.csHostName.c_str(), request.csIpAddr.c_str(),
        request.csUUID.c_str(), request.csURL.c_str(), int(request.iPort), int(request.ulSeqNum));
}
