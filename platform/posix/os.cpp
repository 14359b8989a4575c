// Operating-system facts on POSIX: the emulated version lives in the system root.
#include "platform/os.h"

#include "platform/error.h"
#include "platform/root.h"

#include <cstdio>

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

} // namespace platform
