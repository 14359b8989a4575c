// The hosts file's lines, read the same way on every system: "ADDRESS NAME
// [ALIAS...]", a "#" starts a comment, names compare by ASCII case.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace platform {

// The IPv4 address of the first line that names csName; false when none does
// (lines whose address is no dotted IPv4 address are passed over).
bool FindInHostsFile(std::istream& hosts, const std::string& csName, uint8_t abAddress[4]);

} // namespace platform
