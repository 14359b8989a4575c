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

static bool MakeDir(const std::string& path, mode_t mode = 0755) {
    if (::mkdir(path.c_str(), mode) == 0)
        return ::chmod(path.c_str(), mode) == 0 || FailErrno(); // past the umask
    return errno == EEXIST || FailErrno();
}

bool EnsureSystemRoot() {
    std::string root = SystemRoot();
    // Make each missing parent, as `mkdir -p` would.
    for (size_t pos = 1; (pos = root.find('/', pos)) != std::string::npos; ++pos) {
        if (!MakeDir(root.substr(0, pos)))
            return false;
    }
    // run/ holds the pipes and lock files of every user's programs (the GUI
    // runs as the user who is logged on), so it is shared as /tmp is.
    return MakeDir(root) && MakeDir(root + "/run", 01777) && MakeDir(root + "/system");
}

} // namespace platform
