// The calendar on POSIX.
#include "platform/clock.h"

namespace platform {

bool ToLocalTime(int64_t llSeconds, std::tm* pLocal) {
    const time_t t = time_t(llSeconds);
    return ::localtime_r(&t, pLocal) != nullptr;
}

bool ToUniversalTime(int64_t llSeconds, std::tm* pUtc) {
    const time_t t = time_t(llSeconds);
    return ::gmtime_r(&t, pUtc) != nullptr;
}

} // namespace platform
