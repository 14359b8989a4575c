// Who may open a named pipe the back end makes: its security descriptor.
#include "platform/error.h"

#include "pipe_security.h"

#include <sddl.h>
#include <vector>

namespace platform {

namespace {

// The process's user as a SID string, for a user's own pipe.
bool ProcessUserSid(std::string* pcsSid) {
    HANDLE hToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return Fail(::GetLastError());
    DWORD dwSize = 0;
    ::GetTokenInformation(hToken, TokenUser, nullptr, 0, &dwSize);
    std::vector<uint64_t> buffer(dwSize / 8 + 1);
    char* pszSid = nullptr;
    const bool ok =
        ::GetTokenInformation(hToken, TokenUser, buffer.data(), DWORD(buffer.size() * 8),
                              &dwSize) &&
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &pszSid);
    const DWORD dwError = ::GetLastError();
    ::CloseHandle(hToken);
    if (!ok)
        return Fail(dwError);
    *pcsSid = pszSid;
    ::LocalFree(pszSid);
    return true;
}

} // namespace

PSECURITY_DESCRIPTOR PipeSecurity(PipeAccess eAccess) {
    std::string csSddl = "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";
    if (eAccess == PipeAccess::Default) {
        std::string csUser;
        if (!ProcessUserSid(&csUser))
            return nullptr;
        csSddl = "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + csUser + ")";
    }
    PSECURITY_DESCRIPTOR pSd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(csSddl.c_str(), SDDL_REVISION_1,
                                                                &pSd, nullptr))
        Fail(::GetLastError());
    return pSd;
}

} // namespace platform
