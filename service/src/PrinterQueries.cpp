// The printer queries of CRequestThread: the device description (HTTP GET)
// and the configuration word (SOAP QueryStateVariable), and their parsers.
#include "service/RequestThread.h"

#include "common/Trace.h"
#include "platform/clock.h"
#include "service/HttpSocket.h"
#include "service/TraceText.h"
#include "service/UpnpAnswers.h"
#include "service/Xml.h"

#include <chrono>
#include <cstring>
#include <strings.h>

namespace {

constexpr int kReceiveChunk = 4096;

const char kSoapBody[] =
    "<s:Envelope\r\n"
    "    xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"\r\n"
    "    s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
    "  <s:Body>\r\n"
    "    <u:QueryStateVariable xmlns:u=\"urn:schemas-upnp-org:control-1-0\">\r\n"
    "      <u:varName>X_Config1</u:varName>\r\n"
    "    </u:QueryStateVariable>\r\n"
    "  </s:Body>\r\n"
    "</s:Envelope>\r\n";

// The next token from nPos: leading separators skipped, the token ends at the
// next separator, and nPos moves behind that separator (or to the end).
bool NextToken(const std::string& csData, size_t& nPos, const char* pszSeparators,
               std::string* pcsToken) {
    size_t nStart = csData.find_first_not_of(pszSeparators, nPos);
    if (nStart == std::string::npos) {
        nPos = csData.size();
        return false;
    }
    // A zero byte ends the text as it would end a C string.
    size_t nZero = csData.find('\0', nPos);
    if (nZero != std::string::npos && nZero <= nStart)
        return false;
    size_t nEnd = csData.find_first_of(pszSeparators, nStart);
    if (nZero != std::string::npos && (nEnd == std::string::npos || nZero < nEnd)) {
        // The token ends the text: nothing follows it.
        *pcsToken = csData.substr(nStart, nZero - nStart);
        nPos = nZero;
        return true;
    }
    *pcsToken = csData.substr(nStart, nEnd == std::string::npos ? nEnd : nEnd - nStart);
    nPos = nEnd == std::string::npos ? csData.size() : nEnd + 1;
    return true;
}

} // namespace

std::string CRequestThread::BuildDescriptionRequest(const SRequest& request) {
    return "GET " + request.csURL + " HTTP/1.1\r\nHOST: " + request.csIpAddr + ":" +
           std::to_string(request.iPort) + "\r\n\r\n";
}

std::string CRequestThread::BuildStateVariableRequest(const std::string& csStateVarURL,
                                                      int32_t iStateVarPort,
                                                      const SRequest& request) {
    const size_t nBodyLength = sizeof kSoapBody - 1;
    return "POST " + csStateVarURL + " HTTP/1.1\r\nHOST: " + request.csIpAddr + ":" +
           std::to_string(iStateVarPort) + "\r\nCONTENT-LENGTH: " + std::to_string(nBodyLength) +
           "\r\nCONTENT-TYPE: text/xml; charset=\"utf-8\"\r\n"
           "SOAPACTION: \"urn:schemas-upnp-org:control-1-0#QueryStateVariable\"\r\n\r\n" +
           kSoapBody + "\r\n";
}

bool CRequestThread::ReadAnswer(CHttpSocket& socket, const CTraceName& name, std::string* pcsData) {
    pcsData->clear();
    char szBuffer[kReceiveChunk];
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(platform::ScaledDelay(kAnswerTimeLimitMs));
    for (;;) {
        int n = socket.Receive(szBuffer, kReceiveChunk);
        if (n <= 0)
            break;
        if (pcsData->size() + size_t(n) > kMaxAnswerSize) {
            name.Err("Answer larger than %u bytes refused", unsigned(kMaxAnswerSize));
            pcsData->clear();
            return false;
        }
        pcsData->append(szBuffer, size_t(n));
        if (std::chrono::steady_clock::now() >= deadline) {
            name.Wrn("Answer still not complete after %u ms; reading stops",
                     unsigned(platform::ScaledDelay(kAnswerTimeLimitMs)));
            break;
        }
    }
    if (TraceOn(TRACE_DET))
        name.Det("Total data received:\n%s", IndentForTrace(*pcsData).c_str());
    return true;
}

