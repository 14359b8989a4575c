// Operating-system facts on POSIX: the emulated version lives in the system root.
#include "platform/os.h"

#include "platform/error.h"
#include "platform/root.h"

#include <climits>
#include <cstdio>
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
    if (!EnsureSystemRoot())
        return false;
    FILE* f = std::fopen(RootPath("os-version").c_str(), "w");
    if (!f)
        return FailErrno();
    bool ok = std::fprintf(f, "%u.%u\n", dwMajor, dwMinor) > 0;
    return (std::fclose(f) == 0 && ok) || FailErrno();
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
