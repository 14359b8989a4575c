// Location and layout of the system root on POSIX.
#include "platform/root.h"

#include "internal/root_access.h"
#include "internal/unique_fd.h"
#include "platform/error.h"

#include <cstdlib>
#include <unistd.h>

namespace platform {

std::string SystemRoot() {
    const char* env = std::getenv("VEX_ROOT");
    std::string root = (env && *env) ? env : "/var/lib/ambrel";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

std::string RootPath(const std::string& csRelative) {
    return SystemRoot() + "/" + csRelative;
}

bool EnsureSystemRoot() {
    // The root (02770) and run/ (03770) and system/ (02770), owner and the
    // administrators' group; each existing one is checked, not repaired.
    for (const char* pszFolder : {"", "run", "system"}) {
        if (!posix::CUniqueFd(posix::OpenRootFolder(pszFolder)).Valid())
            return false;
    }
    return true;
}

} // namespace platform