bool CRequestThread::Query(const CTraceName& name, const std::string& csAddress, int32_t iPort,
                           const std::string& csRequest, std::string* pcsData) {
    pcsData->clear();
    CHttpSocket socket;
    if (!socket.Init(csAddress, iPort))
        return false;
    if (TraceOn(TRACE_DET))
        name.Det("Data sent:\n%s", IndentForTrace(csRequest).c_str());
    if (!socket.Send(csRequest))
        return false;
    return ReadAnswer(socket, name, pcsData);
}

bool CRequestThread::GetDeviceDescription(const SRequest& request, std::string* pcsData) {
    CTraceScope scope("CRequestThread::GetDeviceDescription");
    bool bOk =
        Query(scope, request.csIpAddr, request.iPort, BuildDescriptionRequest(request), pcsData);
    scope.Result(bOk);
    return bOk;
}

bool CRequestThread::GetStateVariable(const std::string& csStateVarURL, int32_t iStateVarPort,
                                      const SRequest& request, std::string* pcsData) {
    CTraceScope scope("CRequestThread::GetStateVariable");
    bool bOk = Query(scope, request.csIpAddr, iStateVarPort,
                     BuildStateVariableRequest(csStateVarURL, iStateVarPort, request), pcsData);
    scope.Result(bOk);
    return bOk;
}

size_t CRequestThread::CheckHttpReturnCode(const std::string& csData) {
    CTraceScope scope("CRequestThread::CheckHttpReturnCode");
    size_t nPos = 0;
    std::string csVersion, csCode, csReason;
    if (!NextToken(csData, nPos, " \t\n", &csVersion) ||
        csVersion.find("HTTP/1.") == std::string::npos || !NextToken(csData, nPos, " ", &csCode) ||
        csCode != "200" || !NextToken(csData, nPos, " \t\r", &csReason) ||
        strcasecmp(csReason.c_str(), "OK") != 0) {
        scope.Result(false);
        return std::string::npos;
    }
    scope.Result(true);
    return nPos;
}

// An answer's body after a good status line, parsed into pXml and dumped to
// the trace under the routine's name; false for a failed status.
bool CRequestThread::ParseAnswerBody(const CTraceName& name, const std::string& csData,
                                     CXml* pXml) {
    size_t nPos = CheckHttpReturnCode(csData);
    if (nPos == std::string::npos)
        return false;
    const char* pszPos = csData.c_str() + nPos;
    pXml->Parse(&pszPos);
    name.Det("PARSED DATA:");
    pXml->Dump();
    name.Det("END PARSED DATA");
    return true;
}

bool CRequestThread::ParseDeviceDescription(const std::string& csData, std::string* pcsStateVarURL,
                                            int32_t* piStateVarPort) {
    CTraceScope scope("CRequestThread::ParseDeviceDescription");
    CXml xml;
    if (!ParseAnswerBody(scope, csData, &xml)) {
        scope.Result(false);
        return false;
    }
    *pcsStateVarURL = StateVariableUrl(xml.GetRoot(), piStateVarPort);
    bool bOk = !pcsStateVarURL->empty();
    scope.Result(bOk);
    return bOk;
}

bool CRequestThread::ParseStateVariable(const std::string& csData, uint32_t* puiConfig1Var) {
    CTraceScope scope("CRequestThread::ParseStateVariable");
    CXml xml;
    if (!ParseAnswerBody(scope, csData, &xml)) {
        scope.Result(false);
        return false;
    }
    *puiConfig1Var = ReturnWord(xml.GetRoot());
    scope.Result(true);
    return true;
}
