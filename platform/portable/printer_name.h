// The spooler's rule for a printer name, the same for every back end, so that a
// name one machine's spooler refuses is refused everywhere.
#pragma once

#include <string>

namespace platform {

// False for a name that is empty or only blanks, longer than MAX_PRINTER_NAME,
// or that holds a backslash, a comma or a control character.
bool IsValidPrinterName(const std::string& csName);

} // namespace platform
