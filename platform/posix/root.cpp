// Location and layout of the system root on POSIX.
#include "platform/root.h"

#include "platform/error.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

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

static bool MakeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    return FailErrno();
}

bool EnsureSystemRoot() {
    std::string root = SystemRoot();
    // Make each missing parent, as `mkdir -p` would.
    for (size_t pos = 1; (pos = root.find('/', pos)) != std::string::npos; ++pos) {
        if (!MakeDir(root.substr(0, pos)))
            return false;
    }
    return MakeDir(root) && MakeDir(root + "/run") && MakeDir(root + "/system");
}

} // namespace platform
