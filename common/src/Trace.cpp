// The trace file of one program: settings, roll, date lines and indentation.
//
// Lines are written under one lock, so lines of different threads never mix and
// the file is never closed under a writer. Settings are read without that lock:
// reading them traces too, and may wait for the machine-wide settings mutex,
// which another thread may hold while it waits to write a line.
#include "common/Trace.h"

#include "common/VexData.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

namespace trace_detail {
std::atomic<uint32_t> g_activeLevels{0};
}

namespace {

// A restart opens the file as the start does, under the start's name.
constexpr CTraceName kTraceAsTraceInit("TraceInit");

struct STraceState {
    std::mutex writeLock;      // around writing a line and swapping the file
    std::mutex restartLock;    // one restart at a time
    bool bInitialised = false; // guarded by restartLock
    eExe exe = eExeService;
    FILE* file = nullptr;
    bool bWrapOn = false;
    int32_t iWrapSize = 0;
    std::string csPath;
    uint32_t uiLineCounter = 100;
    int64_t cachedSecond = -1;
    char szClock[16] = {};
    char szDay[16] = {};
    char szYear[8] = {};
};

STraceState& State() {
    static STraceState* state = new STraceState; // never destroyed: threads may trace at exit
    return *state;
}

// The calling thread's indentation; wraps from 255 to 0.
thread_local uint8_t t_depth = 0;
int ThreadId() {
    return int(platform::GetCurrentThreadId());
}

// Set while this thread reads the settings for a restart: its own lines are dropped.
thread_local bool t_inRestart = false;

struct STraceSettings {
    bool bOn = false;
    std::string csPath;
    std::string csRefusedName; // a stored file name that was not used
    bool bWrapOn = false;
    int32_t iWrapSize = 0;
    uint32_t uiLevel = 0;
};

bool IsPlainFileName(const std::string& csName) {
    return !csName.empty() && csName != "." && csName != ".." &&
           csName.find_first_of("/\\") == std::string::npos;
}

STraceSettings ReadSettings(eExe exe) {
    t_inRestart = true;
    STraceSettings settings;
    CVexData data;
    settings.bOn = data.GetTraceOn(exe);
    if (settings.bOn) {
        // The trace is a file of the working folder: a stored name that would
        // lead out of it falls back to the program's own name.
        std::string csFile = data.GetTraceFile(exe);
        if (!IsPlainFileName(csFile)) {
            settings.csRefusedName = csFile;
            csFile = CVexData::DefaultTraceFile(exe);
        }
        settings.csPath = data.GetWorkingDir() + csFile;
        settings.bWrapOn = data.GetTraceWrapOn(exe);
        settings.iWrapSize = data.GetTraceWrapSize(exe);
        settings.uiLevel = data.GetTraceLevel(exe);
    }
    t_inRestart = false;
    return settings;
}

// Opens the trace anew with the given ending for the previous file. Called with
// restartLock held.
void SwapTraceFile(STraceState& state, const STraceSettings& settings,
                   const std::string& csEnding) {
    std::lock_guard lock(state.writeLock);
    if (state.file) {
        std::fclose(state.file);
        state.file = nullptr;
    }
    trace_detail::g_activeLevels.store(0, std::memory_order_relaxed);
    if (!settings.bOn)
        return; // nothing else is touched while the trace is off
    state.csPath = settings.csPath;
    state.bWrapOn = settings.bWrapOn;
    state.iWrapSize = settings.iWrapSize;
    std::string csOld = settings.csPath + csEnding;
    platform::SetFileAttributes(csOld, platform::FILE_ATTRIBUTE_NORMAL);
    platform::DeleteFile(csOld);
    platform::MoveFile(settings.csPath, csOld, false);
    state.file = platform::CreateFileStream(settings.csPath);
    if (!state.file) {
        state.bInitialised = false;
        return;
    }
    trace_detail::g_activeLevels.store(settings.uiLevel, std::memory_order_relaxed);
}

void OpenTrace(STraceState& state, const std::string& csEnding) {
    const STraceSettings settings = ReadSettings(state.exe);
    SwapTraceFile(state, settings, csEnding);
    if (!settings.csRefusedName.empty())
        kTraceAsTraceInit.Err("Trace file name '%s' leads out of the working folder; the trace is "
                              "written to '%s'",
                              settings.csRefusedName.c_str(), settings.csPath.c_str());
}

void Restart(bool bOnlyWhenOverSize) {
    STraceState& state = State();
    std::unique_lock restart(state.restartLock, std::defer_lock);
    if (bOnlyWhenOverSize) {
        // Another thread is rolling already; this line goes to the current file.
        if (!restart.try_lock())
            return;
        std::lock_guard lock(state.writeLock);
        if (!state.file || std::ftell(state.file) <= state.iWrapSize)
            return;
    } else {
        restart.lock();
    }
    OpenTrace(state, ".prev");
}

bool NeedsRoll(STraceState& state) {
    return state.file && state.bWrapOn && std::ftell(state.file) > state.iWrapSize;
}

std::string FormatMessage(const char* pszFormat, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, pszFormat, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    if (size_t(n) < sizeof small)
        return std::string(small, size_t(n));
    std::string big(size_t(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), pszFormat, args);
    big.resize(size_t(n));
    return big;
}

const char* LevelTag(uint32_t level) {
    switch (level) {
    case TRACE_ERR:
        return "ERR";
    case TRACE_WRN:
        return "WRN";
    case TRACE_INF:
        return "INF";
    case TRACE_TRC:
        return "TRC";
    default:
        return "DET";
    }
}

void WriteFormatted(uint32_t level, const std::string& csMessage) {
    if (t_inRestart)
        return;
    STraceState& state = State();
    std::unique_lock lock(state.writeLock);
    if (NeedsRoll(state)) {
        lock.unlock();
        Restart(true);
        lock.lock();
    }
    if (!state.file || !(trace_detail::g_activeLevels.load(std::memory_order_relaxed) & level))
        return;
    const int64_t llNowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    const int64_t llSecond = llNowMs / 1000;
    // The calendar and strftime only once a second.
    if (llSecond != state.cachedSecond) {
        std::tm local{};
        platform::ToLocalTime(llSecond, &local);
        std::strftime(state.szClock, sizeof state.szClock, "%H:%M:%S", &local);
        std::strftime(state.szDay, sizeof state.szDay, "%a %b %d", &local);
        std::strftime(state.szYear, sizeof state.szYear, "%Y", &local);
        state.cachedSecond = llSecond;
    }
    if (state.uiLineCounter >= 100) {
        std::fprintf(state.file, "------ The date is %.10s, %.4s\n", state.szDay, state.szYear);
        std::fflush(state.file);
        state.uiLineCounter = 0;
    }
    ++state.uiLineCounter;
    if (csMessage.compare(0, 4, "Exit") == 0 && t_depth > 0)
        --t_depth;
    std::fprintf(state.file, "%5d %.8s.%03hu %s %*s%s\n", ThreadId(), state.szClock,
                 static_cast<unsigned short>(llNowMs % 1000), LevelTag(level), int(t_depth), "",
                 csMessage.c_str());
    std::fflush(state.file);
    if (csMessage.compare(0, 5, "Entry") == 0 || csMessage.compare(0, 5, "Enter") == 0)
        ++t_depth;
}

} // namespace

