// The machine's registry on Windows: the Reg*A calls on the real keys.
//
// A handle is the system's key handle. Enumerations come in name order
// (ASCII case folded, as the POSIX store sorts), which the system promises
// for neither keys nor values, so each one reads the names and sorts them.
#include "platform/registry.h"

#include "windows_api.h"

#include <algorithm>

namespace {
// windows.h names the predefined keys with macros, and the platform's handles
// of them bear the same names.
const ::HKEY kSystemLocalMachine = HKEY_LOCAL_MACHINE;
const ::HKEY kSystemCurrentUser = HKEY_CURRENT_USER;
} // namespace
#undef HKEY_LOCAL_MACHINE
#undef HKEY_CURRENT_USER

namespace platform {

struct RegistryKey {
    ::HKEY h;
    bool bPredefined;
};

namespace {

RegistryKey g_localMachine{kSystemLocalMachine, true};
RegistryKey g_currentUser{kSystemCurrentUser, true};

// A 64-bit view whatever the program's build, so that every program of the
// system sees the same keys.
constexpr REGSAM kAllAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
constexpr REGSAM kReadAccess = KEY_READ | KEY_WOW64_64KEY;

bool ValidKey(HKEY hKey) {
    return hKey != nullptr;
}

uint32_t NewHandle(::HKEY h, HKEY* phkResult) {
    *phkResult = new RegistryKey{h, false};
    return ERROR_SUCCESS;
}

bool NameBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return uint8_t(lower(x)) < uint8_t(lower(y));
    });
}

// The names of the key's subkeys or values, sorted.
uint32_t SortedNames(HKEY hKey, bool bValues, std::vector<std::string>* pNames) {
    pNames->clear();
    // Key names are at most 255 characters, value names 16383.
    std::vector<char> name(bValues ? 16384 : 256);
    for (DWORD i = 0;; ++i) {
        DWORD cch = DWORD(name.size());
        LONG rc = bValues ? ::RegEnumValueA(hKey->h, i, name.data(), &cch, nullptr, nullptr,
                                            nullptr, nullptr)
                          : ::RegEnumKeyExA(hKey->h, i, name.data(), &cch, nullptr, nullptr,
                                            nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return uint32_t(rc);
        pNames->emplace_back(name.data(), cch);
    }
    std::sort(pNames->begin(), pNames->end(), NameBefore);
    return ERROR_SUCCESS;
}

} // namespace

const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;
const HKEY HKEY_CURRENT_USER = &g_currentUser;

uint32_t RegOpenKeyEx(HKEY hKey, const std::string& csSubKey, HKEY* phkResult) {
    if (!ValidKey(hKey) || !phkResult)
        return ERROR_INVALID_HANDLE;
    ::HKEY h = nullptr;
    LONG rc = ::RegOpenKeyExA(hKey->h, csSubKey.c_str(), 0, kAllAccess, &h);
    // Read access works without write access.
    if (rc == ERROR_ACCESS_DENIED)
        rc = ::RegOpenKeyExA(hKey->h, csSubKey.c_str(), 0, kReadAccess, &h);
    return rc == ERROR_SUCCESS ? NewHandle(h, phkResult) : uint32_t(rc);
}

uint32_t RegCreateKeyEx(HKEY hKey, const std::string& csSubKey, HKEY* phkResult) {
    if (!ValidKey(hKey) || !phkResult)
        return ERROR_INVALID_HANDLE;
    ::HKEY h = nullptr;
    LONG rc = ::RegCreateKeyExA(hKey->h, csSubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                kAllAccess, nullptr, &h, nullptr);
    return rc == ERROR_SUCCESS ? NewHandle(h, phkResult) : uint32_t(rc);
}

uint32_t RegCloseKey(HKEY hKey) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (hKey->bPredefined)
        return ERROR_SUCCESS;
    LONG rc = ::RegCloseKey(hKey->h);
    delete hKey;
    return uint32_t(rc);
}

