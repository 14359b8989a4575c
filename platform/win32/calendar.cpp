// The calendar on Windows.
#include "platform/clock.h"

namespace platform {

bool ToLocalTime(int64_t llSeconds, std::tm* pLocal) {
    const time_t t = time_t(llSeconds);
    return ::localtime_s(pLocal, &t) == 0;
}

bool ToUniversalTime(int64_t llSeconds, std::tm* pUtc) {
    const time_t t = time_t(llSeconds);
    return ::gmtime_s(pUtc, &t) == 0;
}

} // namespace platform
