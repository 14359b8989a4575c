// Pipe names: the prefix, the length and the characters a NAME may hold.
#include "pipe_name.h"

#include "platform/error.h"

namespace platform {

bool PipeBaseName(const std::string& csName, std::string* pcsBase) {
    static const char kPrefix[] = "\\\\.\\pipe\\";
    const size_t nPrefix = sizeof kPrefix - 1;
    if (csName.size() <= nPrefix)
        return Fail(ERROR_INVALID_NAME);
    for (size_t i = 0; i < nPrefix; ++i) {
        char c = csName[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != kPrefix[i])
            return Fail(ERROR_INVALID_NAME);
    }
    std::string csRest = csName.substr(nPrefix);
    if (csRest.size() > 200)
        return Fail(ERROR_INVALID_NAME);
    for (char& c : csRest) {
        if (c == '/' || c == '\\' || c == '\0')
            return Fail(ERROR_INVALID_NAME);
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    *pcsBase = csRest;
    return true;
}

} // namespace platform