uint32_t RegDeleteKey(HKEY hKey, const std::string& csSubKey) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    return uint32_t(::RegDeleteKeyExA(hKey->h, csSubKey.c_str(), KEY_WOW64_64KEY, 0));
}

uint32_t RegQueryValueEx(HKEY hKey, const std::string& csValueName, uint32_t* pdwType,
                         uint8_t* pData, uint32_t* pcbData) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (pData && !pcbData)
        return ERROR_INVALID_PARAMETER;
    DWORD dwType = REG_NONE;
    DWORD cb = pcbData ? *pcbData : 0;
    LONG rc = ::RegQueryValueExA(hKey->h, csValueName.c_str(), nullptr, &dwType, pData,
                                 pcbData ? &cb : nullptr);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        if (pdwType)
            *pdwType = dwType;
        if (pcbData)
            *pcbData = cb;
    }
    return uint32_t(rc);
}

uint32_t RegSetValueEx(HKEY hKey, const std::string& csValueName, uint32_t dwType,
                       const uint8_t* pData, uint32_t cbData) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    return uint32_t(::RegSetValueExA(hKey->h, csValueName.c_str(), 0, dwType, pData, cbData));
}

uint32_t RegDeleteValue(HKEY hKey, const std::string& csValueName) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    return uint32_t(::RegDeleteValueA(hKey->h, csValueName.c_str()));
}

uint32_t RegEnumKeyEx(HKEY hKey, uint32_t dwIndex, std::string* pcsName) {
    if (!ValidKey(hKey) || !pcsName)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    uint32_t rc = SortedNames(hKey, false, &names);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (dwIndex >= names.size())
        return ERROR_NO_MORE_ITEMS;
    *pcsName = names[dwIndex];
    return ERROR_SUCCESS;
}

uint32_t RegEnumValue(HKEY hKey, uint32_t dwIndex, std::string* pcsName, uint32_t* pdwType,
                      std::vector<uint8_t>* pData) {
    if (!ValidKey(hKey) || !pcsName)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    uint32_t rc = SortedNames(hKey, true, &names);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (dwIndex >= names.size())
        return ERROR_NO_MORE_ITEMS;
    uint32_t dwType = REG_NONE, cb = 0;
    rc = RegQueryValueEx(hKey, names[dwIndex], &dwType, nullptr, &cb);
    std::vector<uint8_t> data(cb);
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueEx(hKey, names[dwIndex], &dwType, data.data(), &cb);
    if (rc != ERROR_SUCCESS)
        return rc;
    data.resize(cb);
    *pcsName = names[dwIndex];
    if (pdwType)
        *pdwType = dwType;
    if (pData)
        *pData = std::move(data);
    return ERROR_SUCCESS;
}

uint32_t RegQuerySubkeyValues(HKEY hKey, const std::string& csValueName,
                              std::vector<SSubkeyValue>* pValues) {
    if (!ValidKey(hKey) || !pValues)
        return ERROR_INVALID_HANDLE;
    pValues->clear();
    std::vector<std::string> names;
    uint32_t rc = SortedNames(hKey, false, &names);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (const std::string& csSubkey : names) {
        HKEY hSub = nullptr;
        if (RegOpenKeyEx(hKey, csSubkey, &hSub) != ERROR_SUCCESS)
            continue; // gone since the listing: as if it had no value
        SSubkeyValue value;
        value.csSubkey = csSubkey;
        uint32_t cb = 0;
        rc = RegQueryValueEx(hSub, csValueName, &value.dwType, nullptr, &cb);
        value.data.resize(cb);
        if (rc == ERROR_SUCCESS)
            rc = RegQueryValueEx(hSub, csValueName, &value.dwType, value.data.data(), &cb);
        RegCloseKey(hSub);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        if (rc != ERROR_SUCCESS)
            return rc;
        value.data.resize(cb);
        pValues->push_back(std::move(value));
    }
    return ERROR_SUCCESS;
}

ChangeStamp RegChangeStamp() {
    // The system keeps no stamp of its registry: an invalid one makes every
    // caller read again.
    return ChangeStamp{};
}

} // namespace platform
