// Helpers for the service's trace lines about network data.
#include "service/TraceText.h"

#include "common/Trace.h"

std::string IndentForTrace(const std::string& csData) {
    const char* const kIndent = "       ";
    size_t nEnd = csData.find_last_not_of(" \t\r\n\v\f");
    std::string csText = kIndent;
    if (nEnd == std::string::npos)
        return csText;
    csText.reserve(nEnd + 64);
    for (size_t i = 0; i <= nEnd; ++i) {
        csText += csData[i];
        if (csData[i] == '\n')
            csText += kIndent;
    }
    return csText;
}

bool CThrottledWarning::Occurred(const std::string& csText) {
    std::lock_guard lock(m_mutex);
    ++m_nSince;
    const auto now = std::chrono::steady_clock::now();
    if (m_bReported && now - m_lastReport < m_interval)
        return false;
    TraceWrn("%s (%llu times since the last report)", csText.c_str(),
             static_cast<unsigned long long>(m_nSince));
    m_bReported = true;
    m_lastReport = now;
    m_nSince = 0;
    return true;
}
