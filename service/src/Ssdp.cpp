// SSDP datagrams: request line, header table, required headers per kind, and
// the values the service takes out of them. The datagram text comes from any
// host on the network, so every scan stops at the terminating NUL.
#include "service/Ssdp.h"

#include "common/Trace.h"
#include "service/Decimal.h"

#include <cstring>
#include <iterator>
#include <strings.h>

namespace {

const char* const s_apszMethods[CSsdp::METHOD_COUNT] = {"NOTIFY", "HTTP/1.1", "ALIVE", "BYEBYE",
                                                        "INVALID"};

const char* const s_apszHeaderNames[CSsdp::HEADER_COUNT] = {
    "Host", "Cache-Control",        "Location", "NT", "NTS", "Server",
    "USN",  "X-ZANTOR-UPNP-SEQNUM", "Man",      "MX", "ST",  "Date",
    "EXT",  "Content-Length"};

bool IsSeparator(char c, const char* pszSeparators) {
    return c != '\0' && std::strchr(pszSeparators, c) != nullptr;
}

// In-place tokenizer: skips leading separators, ends the token at the next
// separator and overwrites that with NUL. *ppszPos moves behind the NUL, or
// stays on the terminating NUL when the token ran to the end of the text.
char* NextToken(char** ppszPos, const char* pszSeparators) {
    char* p = *ppszPos;
    while (IsSeparator(*p, pszSeparators))
        ++p;
    if (*p == '\0') {
        *ppszPos = p;
        return nullptr;
    }
    char* pszToken = p;
    while (*p != '\0' && !IsSeparator(*p, pszSeparators))
        ++p;
    if (*p != '\0')
        *p++ = '\0';
    *ppszPos = p;
    return pszToken;
}

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

// Leading white space as the C library sees it.
const char* SkipSpace(const char* p) {
    while (decimal::IsSpace(*p))
        ++p;
    return p;
}

} // namespace

CSsdp::CSsdp() {
    TraceDet("Entry (CSsdp::CSsdp)");
    for (int i = 0; i < METHOD_COUNT; ++i)
        m_acsMethods[i] = s_apszMethods[i];
    for (int i = 0; i < HEADER_COUNT; ++i)
        m_acsHeaderNames[i] = s_apszHeaderNames[i];
    CleanUp();
    TraceDet("Exit  (CSsdp::CSsdp)");
}

void CSsdp::CleanUp() {
    CTraceScope scope("CSsdp::CleanUp", TRACE_DET);
    m_eMethod = ESsdpMethod::INVALID;
    m_csContent.clear();
    for (SSsdpHeader& header : asHeaders) {
        header.bValid = false;
        header.csValue.clear();
    }
}

bool CSsdp::ParseRequest(char* pszRequest) {
    CTraceScope scope("CSsdp::ParseRequest", TRACE_DET);
    CleanUp();

    bool bOk = false;
    char* pszBody = nullptr;
    char* pszHeaders = pszRequest != nullptr ? ParseRequestLine(pszRequest) : nullptr;
    if (pszHeaders != nullptr)
        pszBody = ParseHeaders(pszHeaders);
    if (pszBody != nullptr) {
        if (m_eMethod == ESsdpMethod::NOTIFY) {
            const std::string& csNts = asHeaders[NTS].csValue;
            if (csNts == "ssdp:alive")
                m_eMethod = ESsdpMethod::ALIVE;
            else if (csNts == "ssdp:byebye")
                m_eMethod = ESsdpMethod::BYEBYE;
        }
        bOk = VerifyHeaders();
    }
    if (bOk && asHeaders[CONTENT_LENGTH].bValid)
        ParseContent(pszBody);

    if (!bOk)
        scope.Err("Parse failed");
    scope.Result(bOk);
    return bOk;
}

char* CSsdp::ParseRequestLine(char* pszRequest) {
    CTraceScope scope("CSsdp::ParseRequestLine", TRACE_DET);
    char* p = pszRequest;
    const char* pszMethod = NextToken(&p, " \t\n");
    if (pszMethod == nullptr) {
        scope.Result(false);
        return nullptr;
    }
    int iMethod = 0;
    while (iMethod < METHOD_COUNT && strcasecmp(pszMethod, s_apszMethods[iMethod]) != 0)
        ++iMethod;
    if (iMethod == METHOD_COUNT) {
        scope.Result(false);
        return nullptr;
    }
    m_eMethod = static_cast<ESsdpMethod>(iMethod);

    // NOTIFY * HTTP/1.1, or the status line HTTP/1.1 200 OK of a search answer.
    const char* pszSecond = nullptr;
    const char* pszThird = nullptr;
    if (m_eMethod == ESsdpMethod::NOTIFY) {
        pszSecond = "*";
        pszThird = "HTTP/1.1";
    } else if (m_eMethod == ESsdpMethod::HTTP) {
        pszSecond = "200";
        pszThird = "OK";
    } else {
        scope.Result(false);
        return nullptr;
    }
    const char* pszToken = NextToken(&p, " ");
    if (pszToken == nullptr || strcasecmp(pszToken, pszSecond) != 0) {
        scope.Result(false);
        return nullptr;
    }
    pszToken = NextToken(&p, " \t\r");
    if (pszToken == nullptr || strcasecmp(pszToken, pszThird) != 0) {
        scope.Result(false);
        return nullptr;
    }
    scope.Result(true);
    return p;
}

