// The CUPS name of a queue of the system. CUPS refuses blanks, controls, "/",
// "#" and other marks, ends a name at "@" and takes at most 127 bytes; the
// system's names ("Laser 1332 (2)") hold blanks and parentheses. The rule
// keeps names readable ("Laser_1332_+282+29") and can be undone, so a CUPS
// queue always tells the system's name it was made for.
#include "platform/spooler.h"

#include <cctype>

namespace platform {

namespace {

constexpr size_t kMaxCupsName = 127;
const char kHex[] = "0123456789ABCDEF";

bool KeptAsIs(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is never written, so it never reads back
}

} // namespace

std::string CupsQueueName(const std::string& csPrinterName) {
    std::string name;
    for (char c : csPrinterName) {
        auto u = static_cast<unsigned char>(c);
        if (KeptAsIs(u)) {
            name += c;
        } else if (c == ' ') {
            name += '_';
        } else {
            name += '+';
            name += kHex[u >> 4];
            name += kHex[u & 0xF];
        }
    }
    return name.size() <= kMaxCupsName ? name : std::string();
}

std::string CupsPrinterName(const std::string& csQueueName) {
    std::string name;
    for (size_t i = 0; i < csQueueName.size(); ++i) {
        char c = csQueueName[i];
        if (KeptAsIs(static_cast<unsigned char>(c))) {
            name += c;
        } else if (c == '_') {
            name += ' ';
        } else if (c == '+' && i + 2 < csQueueName.size() && HexValue(csQueueName[i + 1]) >= 0 &&
                   HexValue(csQueueName[i + 2]) >= 0) {
            char byte = char(HexValue(csQueueName[i + 1]) << 4 | HexValue(csQueueName[i + 2]));
            // A byte the rule keeps or turns into "_" is never escaped.
            if (KeptAsIs(static_cast<unsigned char>(byte)) || byte == ' ')
                return "";
            name += byte;
            i += 2;
        } else {
            return "";
        }
    }
    return name;
}

} // namespace platform
