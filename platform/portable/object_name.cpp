// Object names: a POSIX back end makes files of them, so they must be safe as
// one file name; Windows takes the same rule so that a name works everywhere.
#include "object_name.h"

namespace platform {

bool IsValidObjectName(const std::string& csName) {
    if (csName.empty() || csName.size() > 200)
        return false;
    for (char c : csName) {
        if (c == '/' || c == '\0')
            return false;
    }
    return csName != "." && csName != "..";
}

} // namespace platform
