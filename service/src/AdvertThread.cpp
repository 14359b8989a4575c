// CAdvertThread: the advert parser and filter.
#include "service/AdvertThread.h"

#include "common/Trace.h"
#include "service/Adverts.h"
#include "service/Requests.h"
#include "service/ThreadData.h"
#include "service/TraceText.h"

#include <vector>

namespace {

// Each advert's handling writes under the thread's loop.
constexpr CTraceName kTraceAsRun("CAdvertThread::Run");

std::string DumpParsed(const CSsdp& ssdp) {
    std::string csDump = "ssdp.m_eMethod = " + std::to_string(int(ssdp.m_eMethod)) + "\n";
    for (int i = 0; i < CSsdp::HEADER_COUNT; ++i) {
        csDump += "ssdp.asHeaders[" + std::to_string(i) +
                  "].bValid = " + std::to_string(ssdp.asHeaders[i].bValid ? 1 : 0) + "\n";
        csDump += "ssdp.asHeaders[" + std::to_string(i) +
                  "].csValue = " + ssdp.asHeaders[i].csValue + "\n";
    }
    csDump += "ssdp.m_csContent = " + ssdp.m_csContent;
    return csDump;
}

} // namespace

CAdvertThread::CAdvertThread(CAdverts* pAdverts, CRequests* pRequests)
    : m_pAdverts(pAdverts), m_pRequests(pRequests) {
    CTraceScope scope("CAdvertThread::CAdvertThread", TRACE_DET);
}

CAdvertThread::~CAdvertThread() {
    CTraceScope scope("CAdvertThread::~CAdvertThread", TRACE_DET);
}

void CAdvertThread::Run() {
    CTraceScope scope("CAdvertThread::Run");
    for (;;)
        RunOnce();
}

void CAdvertThread::RunOnce() {
    SAdvert advert;
    if (m_pAdverts->Remove(advert))
        Handle(advert);
}

bool CAdvertThread::Handle(const SAdvert& advert) {
    if (TraceOn(TRACE_DET))
        kTraceAsRun.Det("Removed advertisement: name=%s; addr=%s; data follows:\n%s",
                        advert.csHostName.c_str(), advert.csIpAddr.c_str(),
                        IndentForTrace(advert.csData).c_str());
    // The parser cuts its text up in place: a scratch copy, NUL-terminated.
    std::vector<char> scratch(advert.csData.c_str(),
                              advert.csData.c_str() + advert.csData.size() + 1);
    if (!m_ssdp.ParseRequest(scratch.data()))
        return false;
    if (TraceOn(TRACE_DET))
        kTraceAsRun.Det("Parsed advertisement:\n%s", IndentForTrace(DumpParsed(m_ssdp)).c_str());
    const ESsdpMethod eMethod = m_ssdp.m_eMethod;
    bool bWanted = false;
    if (eMethod == ESsdpMethod::ALIVE || eMethod == ESsdpMethod::BYEBYE)
        bWanted = m_ssdp.asHeaders[CSsdp::NT].csValue == SSDP_PRINT_SERVICE_URN;
    else if (eMethod == ESsdpMethod::HTTP)
        bWanted = m_ssdp.asHeaders[CSsdp::ST].csValue == SSDP_PRINT_SERVICE_URN;
    if (!bWanted)
        return false;
    SRequest request;
    request.eMethod = eMethod;
    request.csHostName = advert.csHostName;
    request.csIpAddr = advert.csIpAddr;
    request.csUUID = m_ssdp.GetUuid();
    request.csURL = m_ssdp.GetDescriptionUrl(&request.iPort);
    request.csModel = m_ssdp.GetPrinterModel();
    request.csMicrocodeLevel = m_ssdp.GetPrinterMicrocodeLevel();
    request.ulSeqNum = m_ssdp.GetSequenceNumber();
    if (request.csIpAddr.empty() || request.csUUID.empty() || request.csURL.empty() ||
        (request.csModel.empty() && eMethod != ESsdpMethod::BYEBYE))
        return false;
    kTraceAsRun.Inf("Adding advertisement to request list");
    return m_pRequests->Add(request);
}

uint32_t AdvertThreadProc(SThreadData* pData) {
    CTraceScope scope("AdvertThreadProc", TRACE_DET);
    CAdvertThread thread(pData->pAdverts, pData->pRequests);
    thread.Run();
}
