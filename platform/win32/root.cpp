// The system root on Windows: the machine itself keeps the registry, the
// services and the spooler, so the root only holds the system's own files,
// in the machine's common application data folder (or VEX_ROOT).
#include "platform/root.h"
#include "platform/error.h"

#include "windows_api.h"

#include <cstdlib>
#include <sddl.h>
#include <shlobj.h>

namespace platform {

namespace {

// The system and the administrators, nobody else: the root holds the
// service's files.
const char kRootSecurity[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

bool EnsureFolder(const std::string& csPath) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kRootSecurity, SDDL_REVISION_1,
                                                                &sa.lpSecurityDescriptor, nullptr))
        return Fail(::GetLastError());
    const bool bMade = ::CreateDirectoryA(csPath.c_str(), &sa);
    const DWORD dwError = ::GetLastError();
    ::LocalFree(sa.lpSecurityDescriptor);
    if (bMade)
        return true;
    if (dwError != ERROR_ALREADY_EXISTS)
        return Fail(dwError);
    // A link could lead the service's files anywhere: refused, never repaired.
    const DWORD dw = ::GetFileAttributesA(csPath.c_str());
    if (dw == INVALID_FILE_ATTRIBUTES)
        return Fail(::GetLastError());
    if (!(dw & FILE_ATTRIBUTE_DIRECTORY) || (dw & FILE_ATTRIBUTE_REPARSE_POINT))
        return Fail(ERROR_ACCESS_DENIED);
    return true;
}

} // namespace

std::string SystemRoot() {
    const char* env = std::getenv("VEX_ROOT");
    std::string root;
    if (env && *env) {
        root = env;
    } else {
        char path[MAX_PATH];
        root = SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr,
                                            SHGFP_TYPE_CURRENT, path))
                   ? path
                   : "C:\\ProgramData";
        root += "\\ambrel";
    }
    while (root.size() > 3 && (root.back() == '\\' || root.back() == '/'))
        root.pop_back();
    return root;
}

std::string RootPath(const std::string& csRelative) {
    std::string csPath = SystemRoot() + "\\" + csRelative;
    for (char& c : csPath)
        if (c == '/')
            c = '\\';
    return csPath;
}

bool EnsureSystemRoot() {
    for (const char* pszFolder : {"", "run", "system"}) {
        const std::string csPath = *pszFolder ? RootPath(pszFolder) : SystemRoot();
        if (!EnsureFolder(csPath))
            return false;
    }
    return true;
}

} // namespace platform
