// Fixed delays of the system (retry pauses, collection windows).
//
// Tests shorten every such delay at once with the environment variable
// VEX_DELAY_PERCENT (1 to 100, default 100): a test that sets it to 1 waits
// 10 ms where the programs wait one second. The delays are shortened, never
// removed, so every retry path still runs.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

// The delay that Sleep would wait for dwMilliseconds, after scaling.
uint32_t ScaledDelay(uint32_t dwMilliseconds);
// Sleeps for ScaledDelay(dwMilliseconds).
void Sleep(uint32_t dwMilliseconds);

// The calendar fields of a moment (seconds since 1970) in the machine's time
// zone, or in UTC; false when the moment cannot be shown.
bool ToLocalTime(int64_t llSeconds, std::tm* pLocal);
bool ToUniversalTime(int64_t llSeconds, std::tm* pUtc);

} // namespace platform
