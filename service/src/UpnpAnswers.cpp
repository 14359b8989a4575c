// StateVariableUrl and ReturnWord: see service/UpnpAnswers.h.
#include "service/UpnpAnswers.h"

#include "service/Decimal.h"
#include "service/Ssdp.h"

std::string StateVariableUrl(SXmlElem* pRoot, int32_t* piPort) {
    int32_t iPort = 80;
    std::string csPathPart;
    std::string csResult;

    if (SXmlElem* pBase = CXml::FindElement(pRoot, "URLBase"); pBase != nullptr) {
        const std::string csBase = pBase->m_pszValue != nullptr ? pBase->m_pszValue : "";
        if (size_t nScheme = csBase.find("http://"); nScheme != std::string::npos) {
            const size_t nHost = nScheme + 7;
            if (size_t nSlash = csBase.find('/', nHost); nSlash != std::string::npos) {
                csPathPart = csBase.substr(nSlash);
                const std::string csHost = csBase.substr(nHost, nSlash - nHost);
                if (size_t nColon = csHost.find(':'); nColon != std::string::npos) {
                    const std::string csPort = csHost.substr(nColon + 1);
                    if (!csPort.empty())
                        iPort = decimal::ToInt32(csPort.c_str());
                }
            }
        }
    }
    if (SXmlElem* pType = CXml::FindElementWithValue(pRoot, "serviceType", SSDP_PRINT_SERVICE_URN);
        pType != nullptr) {
        if (SXmlElem* pControl = CXml::FindElement(pType, "controlURL"); pControl != nullptr)
            csResult = csPathPart + (pControl->m_pszValue != nullptr ? pControl->m_pszValue : "");
    }
    if (piPort != nullptr)
        *piPort = iPort;
    return csResult;
}

uint32_t ReturnWord(SXmlElem* pRoot) {
    SXmlElem* pReturn = CXml::FindElement(pRoot, "return");
    return pReturn != nullptr ? decimal::ToUInt32(pReturn->m_pszValue) : 0;
}
