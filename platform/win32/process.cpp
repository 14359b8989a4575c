// Processes on Windows: CreateProcess (or CreateProcessAsUser with another
// process's token) reads the command line by the argv rules itself; the
// toolhelp snapshot lists the machine's processes.
#include "platform/process.h"
#include "platform/codepage.h"
#include "platform/error.h"

#include "windows_api.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <io.h>
#include <tlhelp32.h>
#include <userenv.h>
#include <vector>
#include <wtsapi32.h>

namespace platform {

namespace {

HANDLE ProcessHandle(intptr_t hWait) {
    return reinterpret_cast<HANDLE>(hWait);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::_strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// The starter's environment (unless not bStartersToo) with the options'
// variables set or replaced (names compare without regard to case), as an
// environment block.
std::vector<char> EnvironmentBlock(const ProcessOptions& options, bool bStartersToo = true) {
    std::vector<char> block;
    if (char* pszAll = bStartersToo ? ::GetEnvironmentStringsA() : nullptr) {
        for (const char* p = pszAll; *p; p += std::strlen(p) + 1) {
            const std::string csEntry = p;
            const size_t eq = csEntry.find('=', 1); // "=C:=C:\x" entries start with '='
            bool bReplaced = false;
            for (const auto& [name, value] : options.vEnvironment)
                bReplaced =
                    bReplaced || (eq != std::string::npos && SameName(name, csEntry.substr(0, eq)));
            if (!bReplaced)
                block.insert(block.end(), csEntry.c_str(), csEntry.c_str() + csEntry.size() + 1);
        }
        ::FreeEnvironmentStringsA(pszAll);
    }
    for (const auto& [name, value] : options.vEnvironment) {
        const std::string csEntry = name + "=" + value;
        block.insert(block.end(), csEntry.c_str(), csEntry.c_str() + csEntry.size() + 1);
    }
    block.push_back('\0');
    return block;
}

// The primary token of a running process, for CreateProcessAsUser.
HANDLE UserTokenOf(uint32_t dwProcessId) {
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, dwProcessId);
    if (!hProcess)
        return nullptr;
    HANDLE hToken = nullptr, hPrimary = nullptr;
    if (::OpenProcessToken(hProcess, TOKEN_DUPLICATE | TOKEN_QUERY, &hToken)) {
        ::DuplicateTokenEx(hToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                           &hPrimary);
        ::CloseHandle(hToken);
    }
    ::CloseHandle(hProcess);
    return hPrimary;
}

// The token of the user logged on at the console, for a service that starts a
// program on that user's desktop.
HANDLE ConsoleUserToken() {
    HANDLE hToken = nullptr;
    const DWORD dwSession = ::WTSGetActiveConsoleSessionId();
    if (dwSession == 0xFFFFFFFF || !::WTSQueryUserToken(dwSession, &hToken)) {
        SetLastError(dwSession == 0xFFFFFFFF ? DWORD(ERROR_NO_TOKEN) : ::GetLastError());
        return nullptr;
    }
    return hToken;
}

// The user's own environment (the starter's is a service's), with the
// options' variables set on top.
std::vector<char> UserEnvironmentBlock(HANDLE hToken, const ProcessOptions& options) {
    std::vector<char> block;
    void* pEnvironment = nullptr;
    if (!::CreateEnvironmentBlock(&pEnvironment, hToken, FALSE))
        return EnvironmentBlock(options);
    std::vector<std::pair<std::string, std::string>> vars;
    for (const wchar_t* p = static_cast<const wchar_t*>(pEnvironment); *p;
         p += std::wcslen(p) + 1) {
        const std::u16string u16(p, p + std::wcslen(p));
        const std::string csEntry = Utf16ToAnsi(u16.data(), u16.size());
        const size_t eq = csEntry.find('=', 1);
        if (eq != std::string::npos)
            vars.emplace_back(csEntry.substr(0, eq), csEntry.substr(eq + 1));
    }
    ::DestroyEnvironmentBlock(pEnvironment);
    ProcessOptions merged;
    merged.vEnvironment = std::move(vars);
    for (const auto& entry : options.vEnvironment)
        merged.vEnvironment.push_back(entry);
    return EnvironmentBlock(merged, false);
}

} // namespace

Process::~Process() {
    // The process runs on; the system collects it.
    if (m_hWait != -1)
        ::CloseHandle(ProcessHandle(m_hWait));
}

bool Process::Start(const std::string& csCommandLine, const ProcessOptions& options) {
    if (m_pid > 0)
        return Fail(ERROR_INVALID_HANDLE);
    std::vector<std::string> argv;
    if (!SplitCommandLine(csCommandLine, &argv))
        return Fail(ERROR_FILE_NOT_FOUND);
    // An explicit user and group are POSIX ids; Windows starts as a process's user.
    if (options.bRunAsUser)
        return Fail(ERROR_NOT_SUPPORTED);
    HANDLE hToken = nullptr;
    if (options.bActiveConsoleUser) {
        if (!(hToken = ConsoleUserToken()))
            return false;
    } else if (options.dwRunAsUserOfProcessId != 0 &&
               !(hToken = UserTokenOf(options.dwRunAsUserOfProcessId))) {
        return Fail(ERROR_INVALID_PARAMETER);
    }

    STARTUPINFOA si{};
    si.cb = sizeof si;
    BOOL bInherit = FALSE;
    if (options.hStdOutput != -1) {
        HANDLE hOut = reinterpret_cast<HANDLE>(::_get_osfhandle(options.hStdOutput));
        if (hOut == INVALID_HANDLE_VALUE ||
            !::SetHandleInformation(hOut, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
            if (hToken)
                ::CloseHandle(hToken);
            return Fail(ERROR_INVALID_HANDLE);
        }
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = hOut;
        si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        bInherit = TRUE;
    }
    std::vector<char> env = options.bActiveConsoleUser ? UserEnvironmentBlock(hToken, options)
                                                       : EnvironmentBlock(options);
    // The console user's own desktop, not the service's invisible one.
    char szDesktop[] = "winsta0\\default";
    if (options.bActiveConsoleUser)
        si.lpDesktop = szDesktop;
    std::vector<char> line(csCommandLine.begin(), csCommandLine.end());
    line.push_back('\0');
    const char* pszDir =
        options.csCurrentDirectory.empty() ? nullptr : options.csCurrentDirectory.c_str();
    PROCESS_INFORMATION pi{};
    const BOOL ok = hToken ? ::CreateProcessAsUserA(hToken, nullptr, line.data(), nullptr, nullptr,
                                                    bInherit, 0, env.data(), pszDir, &si, &pi)
                           : ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, bInherit, 0,
                                              env.data(), pszDir, &si, &pi);
    const DWORD dwError = ::GetLastError();
    // Only this child was meant to have the output.
    if (si.hStdOutput)
        ::SetHandleInformation(si.hStdOutput, HANDLE_FLAG_INHERIT, 0);
    if (hToken)
        ::CloseHandle(hToken);
    if (!ok)
        return Fail(dwError);
    ::CloseHandle(pi.hThread);
    m_pid = int(pi.dwProcessId);
    m_hWait = reinterpret_cast<intptr_t>(pi.hProcess);
    return true;
}

bool Process::Reap(bool bBlock) {
    if (m_bEnded)
        return true;
    if (::WaitForSingleObject(ProcessHandle(m_hWait), bBlock ? INFINITE : 0) != WAIT_OBJECT_0)
        return false;
    DWORD dwCode = 0;
    ::GetExitCodeProcess(ProcessHandle(m_hWait), &dwCode);
    m_bEnded = true;
    m_dwExitCode = m_bTerminated ? m_dwTerminateCode : dwCode;
    return true;
}

WaitResult Process::Wait(uint32_t dwMilliseconds) {
    if (m_pid <= 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WaitResult::Failed;
    }
    switch (::WaitForSingleObject(ProcessHandle(m_hWait), dwMilliseconds)) {
    case WAIT_OBJECT_0:
        Reap(false);
        return WaitResult::Signaled;
    case WAIT_TIMEOUT:
        return WaitResult::Timeout;
    default:
        SetLastError(::GetLastError());
        return WaitResult::Failed;
    }
}

bool Process::Kill(uint32_t uExitCode) {
    return ::TerminateProcess(ProcessHandle(m_hWait), uExitCode) || Fail(::GetLastError());
}

bool GetProgramCommandLine(std::vector<std::string>* pArgv) {
    const char* pszLine = ::GetCommandLineA();
    return (pszLine && ParseProgramCommandLine(pszLine, pArgv)) || Fail(ERROR_INVALID_PARAMETER);
}

uint32_t GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

uint32_t GetCurrentThreadId() {
    return ::GetCurrentThreadId();
}

bool MakeBrokenPipesWriteErrors() {
    // A write to a closed pipe fails with ERROR_NO_DATA; no signal exists.
    return true;
}

bool EnumProcesses(std::vector<ProcessEntry>* pProcesses) {
    pProcesses->clear();
    HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return Fail(::GetLastError());
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(hSnapshot, &entry); more;
         more = ::Process32Next(hSnapshot, &entry)) {
        // Those that cannot be opened for query are left out.
        HANDLE hProcess =
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!hProcess)
            continue;
        char path[MAX_PATH * 4];
        DWORD cch = sizeof path;
        if (::QueryFullProcessImageNameA(hProcess, 0, path, &cch))
            pProcesses->push_back({entry.th32ProcessID, std::string(path, cch), 0});
        ::CloseHandle(hProcess);
    }
    ::CloseHandle(hSnapshot);
    std::sort(
        pProcesses->begin(), pProcesses->end(),
        [](const ProcessEntry& a, const ProcessEntry& b) { return a.dwProcessId < b.dwProcessId; });
    return true;
}

bool GetProcessUser(uint32_t, uint32_t*, uint32_t*, std::vector<uint32_t>*) {
    // Windows users are security identifiers, not the numbers asked here.
    return Fail(ERROR_NOT_SUPPORTED);
}

} // namespace platform
