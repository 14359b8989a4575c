// The user's profile on Windows (GetProfileString, WriteProfileString: the
// system maps win.ini's section "windows" to the user's registry), and the
// default-printer entries that follow a printer: the calling user's through
// the profile, every other user whose profile is loaded through his key under
// HKEY_USERS.
#include "platform/error.h"
#include "platform/spooler.h"

#include "spooler_api.h"

#include <algorithm>

namespace platform {

using namespace win32::spooler;

namespace {

// Longest entry read at once; a longer one is cut, as the caller's size cuts.
constexpr uint32_t kMaxEntry = 32768;

const char* const kUserWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// The printer an entry "printer,driver,port" names.
std::string EntryPrinter(const std::string& csDevice) {
    return csDevice.substr(0, csDevice.find(','));
}

// The "Device" value of one user's key, set to pszDevice or removed, when it
// names csName.
void RetargetUserKey(::HKEY hUser, const std::string& csName, const char* pszDevice) {
    ::HKEY hKey = nullptr;
    if (::RegOpenKeyExA(hUser, kUserWindowsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &hKey) !=
        ERROR_SUCCESS)
        return;
    char value[1024];
    DWORD cb = sizeof value - 1, type = 0;
    if (::RegQueryValueExA(hKey, "Device", nullptr, &type, reinterpret_cast<BYTE*>(value), &cb) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        value[std::min<DWORD>(cb, sizeof value - 1)] = '\0';
        if (SameText(EntryPrinter(value), csName)) {
            if (pszDevice)
                ::RegSetValueExA(hKey, "Device", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(pszDevice),
                                 DWORD(std::string(pszDevice).size() + 1));
            else
                ::RegDeleteValueA(hKey, "Device");
        }
    }
    ::RegCloseKey(hKey);
}

} // namespace

void win32::spooler::RetargetDefaults(const std::string& csName, const char* pszDevice) {
    std::string csDevice;
    GetProfileString("windows", "device", "", &csDevice, kMaxEntry);
    if (SameText(EntryPrinter(csDevice), csName))
        WriteProfileString("windows", "device", pszDevice);
    char sid[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof sid;
        if (::RegEnumKeyExA(HKEY_USERS, i, sid, &cch, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        ::HKEY hUser = nullptr;
        if (::RegOpenKeyExA(HKEY_USERS, sid, 0, KEY_READ, &hUser) != ERROR_SUCCESS)
            continue;
        RetargetUserKey(hUser, csName, pszDevice);
        ::RegCloseKey(hUser);
    }
}

uint32_t GetProfileString(const std::string& csSection, const std::string& csKey,
                          const std::string& csDefault, std::string* pcsReturned, uint32_t nSize) {
    std::string value;
    if (nSize > 0) {
        std::vector<char> buffer(std::min(nSize, kMaxEntry) + 1, '\0');
        const DWORD n = ::GetProfileStringA(csSection.c_str(), csKey.c_str(), csDefault.c_str(),
                                            buffer.data(), DWORD(buffer.size() - 1));
        value.assign(buffer.data(), std::min<size_t>(n, nSize - 1));
    }
    if (pcsReturned)
        *pcsReturned = value;
    return uint32_t(value.size());
}

bool WriteProfileString(const std::string& csSection, const std::string& csKey,
                        const char* pszValue) {
    return ::WriteProfileStringA(csSection.c_str(), csKey.c_str(), pszValue) || SystemFail();
}

} // namespace platform
