// Fixed delays, scaled by VEX_DELAY_PERCENT.
#include "platform/clock.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace platform {

uint32_t ScaledDelay(uint32_t dwMilliseconds) {
    // Read on every call, so a test can change it at any time.
    const char* env = std::getenv("VEX_DELAY_PERCENT");
    if (!env || !*env)
        return dwMilliseconds;
    char* end = nullptr;
    long percent = std::strtol(env, &end, 10);
    if (*end != '\0' || percent < 1 || percent >= 100)
        return dwMilliseconds;
    return uint32_t(uint64_t(dwMilliseconds) * uint64_t(percent) / 100);
}

void Sleep(uint32_t dwMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ScaledDelay(dwMilliseconds)));
}

} // namespace platform
