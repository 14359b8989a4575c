// The local calendar on POSIX.
#include "platform/clock.h"

namespace platform {

bool ToLocalTime(int64_t llSeconds, std::tm* pLocal) {
    const time_t t = time_t(llSeconds);
    return ::localtime_r(&t, pLocal) != nullptr;
}

} // namespace platform
