// Named shared sections: the GUI's single-instance marker.
//
// A section lives machine-wide (in the system root) while any process holds a
// handle to it; creating one that already lives succeeds with the last error
// ERROR_ALREADY_EXISTS (183), as CreateFileMapping does. A process that ends
// releases its handles with it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct SectionHandle;
using HSECTION = SectionHandle*;

// Creates or opens the section; null on failure (last error set). On success
// the last error is 0, or ERROR_ALREADY_EXISTS when another handle (of this or
// another process) holds it already.
HSECTION CreateFileMapping(const std::string& csName, uint32_t dwSize);
bool CloseSection(HSECTION hSection);

} // namespace platform
