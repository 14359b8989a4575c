// Operating-system facts on Windows: the real version, system directory and
// program path.
#include "platform/os.h"
#include "platform/error.h"

#include "windows_api.h"

#include <vector>

namespace platform {

namespace {

// RtlGetVersion tells the truth where GetVersionEx answers what the program's
// manifest claims.
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

} // namespace

OsVersion GetVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    auto pfn = hNtdll ? reinterpret_cast<RtlGetVersionFn>(
                            reinterpret_cast<void*>(::GetProcAddress(hNtdll, "RtlGetVersion")))
                      : nullptr;
    if (pfn && pfn(&info) == 0)
        return {info.dwMajorVersion, info.dwMinorVersion};
    return {5, 1};
}

bool SetEmulatedVersion(uint32_t, uint32_t) {
    // The version is the machine's own: nothing emulates it here.
    return Fail(ERROR_NOT_SUPPORTED);
}

std::string GetSystemDirectory() {
    char path[MAX_PATH + 1];
    UINT n = ::GetSystemDirectoryA(path, sizeof path - 1);
    if (n == 0 || n >= sizeof path - 1)
        return "C:\\Windows\\system32\\";
    return std::string(path, n) + '\\';
}
const char* ExecutableSuffix() {
    return ".exe";
}
char PathSeparator() {
    return '\\';
}
const char* LineEnding() {
    return "\r\n";
}

bool GetModuleFileName(std::string* pcsPath) {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
        if (n == 0)
            return Fail(::GetLastError());
        if (n < path.size()) {
            pcsPath->assign(path.data(), n);
            return true;
        }
        if (path.size() >= 32768)
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        path.resize(path.size() * 2);
    }
}

} // namespace platform
