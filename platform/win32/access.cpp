// Who may act on the machine, on Windows: the members of the built-in
// Administrators group (with the rights of the token the process runs with).
#include "platform/access.h"

#include "windows_api.h"

namespace platform {

std::string AdministratorsGroupName() {
    return "Administrators";
}

bool IsMachineAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID pAdministrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &pAdministrators))
        return false;
    BOOL bMember = FALSE;
    if (!::CheckTokenMembership(nullptr, pAdministrators, &bMember))
        bMember = FALSE;
    ::FreeSid(pAdministrators);
    return bMember != FALSE;
}

} // namespace platform
