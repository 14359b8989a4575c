// The hosts file's lines: address, names, comments.
#include "hosts_file.h"

#include "platform/sockets.h"

#include <algorithm>
#include <sstream>

namespace platform {

namespace {

bool SameAsciiText(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

bool FindInHostsFile(std::istream& hosts, const std::string& csName, uint8_t abAddress[4]) {
    if (csName.empty())
        return false;
    for (std::string line; std::getline(hosts, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string address, name;
        uint8_t parsed[4];
        if (!(words >> address) || !ParseIPv4Address(address, parsed))
            continue;
        while (words >> name) {
            if (SameAsciiText(name, csName)) {
                std::copy(parsed, parsed + 4, abAddress);
                return true;
            }
        }
    }
    return false;
}

} // namespace platform
