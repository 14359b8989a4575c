// The diagnostic trace: one text file per program, one line per event.
//
// Levels are independent bits of the level mask. A line is written as
//   "%5d %.8s.%03hu %s %*s%s\n"  (thread id, time, tag, depth blanks, message)
// preceded by a date line before the first line and every hundredth line.
// Entry lines ("Entry (...)" / "Enter...") raise the calling thread's depth,
// exit lines ("Exit  (...)") lower it before they are written.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

enum : uint32_t {
    TRACE_ERR = 0x01,
    TRACE_WRN = 0x02,
    TRACE_INF = 0x04,
    TRACE_TRC = 0x08,
    TRACE_DET = 0x10,
};

namespace trace_detail {
// The level bits that currently produce a line: the level mask while the
// trace is on and open, 0 otherwise. Kept apart so that a filtered line
// costs one load and one test.
extern std::atomic<uint32_t> g_activeLevels;
void WriteLine(uint32_t level, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
} // namespace trace_detail

// Opens the trace of program eExe (1 service, 2 GUI). The previous file is kept
// under its name with csEnding appended (".bak" at start). Does nothing when the
// trace is already initialised.
void TraceInit(int eExe, const std::string& csEnding);
// Closes the file and opens the trace again with the ending ".prev", reading all
// settings anew.
void TraceRestart();
// Closes the trace and forgets its state, as if the process had just started.
// For tests, and for a program that must let go of its file before it ends.
void TraceShutdown();

// True when a line of this level would be written now; callers may test it
// before they build expensive arguments.
inline bool TraceOn(uint32_t level) {
    return (trace_detail::g_activeLevels.load(std::memory_order_relaxed) & level) != 0;
}

#define VEX_TRACE_LINE(level, ...)                                                                 \
    do {                                                                                           \
        if (TraceOn(level))                                                                        \
            trace_detail::WriteLine(level, __VA_ARGS__);                                           \
    } while (0)

#define TraceErr(...) VEX_TRACE_LINE(TRACE_ERR, __VA_ARGS__)
#define TraceWrn(...) VEX_TRACE_LINE(TRACE_WRN, __VA_ARGS__)
#define TraceInf(...) VEX_TRACE_LINE(TRACE_INF, __VA_ARGS__)
#define TraceTrc(...) VEX_TRACE_LINE(TRACE_TRC, __VA_ARGS__)
#define TraceDet(...) VEX_TRACE_LINE(TRACE_DET, __VA_ARGS__)

// The name a routine writes its lines under. Err, Wrn, Inf and Det write the
// message after "(Name)", as in "(CPrinters::Write)File copy unsuccessful";
// Prefixed gives that text for a line written later (a rate-limited warning,
// a pipe error). A routine that writes under another routine's name (a step
// split out of it, a text the readers of the trace know) keeps that name in a
// constant of its own, kTraceAs...:
//   constexpr CTraceName kTraceAsHandleAlive("CRequestThread::HandleAlive");
// The arguments are evaluated even when the level is off: where building them
// costs, test TraceOn() first.
class CTraceName {
public:
    constexpr explicit CTraceName(const char* pszName) : m_pszName(pszName) {}

    const char* Name() const { return m_pszName; }

    void Err(const char* pszFormat, ...) const __attribute__((format(printf, 2, 3)));
    void Wrn(const char* pszFormat, ...) const __attribute__((format(printf, 2, 3)));
    void Inf(const char* pszFormat, ...) const __attribute__((format(printf, 2, 3)));
    void Det(const char* pszFormat, ...) const __attribute__((format(printf, 2, 3)));
    std::string Prefixed(const std::string& csText) const;

protected:
    const char* m_pszName;
};

// Writes a routine's entry line now and its exit line when it goes out of scope.
// The exit line carries the result set last with Result(); none by default.
// Its lines in between go through Err/Wrn/Inf/Det, which add the same name.
//   CTraceScope scope("CVexData::GetTraceOn");
//   scope.Det("parameters (eExe=%d)", eExe);  // "(CVexData::GetTraceOn)parameters ..."
//   scope.Result("%s", bOn ? "true" : "false");
class CTraceScope : public CTraceName {
public:
    explicit CTraceScope(const char* pszName, uint32_t level = TRACE_TRC);
    ~CTraceScope();
    CTraceScope(const CTraceScope&) = delete;
    CTraceScope& operator=(const CTraceScope&) = delete;

    void Result(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void Result(bool bSuccess) { Result("%s", bSuccess ? "success" : "failure"); }

private:
    uint32_t m_level;
    std::string m_csResult;
};
