// The service's cache of a known printer: value semantics and text forms.
#include "common/PrinterExtraInfo.h"

#include "common/Trace.h"

#include <cstdio>

CPrinterExtraInfo::CPrinterExtraInfo()
    : m_iCachedStateVarPort(-1), m_uiFlags(0), m_ulMostRecentSeqNum(0) {
    CTraceScope scope("CPrinterExtraInfo::CPrinterExtraInfo", TRACE_DET);
}

CPrinterExtraInfo::CPrinterExtraInfo(const CPrinterExtraInfo& other)
    : m_csCachedStateVarURL(other.m_csCachedStateVarURL),
      m_iCachedStateVarPort(other.m_iCachedStateVarPort), m_uiFlags(other.m_uiFlags),
      m_ulMostRecentSeqNum(other.m_ulMostRecentSeqNum) {
    CTraceScope scope("CPrinterExtraInfo::CPrinterExtraInfo", TRACE_DET);
}

CPrinterExtraInfo& CPrinterExtraInfo::operator=(const CPrinterExtraInfo& other) {
    m_csCachedStateVarURL = other.m_csCachedStateVarURL;
    m_iCachedStateVarPort = other.m_iCachedStateVarPort;
    m_uiFlags = other.m_uiFlags;
    m_ulMostRecentSeqNum = other.m_ulMostRecentSeqNum;
    return *this;
}

CPrinterExtraInfo::~CPrinterExtraInfo() {
    CTraceScope scope("CPrinterExtraInfo::~CPrinterExtraInfo", TRACE_DET);
}

bool CPrinterExtraInfo::operator==(const CPrinterExtraInfo& other) const {
    return m_csCachedStateVarURL == other.m_csCachedStateVarURL &&
           m_iCachedStateVarPort == other.m_iCachedStateVarPort && m_uiFlags == other.m_uiFlags &&
           m_ulMostRecentSeqNum == other.m_ulMostRecentSeqNum;
}

std::string CPrinterExtraInfo::Describe(int iStyle) const {
    const char* pszFormat = iStyle == 1 ? "URL=%s;port=%d;f=%08x;seq=%d"
                                        : "\n       m_csCachedStateVarURL = '%s'"
                                          "\n       m_iCachedStateVarPort = '%d'"
                                          "\n       m_uiFlags = 0x%08x"
                                          "\n       m_ulMostRecentSeqNum = '%d'";
    int length = std::snprintf(nullptr, 0, pszFormat, m_csCachedStateVarURL.c_str(),
                               m_iCachedStateVarPort, m_uiFlags, int(m_ulMostRecentSeqNum));
    std::string text(size_t(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, pszFormat, m_csCachedStateVarURL.c_str(),
                  m_iCachedStateVarPort, m_uiFlags, int(m_ulMostRecentSeqNum));
    return text;
}
