#include "gui/core/PrinterCompare.h"

#include "common/VexData.h"
#include "gui/core/PrinterRowText.h"

#include <algorithm>
#include <array>

namespace {
std::array<uint64_t, 4> IpNumbers(const std::string& csIp) {
    std::array<uint64_t, 4> numbers{};
    size_t nPart = 0;
    bool bDigits = true;
    for (char c : csIp) {
        if (c == '.') {
            if (++nPart == numbers.size())
                break;
            bDigits = true;
        } else if (c >= '0' && c <= '9' && bDigits) {
            // Capped, so that an overlong part cannot overflow.
            numbers[nPart] = std::min<uint64_t>(numbers[nPart] * 10 + uint64_t(c - '0'), 1u << 30);
        } else {
            bDigits = false; // as a decimal read stops at the first non-digit
        }
    }
    return numbers;
}

int Lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}
} // namespace

int CompareIpAddresses(const std::string& csA, const std::string& csB) {
    const auto a = IpNumbers(csA);
    const auto b = IpNumbers(csB);
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

int CompareNoCase(const std::string& csA, const std::string& csB) {
    const size_t n = std::min(csA.size(), csB.size());
    for (size_t i = 0; i < n; ++i) {
        const int d = Lower(csA[i]) - Lower(csB[i]);
        if (d != 0)
            return d < 0 ? -1 : 1;
    }
    return csA.size() == csB.size() ? 0 : (csA.size() < csB.size() ? -1 : 1);
}

int ComparePrinters(const CPrinter& a, const CPrinter& b, int iColumnId) {
    switch (iColumnId) {
    case eColumnIpAddress:
        return CompareIpAddresses(a.m_csIpAddr, b.m_csIpAddr);
    case eColumnDnsName:
        return CompareNoCase(a.m_csHostName, b.m_csHostName);
    case eColumnModel:
        return CompareNoCase(a.m_csPrinterModel, b.m_csPrinterModel);
    case eColumnUuid:
        return CompareNoCase(a.m_csUUID, b.m_csUUID);
    case eColumnState:
        return CompareNoCase(StateText(a), StateText(b));
    case eColumnMicrocode:
        return CompareNoCase(a.m_csMicrocodeLevel, b.m_csMicrocodeLevel);
    case eColumnIconNames:
        return CompareNoCase(a.m_csIconName, b.m_csIconName);
    default:
        return 0;
    }
}