namespace trace_detail {

void WriteLine(uint32_t level, const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    std::string csMessage = FormatMessage(pszFormat, args);
    va_end(args);
    WriteFormatted(level, csMessage);
}

} // namespace trace_detail

void TraceInit(int exe, const std::string& csEnding) {
    STraceState& state = State();
    std::lock_guard restart(state.restartLock);
    if (state.bInitialised)
        return;
    state.bInitialised = true;
    state.exe = exe == eExeGui ? eExeGui : eExeService;
    OpenTrace(state, csEnding);
}

void TraceRestart() {
    Restart(false);
}

void TraceShutdown() {
    STraceState& state = State();
    std::lock_guard restart(state.restartLock);
    std::lock_guard lock(state.writeLock);
    trace_detail::g_activeLevels.store(0, std::memory_order_relaxed);
    if (state.file)
        std::fclose(state.file);
    state.file = nullptr;
    state.bInitialised = false;
    state.uiLineCounter = 100;
    t_depth = 0;
}

namespace {

void WriteNamed(uint32_t level, const char* pszName, const char* pszFormat, va_list args) {
    if (!TraceOn(level))
        return;
    WriteFormatted(level, "(" + std::string(pszName) + ")" + FormatMessage(pszFormat, args));
}

} // namespace

#define VEX_TRACE_NAMED(level)                                                                     \
    va_list args;                                                                                  \
    va_start(args, pszFormat);                                                                     \
    WriteNamed(level, m_pszName, pszFormat, args);                                                 \
    va_end(args)

void CTraceName::Err(const char* pszFormat, ...) const {
    VEX_TRACE_NAMED(TRACE_ERR);
}

void CTraceName::Wrn(const char* pszFormat, ...) const {
    VEX_TRACE_NAMED(TRACE_WRN);
}

void CTraceName::Inf(const char* pszFormat, ...) const {
    VEX_TRACE_NAMED(TRACE_INF);
}

void CTraceName::Det(const char* pszFormat, ...) const {
    VEX_TRACE_NAMED(TRACE_DET);
}

#undef VEX_TRACE_NAMED

std::string CTraceName::Prefixed(const std::string& csText) const {
    return "(" + std::string(m_pszName) + ")" + csText;
}

CTraceScope::CTraceScope(const char* pszName, uint32_t level)
    : CTraceName(pszName), m_level(level) {
    VEX_TRACE_LINE(m_level, "Entry (%s)", m_pszName);
}

CTraceScope::~CTraceScope() {
    if (!TraceOn(m_level))
        return;
    if (m_csResult.empty())
        trace_detail::WriteLine(m_level, "Exit  (%s)", m_pszName);
    else
        trace_detail::WriteLine(m_level, "Exit  (%s) %s", m_pszName, m_csResult.c_str());
}

void CTraceScope::Result(const char* pszFormat, ...) {
    if (!TraceOn(m_level))
        return;
    va_list args;
    va_start(args, pszFormat);
    m_csResult = FormatMessage(pszFormat, args);
    va_end(args);
}
