// Helpers shared by the test programs: a private system root per test, waiting
// for a condition with a deadline, and re-running the test binary as a helper
// process for multi-process cases. What is the same on every system is in
// TestSupport.cpp; posix/ and win32/ hold each system's side.
#pragma once

#include "platform/pipes.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vextest {

// Makes a fresh system root under /tmp and points VEX_ROOT at it for the
// object's life; the folder is removed afterwards. On Windows the folder is in
// the temporary folder, and the machine's own registry holds the settings:
// the system's key is removed as the root is made and again when it goes, so
// each test starts from no settings as on POSIX (tests that make a root take
// turns on the machine). On POSIX the root belongs to the
// user who runs the tests and, while the tests run as root, to the test
// administrators' group kTestAdminGroup (VEX_ADMIN_GROUP points at it), so a
// helper run with that group stands for an administrator. WorkDir() is the installation
// tree's folder (ending in '/'), written as "Working directory" by SetUpWorkDir().
constexpr unsigned kTestAdminGroup = 47601;
// A user outside the root's group (nobody).
constexpr unsigned kOutsiderId = 65534;

class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& Path() const { return m_path; }
    std::string WorkDir() const { return m_path + "/work/"; }
    // Creates WorkDir() and stores it as the "Working directory" setting.
    void SetUpWorkDir() const;
    // Switches the trace of a program on with the given level and wrap settings
    // (the file goes to WorkDir()).
    void EnableTrace(int eExe, uint32_t level = 0x7F, bool bWrapOn = false,
                     int32_t iWrapSize = 1400000) const;

private:
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious;
    std::string m_previousGroup;
    bool m_hadPreviousGroup;
};

// Sets or removes a variable of this process's environment, which the
// processes it starts inherit.
void SetEnvironment(const std::string& csName, const std::string& csValue);
void UnsetEnvironment(const std::string& csName);

// POSIX only (the emulated machine's network and users): EnterPrivateNetwork,
// the identities below and RunningAsRoot. On Windows the whole test run is in
// a private namespace (scripts/test-mingw) and users are the machine's own.
//
// Moves the calling thread (and the threads and processes it starts from now
// on) into a new network namespace of its own that has only loopback, with the
// multicast range routed to it, and marks it for printer-sim (VEX_NETNS=1).
// Each test that sends SSDP calls it first, so that tests running at the same
// time never hear each other. False, with the reason, when it cannot be made:
// the test must then fail, never run on the machine's own network.
bool EnterPrivateNetwork(std::string* pcsError);

// Polls the condition until it holds or the deadline passes.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds deadline = std::chrono::seconds(10));

// True when a listener offers an instance of the pipe (a name "\\.\pipe\NAME"
// of the kind eAccess, as its server made it) that waits for a client. POSIX:
// a socket beside the process markers in the pipe's folder under the system
// root (run/NAME.pipe, or run/NAME@UID.pipe for this user's own pipe);
// Windows: WaitNamedPipe, which joins no client.
bool PipeOffered(const std::string& csName, platform::PipeAccess eAccess);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The descriptors (Windows: the handles, GetProcessHandleCount) this process
// holds open now. Wine 8 counts 0 handles for every process, so under wine
// the checks of it show nothing; Windows counts them.
int OpenDescriptors();
// The threads of this process that run now.
int RunningThreads();
void WriteFile(const std::string& path, const std::string& contents);
// Splits text into lines without their line ends.
std::vector<std::string> Lines(const std::string& text);

// A helper process: the test binary run again with "--vex-helper=NAME ARGS...".
// Helpers are registered with VEX_TEST_HELPER and return the exit code.
using HelperFunction = int (*)(const std::vector<std::string>& args);
bool RegisterHelper(const char* name, HelperFunction function);
// Starts a helper; returns its pid (or -1). Its standard output goes to
// stdoutPath when one is given.
pid_t StartHelper(const std::string& name, const std::vector<std::string>& args = {},
                  const std::string& stdoutPath = "");
// Waits for a helper and returns its exit code (-signal when killed).
int WaitHelper(pid_t pid);
// True, with the exit code as WaitHelper gives it, once the helper has ended
// (it is then collected); false while it runs.
bool HelperEnded(pid_t pid, int* piExitCode);
// Ends a helper at once, as a crash would (POSIX: SIGKILL; Windows:
// TerminateProcess); WaitHelper then gives kKilledHelper.
bool KillHelper(pid_t pid);
inline constexpr int kKilledHelper = -9;
// Runs a helper to its end.
int RunHelper(const std::string& name, const std::vector<std::string>& args = {});

// Who a helper runs as: the test's own user, or (while the tests run as root)
// the user nobody with no group at all, or nobody in the test administrators'
// group. The last two run through setpriv, as an attacker would.
enum class Identity { Self, Outsider, Administrator };
pid_t StartHelperAs(Identity eWho, const std::string& name,
                    const std::vector<std::string>& args = {});
int RunHelperAs(Identity eWho, const std::string& name, const std::vector<std::string>& args = {});
// Identities other than Self need root.
bool RunningAsRoot();

// Runs a program with arguments; returns its exit code and collects its output.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* output = nullptr);
// Runs a program as another user (through setpriv, as an attacker would).
int RunProgramAs(Identity eWho, const std::string& program, const std::vector<std::string>& args,
                 std::string* output = nullptr);
// Starts a program with arguments, its standard output to stdoutPath when one
// is given; returns its pid (WaitHelper collects it) or -1.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& stdoutPath = "");
// A program of the test binary's build tree (vexsrv, vexsys, ...), with the
// system's suffix for programs (on Windows from the test program's own
// folder, where the build puts every program).
std::string ProgramPath(const std::string& name);

// The test programs' main: runs the helper named by "--vex-helper=NAME" or the
// tests. Each system's main prepares the process and calls it.
int RunHelperOrTests(int argc, char** argv);

} // namespace vextest

#define VEX_TEST_HELPER(name)                                                                      \
    static int VexHelper_##name(const std::vector<std::string>& args);                             \
    static const bool s_registered_##name = vextest::RegisterHelper(#name, VexHelper_##name);      \
    static int VexHelper_##name([[maybe_unused]] const std::vector<std::string>& args)
