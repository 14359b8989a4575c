// CPrinterExtraInfo: what the service keeps about a known printer while it
// processes its advertisements. Never stored in a file.
#pragma once

#include <cstdint>
#include <string>

// Flag bits of CPrinterExtraInfo::m_uiFlags.
constexpr uint32_t EXTRA_FLAG_PROCESSING = 0x01; // an advertisement is being processed

class CPrinterExtraInfo {
public:
    CPrinterExtraInfo();
    CPrinterExtraInfo(const CPrinterExtraInfo& other);
    CPrinterExtraInfo& operator=(const CPrinterExtraInfo& other);
    virtual ~CPrinterExtraInfo();

    bool operator==(const CPrinterExtraInfo& other) const;
    bool operator!=(const CPrinterExtraInfo& other) const { return !(*this == other); }

    // Style 1: the one-line form "URL=...;port=...;f=...;seq=..."; any other
    // style: a line feed and one indented line per field.
    std::string Describe(int iStyle) const;

    std::string m_csCachedStateVarURL;
    int32_t m_iCachedStateVarPort; // -1 until a query has succeeded
    uint32_t m_uiFlags;
    uint32_t m_ulMostRecentSeqNum; // 0 while none was accepted
};
