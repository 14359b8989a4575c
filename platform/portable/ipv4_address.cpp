// The dotted IPv4 address: four decimal parts of 0 to 255, no leading zeros,
// nothing around them (what inet_pton takes on both systems).
#include "platform/sockets.h"

namespace platform {

bool ParseIPv4Address(const std::string& csAddr, uint8_t abAddress[4]) {
    uint8_t parts[4] = {};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= csAddr.size() || csAddr[pos] != '.')
                return false;
            ++pos;
        }
        const size_t start = pos;
        unsigned value = 0;
        while (pos < csAddr.size() && csAddr[pos] >= '0' && csAddr[pos] <= '9' && pos - start < 4)
            value = value * 10 + unsigned(csAddr[pos++] - '0');
        const size_t digits = pos - start;
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && csAddr[start] == '0'))
            return false;
        parts[i] = uint8_t(value);
    }
    if (pos != csAddr.size())
        return false;
    for (int i = 0; i < 4; ++i)
        abAddress[i] = parts[i];
    return true;
}

} // namespace platform
