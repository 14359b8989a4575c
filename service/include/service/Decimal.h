// Decimal conversion of header and element texts received from the network.
//
// Both follow the classic C library rules (leading white space, an optional
// sign, digits up to the first non-digit, no digits gives 0) but saturate
// instead of overflowing, so hostile texts cannot trigger undefined behaviour.
#pragma once

#include <cstdint>

namespace decimal {

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Signed 32-bit value; out-of-range values give INT32_MIN or INT32_MAX.
inline int32_t ToInt32(const char* psz) {
    if (psz == nullptr)
        return 0;
    while (IsSpace(*psz))
        ++psz;
    bool bNegative = false;
    if (*psz == '+' || *psz == '-')
        bNegative = *psz++ == '-';
    int64_t llValue = 0;
    for (; *psz >= '0' && *psz <= '9'; ++psz) {
        if (llValue <= INT64_C(0x80000000))
            llValue = llValue * 10 + (*psz - '0');
    }
    if (bNegative)
        return llValue >= INT64_C(0x80000000) ? INT32_MIN : static_cast<int32_t>(-llValue);
    return llValue > INT32_MAX ? INT32_MAX : static_cast<int32_t>(llValue);
}

// Unsigned 32-bit value as a 32-bit strtoul gives it: a magnitude above
// 4294967295 gives 4294967295, a negative value wraps around.
inline uint32_t ToUInt32(const char* psz) {
    if (psz == nullptr)
        return 0;
    while (IsSpace(*psz))
        ++psz;
    bool bNegative = false;
    if (*psz == '+' || *psz == '-')
        bNegative = *psz++ == '-';
    uint64_t ullValue = 0;
    bool bOverflow = false;
    for (; *psz >= '0' && *psz <= '9'; ++psz) {
        ullValue = ullValue * 10 + static_cast<unsigned>(*psz - '0');
        if (ullValue > UINT32_MAX) {
            bOverflow = true;
            ullValue = UINT32_MAX;
        }
    }
    if (bOverflow)
        return UINT32_MAX;
    uint32_t uiValue = static_cast<uint32_t>(ullValue);
    return bNegative ? 0u - uiValue : uiValue;
}

} // namespace decimal
