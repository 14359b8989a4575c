// The trace lines of the adverts queue.
#include "service/Adverts.h"

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
