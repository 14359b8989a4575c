// Processes: start a program from a command line, wait for it with or without
// a limit, read its exit code, end it; list the machine's processes.
//
// A command line is one text, split into the program and its arguments by the
// rules Windows programs use for their argv (never by a shell: quotes,
// blanks and backslashes are the only special characters). QuoteArgument is
// the inverse: any text quoted by it comes back from the split unchanged,
// whatever quotes, backslashes, blanks or line ends it holds.
//
// A program may be started as another user: the user of a running process
// (CreateProcessAsUser with that process's token), or an explicit user and
// group with that user's supplementary groups. On POSIX only root may start a
// program as someone else (ERROR_PRIVILEGE_NOT_HELD otherwise).
#pragma once

#include "platform/sync.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

enum : uint32_t {
    // GetExitCode while the process runs.
    STILL_ACTIVE = 259,
    // Exit code of a process that a signal ended (the signal number is added).
    EXIT_CODE_SIGNAL_BASE = 0xC0000000,
};

// Splits a command line by the Windows argv rules: the program name runs to
// the next blank, or between two quotes, with no escapes; in the arguments
// blanks and tabs separate outside quotes, 2n backslashes before a quote give
// n backslashes and the quote opens or closes a quoted run, 2n+1 backslashes
// before a quote give n backslashes and a literal quote, other backslashes are
// literal, and "" inside a quoted run is a literal quote. False when the line
// names no program.
bool SplitCommandLine(const std::string& csCommandLine, std::vector<std::string>* pArgv);

// Encloses a text in quotes so that SplitCommandLine gives it back as exactly
// one argument, unchanged.
std::string QuoteArgument(const std::string& csArgument);

// Splits a command line as a process start reads it: SplitCommandLine, except
// that an unquoted program path with blanks is found by trying the text up to
// each blank in turn ("/opt/my tools/prog -x" runs "/opt/my tools/prog" when
// "/opt/my" is no file). False when the line names no program.
bool ParseProgramCommandLine(const std::string& csCommandLine, std::vector<std::string>* pArgv);

struct ProcessOptions {
    // Current folder of the new process; empty: the starter's.
    std::string csCurrentDirectory;
    // Not 0: run as the user of this process (its user, group and groups).
    uint32_t dwRunAsUserOfProcessId = 0;
    // Run as the user logged on at the machine's console, on that user's
    // desktop and with that user's environment (Windows: the active console
    // session's token from WTSQueryUserToken, which only a service running as
    // LocalSystem obtains; ERROR_NO_TOKEN when nobody is logged on). POSIX has
    // no console session: ERROR_NOT_SUPPORTED.
    bool bActiveConsoleUser = false;
    // Run as this user and group, with the user's supplementary groups.
    bool bRunAsUser = false;
    uint32_t uiUserId = 0;
    uint32_t uiGroupId = 0;
    // Variables set (or replaced) in the new process's environment, which is
    // otherwise the starter's.
    std::vector<std::pair<std::string, std::string>> vEnvironment;
    // Not -1: the descriptor that becomes the new process's standard output
    // (STARTUPINFO's hStdOutput); otherwise it shares the starter's.
    int hStdOutput = -1;
};

// A started process. Closing the handle (destruction) leaves the process
// running; it is collected when it ends.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts the program the command line names (a path with a separator, else
    // looked up in PATH). False with the last error when it cannot run:
    // ERROR_FILE_NOT_FOUND (no program), ERROR_ACCESS_DENIED (not executable),
    // ERROR_PRIVILEGE_NOT_HELD (another user without the right),
    // ERROR_INVALID_PARAMETER (a process to take the user from is gone),
    // ERROR_DIRECTORY (bad current folder).
    bool Start(const std::string& csCommandLine, const ProcessOptions& options = {});
    bool IsStarted() const { return m_pid > 0; }
    uint32_t Id() const { return uint32_t(m_pid); }

    // Waits until the process ends or the time is up.
    WaitResult Wait(uint32_t dwMilliseconds = INFINITE);
    // The exit code once it ended (an exit status of 128..255 reads as the
    // negative number the program passed, so exit(-6) reads as -6), or
    // STILL_ACTIVE. A process ended by a signal reads EXIT_CODE_SIGNAL_BASE +
    // the signal; one ended by Terminate reads the code given there.
    bool GetExitCode(uint32_t* pdwExitCode);
    // Ends the process at once; its exit code becomes uExitCode.
    bool Terminate(uint32_t uExitCode);

private:
    // True once the process has ended, its exit code then kept.
    bool Reap(bool bBlock);
    // Ends the process at once (the back end's part of Terminate).
    bool Kill(uint32_t uExitCode);

    int m_pid = -1;
    // What a wait blocks on: a pidfd on POSIX, the process handle on Windows.
    intptr_t m_hWait = -1;
    bool m_bEnded = false;
    uint32_t m_dwExitCode = STILL_ACTIVE;
    bool m_bTerminated = false;
    uint32_t m_dwTerminateCode = 0;
};

struct ProcessEntry {
    uint32_t dwProcessId;
    std::string csImagePath; // the program file's full path
    uint32_t uiUserId;
};

// The running processes whose program path can be read (others are left out,
// as on Windows those that cannot be opened for query), in id order.
bool EnumProcesses(std::vector<ProcessEntry>* pProcesses);

// The calling program's own command line, split as a process start reads it
// (ParseProgramCommandLine): the program first, then its arguments. On
// Windows it is the line the process was started with (GetCommandLine), so an
// unquoted program path with blanks stays the program, where the C runtime's
// argv splits it into arguments; on POSIX the start handed the arguments over
// split already (/proc/self/cmdline). False when the line cannot be read.
bool GetProgramCommandLine(std::vector<std::string>* pArgv);

// The calling process's and thread's ids, as the system numbers them.
uint32_t GetCurrentProcessId();
uint32_t GetCurrentThreadId();

// A write to a pipe or socket whose reader has gone gives the writer an error
// instead of ending the process (POSIX ignores SIGPIPE; Windows always does
// so). False when the process cannot be set up so.
bool MakeBrokenPipesWriteErrors();

// The user, group and supplementary groups of a running process.
bool GetProcessUser(uint32_t dwProcessId, uint32_t* puiUserId, uint32_t* puiGroupId,
                    std::vector<uint32_t>* pGroups);

} // namespace platform