char* CSsdp::ParseHeaders(char* pszHeaders) {
    CTraceScope scope("CSsdp::ParseHeaders", TRACE_DET);
    char* p = pszHeaders;
    for (;;) {
        while (*p == '\r' || *p == '\n')
            ++p;
        if (*p == '\0')
            break;
        char* pszLine = p;
        while (*p != '\0' && *p != '\r' && *p != '\n')
            ++p;
        char* pEnd = p;
        const bool bTerminated = *p != '\0';
        *p = '\0';

        if (char* pColon = std::strchr(pszLine, ':'); pColon != nullptr) {
            const char* pName = pszLine;
            const char* pNameEnd = pColon;
            while (pName < pNameEnd && IsBlankOrTab(*pName))
                ++pName;
            while (pNameEnd > pName && IsBlankOrTab(pNameEnd[-1]))
                --pNameEnd;
            const char* pValue = pColon + 1;
            const char* pValueEnd = pEnd;
            while (pValue < pValueEnd && IsBlankOrTab(*pValue))
                ++pValue;
            while (pValueEnd > pValue && IsBlankOrTab(pValueEnd[-1]))
                --pValueEnd;
            const size_t nName = static_cast<size_t>(pNameEnd - pName);
            for (int i = 0; i < HEADER_COUNT; ++i) {
                if (std::strlen(s_apszHeaderNames[i]) == nName &&
                    strncasecmp(pName, s_apszHeaderNames[i], nName) == 0) {
                    asHeaders[i].bValid = true;
                    asHeaders[i].csValue.assign(pValue, pValueEnd);
                    break;
                }
            }
        }

        if (!bTerminated)
            break;
        // The header block ends with the line end followed by LF CR LF; each
        // byte is read only when the one before it was not the NUL.
        if (pEnd[1] == '\n' && pEnd[2] == '\r' && pEnd[3] == '\n') {
            scope.Result(true);
            return pEnd + 4;
        }
        p = pEnd + 1;
    }
    scope.Result(false);
    return nullptr;
}

bool CSsdp::AllValid(const EHeader* aeRequired, int iCount) const {
    for (int i = 0; i < iCount; ++i) {
        if (!asHeaders[aeRequired[i]].bValid)
            return false;
    }
    return true;
}

bool CSsdp::VerifyHeaders() {
    CTraceScope scope("CSsdp::VerifyHeaders", TRACE_DET);
    static const EHeader aeNotify[] = {HOST, CACHE_CONTROL, LOCATION, NT, NTS, SERVER, USN};
    static const EHeader aeHttp[] = {CACHE_CONTROL, EXT, LOCATION, SERVER, ST, USN};
    static const EHeader aeByebye[] = {HOST, NT, NTS, USN};

    bool bOk = true;
    switch (m_eMethod) {
    case ESsdpMethod::NOTIFY:
        bOk = AllValid(aeNotify, std::size(aeNotify));
        if (!bOk)
            scope.Err("Verification of notify request failed");
        break;
    case ESsdpMethod::HTTP:
        bOk = AllValid(aeHttp, std::size(aeHttp));
        if (!bOk)
            scope.Err("Verification of http request failed");
        break;
    case ESsdpMethod::ALIVE:
        bOk = AllValid(aeNotify, std::size(aeNotify));
        if (!bOk)
            scope.Err("Verification of SSDP alive failed");
        break;
    case ESsdpMethod::BYEBYE:
        bOk = AllValid(aeByebye, std::size(aeByebye));
        if (!bOk)
            scope.Err("Verification of SSDP byebye failed");
        break;
    case ESsdpMethod::INVALID:
        break;
    }
    scope.Result(bOk);
    return bOk;
}

void CSsdp::ParseContent(const char* pszBody) {
    CTraceScope scope("CSsdp::ParseContent", TRACE_DET);
    const int32_t iLength = decimal::ToInt32(asHeaders[CONTENT_LENGTH].csValue.c_str());
    if (iLength == 0)
        return;
    // A body one byte short of Content-Length is still taken.
    if (static_cast<int64_t>(std::strlen(pszBody)) + 1 < iLength) {
        TraceWrn("CSsdp::ParseContent)Bad message detected");
        return;
    }
    m_csContent = pszBody;
}

