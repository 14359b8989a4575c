// Operating-system facts on POSIX: the emulated version lives in the system root.
#include "platform/os.h"

#include "internal/root_access.h"
#include "internal/unique_fd.h"
#include "platform/error.h"
#include "platform/root.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace platform {

OsVersion GetVersion() {
    OsVersion version{5, 1};
    if (FILE* f = std::fopen(RootPath("os-version").c_str(), "r")) {
        unsigned major = 0, minor = 0;
        if (std::fscanf(f, "%u.%u", &major, &minor) == 2)
            version = {major, minor};
        std::fclose(f);
    }
    return version;
}

bool SetEmulatedVersion(uint32_t dwMajor, uint32_t dwMinor) {
    posix::CUniqueFd fd;
    {
        const posix::CUniqueFd rootFd(EnsureSystemRoot() ? posix::OpenRootFolder("") : -1);
        if (!rootFd.Valid())
            return false;
        fd.Reset(posix::OpenFileIn(rootFd.Get(), "os-version", O_WRONLY | O_CREAT,
                                   posix::RootMode(0660)));
    }
    if (!fd.Valid())
        return false;
    const std::string csText = std::to_string(dwMajor) + "." + std::to_string(dwMinor) + "\n";
    const bool ok = ::ftruncate(fd.Get(), 0) == 0 &&
                    ::write(fd.Get(), csText.data(), csText.size()) == ssize_t(csText.size());
    fd.Reset();
    return ok || FailErrno();
}

std::string GetSystemDirectory() {
    return RootPath("system/");
}
const char* ExecutableSuffix() {
    return "";
}
char PathSeparator() {
    return '/';
}
const char* LineEnding() {
    return "\n";
}

bool GetModuleFileName(std::string* pcsPath) {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    if (n < 0)
        return FailErrno();
    if (size_t(n) >= sizeof path)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    pcsPath->assign(path, size_t(n));
    return true;
}

} // namespace platform
