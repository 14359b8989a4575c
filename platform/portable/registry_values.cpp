// The typed conveniences over the registry calls and the hive names, the
// same over every back end.
#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace platform {

uint32_t RegSetDword(HKEY hKey, const std::string& csValueName, uint32_t dwValue) {
    uint8_t bytes[4];
    std::memcpy(bytes, &dwValue, 4);
    return RegSetValueEx(hKey, csValueName, REG_DWORD, bytes, 4);
}

uint32_t RegSetString(HKEY hKey, const std::string& csValueName, const std::string& csValue) {
    return RegSetValueEx(hKey, csValueName, REG_SZ,
                         reinterpret_cast<const uint8_t*>(csValue.c_str()),
                         uint32_t(csValue.size() + 1));
}

uint32_t RegQueryDword(HKEY hKey, const std::string& csValueName, uint32_t* pdwValue) {
    uint8_t bytes[4] = {};
    uint32_t size = 4;
    uint32_t rc = RegQueryValueEx(hKey, csValueName, nullptr, bytes, &size);
    if (rc == ERROR_SUCCESS)
        std::memcpy(pdwValue, bytes, 4);
    return rc;
}

uint32_t RegQueryString(HKEY hKey, const std::string& csValueName, std::string* pcsValue) {
    uint32_t size = 0;
    uint32_t rc = RegQueryValueEx(hKey, csValueName, nullptr, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::vector<uint8_t> data(size);
    rc = RegQueryValueEx(hKey, csValueName, nullptr, data.data(), &size);
    if (rc == ERROR_SUCCESS)
        pcsValue->assign(reinterpret_cast<const char*>(data.data()),
                         strnlen(reinterpret_cast<const char*>(data.data()), size));
    return rc;
}

HKEY RegHiveFromName(const std::string& csName) {
    auto same = [&](std::string_view other) {
        return std::equal(csName.begin(), csName.end(), other.begin(), other.end(),
                          [](char a, char b) { return std::toupper(uint8_t(a)) == b; });
    };
    if (same("HKLM") || same("HKEY_LOCAL_MACHINE"))
        return HKEY_LOCAL_MACHINE;
    if (same("HKCU") || same("HKEY_CURRENT_USER"))
        return HKEY_CURRENT_USER;
    return nullptr;
}

} // namespace platform