std::string CSsdp::GetUuid() {
    TraceDet("Entry (CSsdp::GetUuid)");
    std::string csUuid;
    const std::string& csUsn = asHeaders[USN].csValue;
    if (size_t nPos = csUsn.find("uuid:"); nPos != std::string::npos) {
        csUuid = csUsn.substr(nPos + 5);
        if (size_t nColon = csUuid.find(':'); nColon != std::string::npos)
            csUuid.resize(nColon);
    }
    TraceDet("Exit  (CSsdp::GetUuid)UUID='%s'", csUuid.c_str());
    return csUuid;
}

// The Server value reads: system, UPnP version, model/microcode level, ...
const char* CSsdp::FindServerModelWord() const {
    const char* p = asHeaders[SERVER].csValue.c_str();
    for (int iWord = 0; iWord < 2; ++iWord) {
        p = std::strchr(SkipSpace(p), ' ');
        if (p == nullptr)
            return nullptr;
        ++p;
    }
    return SkipSpace(p);
}

std::string CSsdp::GetPrinterModel() {
    TraceDet("Entry (CSsdp::GetPrinterModel)");
    std::string csModel;
    if (const char* pszWord = FindServerModelWord(); pszWord != nullptr) {
        if (const char* pSlash = std::strchr(pszWord, '/'); pSlash != nullptr) {
            csModel.assign(pszWord, pSlash);
            for (char& c : csModel) {
                if (c == '_')
                    c = ' ';
            }
        }
    }
    TraceDet("Exit  (CSsdp::GetPrinterModel)Printer model='%s'", csModel.c_str());
    return csModel;
}

std::string CSsdp::GetPrinterMicrocodeLevel() {
    TraceDet("Entry (CSsdp::GetPrinterMicrocodeLevel)");
    std::string csLevel;
    if (const char* pszWord = FindServerModelWord(); pszWord != nullptr) {
        if (const char* pSlash = std::strchr(pszWord, '/'); pSlash != nullptr) {
            const char* pszLevel = pSlash + 1;
            const char* pBlank = std::strchr(pszLevel, ' ');
            csLevel = pBlank != nullptr ? std::string(pszLevel, pBlank) : std::string(pszLevel);
        }
    }
    TraceDet("Exit  (CSsdp::GetPrinterMicrocodeLevel)Microcode level='%s'", csLevel.c_str());
    return csLevel;
}

std::string CSsdp::GetDescriptionUrl(int32_t* piPort) {
    TraceDet("Entry (CSsdp::GetDescriptionUrl)");
    int32_t iPort = 80;
    std::string csPath;
    const std::string& csLocation = asHeaders[LOCATION].csValue;
    if (size_t nScheme = csLocation.find("http://"); nScheme != std::string::npos) {
        const size_t nHost = nScheme + 7;
        if (size_t nSlash = csLocation.find('/', nHost); nSlash != std::string::npos) {
            csPath = csLocation.substr(nSlash);
            const std::string csHost = csLocation.substr(nHost, nSlash - nHost);
            if (size_t nColon = csHost.find(':'); nColon != std::string::npos) {
                const std::string csPort = csHost.substr(nColon + 1);
                if (!csPort.empty())
                    iPort = decimal::ToInt32(csPort.c_str());
            }
        }
    }
    if (piPort != nullptr)
        *piPort = iPort;
    TraceDet("Exit  (CSsdp::GetDescriptionUrl)Description URL='%s'", csPath.c_str());
    return csPath;
}

uint32_t CSsdp::GetSequenceNumber() {
    const CTraceName trace("CSsdp::GetSequenceNumber");
    TraceDet("Entry (CSsdp::GetSequenceNumber)");
    const std::string& csSeq = asHeaders[SEQNUM].csValue;
    const uint32_t uiSeq = decimal::ToUInt32(csSeq.c_str());
    if (uiSeq == 0)
        trace.Err("Conversion failed for string '%s'", csSeq.c_str());
    TraceDet("Exit  (CSsdp::GetSequenceNumber)Sequence number=%d", static_cast<int>(uiSeq));
    return uiSeq;
}

std::string CSsdp::BuildSearchRequest() {
    CTraceScope scope("CSsdp::BuildSearchRequest", TRACE_DET);
    std::string csRequest = "M-SEARCH * ";
    csRequest += "HTTP/1.1";
    csRequest += "\r\nHOST: ";
    csRequest += "239.255.255.250";
    csRequest += ":";
    csRequest += std::to_string(1900);
    csRequest += "\r\nMAN: \"ssdp:discover\"\r\n";
    csRequest += "MX: ";
    csRequest += "4";
    csRequest += "\r\nST: ";
    csRequest += SSDP_PRINT_SERVICE_URN;
    csRequest += "\r\n\r\n";
    return csRequest;
}
