// Printer names: the length and the characters a name may hold.
#include "printer_name.h"

#include "platform/spooler.h"

namespace platform {

bool IsValidPrinterName(const std::string& csName) {
    if (csName.empty() || csName.size() > MAX_PRINTER_NAME)
        return false;
    if (csName.find_first_not_of(' ') == std::string::npos)
        return false;
    for (char c : csName) {
        auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == ',' || u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

} // namespace platform
