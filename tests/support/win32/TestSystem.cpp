// The test helpers on Windows, over the real machine: a system root in the
// temporary folder with the system's registry key cleared, the named pipes,
// and helpers started through CreateProcess.
#include "TestSupport.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/os.h"
#include "platform/process.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <windows.h>

#include <tlhelp32.h> // after windows.h

namespace vextest {

namespace {

std::string g_selfPath;

// The started helpers and programs by id, until they are collected.
std::mutex g_processesMutex;
std::map<pid_t, HANDLE> g_processes;

HANDLE ProcessHandle(pid_t pid) {
    std::lock_guard lock(g_processesMutex);
    auto it = g_processes.find(pid);
    return it == g_processes.end() ? nullptr : it->second;
}

// The exit code of an ended process as the tests read it (a negative number
// the program passed reads as that number), the process then collected.
int Collect(pid_t pid, HANDLE hProcess) {
    DWORD dwCode = 0;
    const bool bRead = ::GetExitCodeProcess(hProcess, &dwCode);
    ::CloseHandle(hProcess);
    std::lock_guard lock(g_processesMutex);
    g_processes.erase(pid);
    return bRead ? int(dwCode) : -1;
}

// The machine's settings of the system, as a fresh system root has none.
void RemoveSettings() {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, CVexData::kMainKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        &hKey) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeA(hKey, nullptr);
    ::RegCloseKey(hKey);
    ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, CVexData::kMainKey, KEY_WOW64_64KEY, 0);
}

// Starts program with args (each quoted by the argv rules); hOutput, when
// given, becomes its standard output (and, with bErrorsToo, its error output).
pid_t Launch(const std::string& program, const std::vector<std::string>& args, HANDLE hOutput,
             bool bErrorsToo) {
    std::string csLine = platform::QuoteArgument(program);
    for (const std::string& arg : args)
        csLine += " " + platform::QuoteArgument(arg);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (hOutput) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = hOutput;
        si.hStdError = bErrorsToo ? hOutput : ::GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, csLine.data(), nullptr, nullptr, hOutput != nullptr, 0, nullptr,
                          nullptr, &si, &pi))
        return -1;
    ::CloseHandle(pi.hThread);
    std::lock_guard lock(g_processesMutex);
    g_processes[pid_t(pi.dwProcessId)] = pi.hProcess;
    return pid_t(pi.dwProcessId);
}

// A file that a started program writes as its standard output.
HANDLE OutputFile(const std::string& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

pid_t StartWithOutputFile(const std::string& program, const std::vector<std::string>& args,
                          const std::string& stdoutPath) {
    HANDLE hOutput = stdoutPath.empty() ? nullptr : OutputFile(stdoutPath);
    const pid_t pid = Launch(program, args, hOutput, false);
    if (hOutput)
        ::CloseHandle(hOutput);
    return pid;
}

} // namespace

TempRoot::TempRoot() : m_hadPreviousGroup(false) {
    static std::atomic<int> s_made{0};
    char temp[MAX_PATH];
    const DWORD n = ::GetTempPathA(sizeof temp, temp);
    const std::string csBase = (n > 0 && n < sizeof temp ? std::string(temp, n) : ".\\") +
                               "vexroot-" + std::to_string(::GetCurrentProcessId()) + "-";
    do
        m_path = csBase + std::to_string(++s_made);
    while (!::CreateDirectoryA(m_path.c_str(), nullptr) &&
           ::GetLastError() == ERROR_ALREADY_EXISTS);
    const char* previous = std::getenv("VEX_ROOT");
    m_hadPrevious = previous != nullptr;
    m_previous = previous ? previous : "";
    SetEnvironment("VEX_ROOT", m_path);
    RemoveSettings();
}

TempRoot::~TempRoot() {
    TraceShutdown();
    RemoveSettings();
    if (m_hadPrevious)
        SetEnvironment("VEX_ROOT", m_previous);
    else
        UnsetEnvironment("VEX_ROOT");
    // The list file is written read-only: made writable first, or it stays.
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

void SetEnvironment(const std::string& csName, const std::string& csValue) {
    ::_putenv_s(csName.c_str(), csValue.c_str());
}

void UnsetEnvironment(const std::string& csName) {
    // An empty value removes the variable.
    ::_putenv_s(csName.c_str(), "");
}

bool PipeOffered(const std::string& csName, platform::PipeAccess) {
    // Windows names a user's own pipe and the administrators' one alike.
    return ::WaitNamedPipeA(csName.c_str(), 1);
}

int OpenDescriptors() {
    DWORD dwCount = 0;
    return ::GetProcessHandleCount(::GetCurrentProcess(), &dwCount) ? int(dwCount) : -1;
}

int RunningThreads() {
    HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return -1;
    int n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL bMore = ::Thread32First(hSnapshot, &entry); bMore;
         bMore = ::Thread32Next(hSnapshot, &entry))
        n += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(hSnapshot);
    return n;
}

pid_t StartHelper(const std::string& name, const std::vector<std::string>& args,
                  const std::string& stdoutPath) {
    std::vector<std::string> full{"--vex-helper=" + name};
    full.insert(full.end(), args.begin(), args.end());
    return StartWithOutputFile(g_selfPath, full, stdoutPath);
}

int WaitHelper(pid_t pid) {
    HANDLE hProcess = ProcessHandle(pid);
    if (!hProcess || ::WaitForSingleObject(hProcess, INFINITE) != WAIT_OBJECT_0)
        return -1;
    return Collect(pid, hProcess);
}

bool HelperEnded(pid_t pid, int* piExitCode) {
    HANDLE hProcess = ProcessHandle(pid);
    if (!hProcess || ::WaitForSingleObject(hProcess, 0) != WAIT_OBJECT_0)
        return false;
    *piExitCode = Collect(pid, hProcess);
    return true;
}

bool KillHelper(pid_t pid) {
    HANDLE hProcess = ProcessHandle(pid);
    return hProcess && ::TerminateProcess(hProcess, UINT(kKilledHelper));
}

int RunHelper(const std::string& name, const std::vector<std::string>& args) {
    return WaitHelper(StartHelper(name, args));
}

int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* output) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (!::CreatePipe(&hRead, &hWrite, &sa, 0))
        return -1;
    // Only the child's end is handed on.
    ::SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    const pid_t pid = Launch(program, args, hWrite, true);
    ::CloseHandle(hWrite);
    std::string text;
    char buffer[4096];
    for (DWORD n = 0; pid > 0 && ::ReadFile(hRead, buffer, sizeof buffer, &n, nullptr) && n > 0;)
        text.append(buffer, n);
    ::CloseHandle(hRead);
    // Read as text: the line ends of Windows' text mode (CR LF) come as LF.
    for (size_t n = text.find("\r\n"); n != std::string::npos; n = text.find("\r\n", n))
        text.erase(n, 1);
    if (output)
        *output = text;
    return pid > 0 ? WaitHelper(pid) : -1;
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& stdoutPath) {
    return StartWithOutputFile(program, args, stdoutPath);
}

std::string ProgramPath(const std::string& name) {
    return g_selfPath.substr(0, g_selfPath.find_last_of("\\/") + 1) + name +
           platform::ExecutableSuffix();
}

} // namespace vextest

int main(int argc, char** argv) {
    char self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, sizeof self);
    vextest::g_selfPath = n > 0 && n < sizeof self ? std::string(self, n) : argv[0];
    return vextest::RunHelperOrTests(argc, argv);
}
