// Helpers for the service's trace lines about network data.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

// Network data as the trace shows it: seven blanks in front, trailing white
// space removed, and seven blanks behind every line feed.
std::string IndentForTrace(const std::string& csData);

// A warning about something that may happen thousands of times a second (a
// flood of datagrams): the first occurrence is traced at once, later ones are
// counted and traced as one line with their number at most every interval.
class CThrottledWarning {
public:
    explicit CThrottledWarning(std::chrono::milliseconds interval = std::chrono::seconds(10))
        : m_interval(interval) {}
    // Counts one occurrence; traces "<csText> (n times since the last report)"
    // when it is time. Returns true when it wrote a line.
    bool Occurred(const std::string& csText);

private:
    std::mutex m_mutex;
    std::chrono::milliseconds m_interval;
    std::chrono::steady_clock::time_point m_lastReport{};
    bool m_bReported = false;
    uint64_t m_nSince = 0;
};
