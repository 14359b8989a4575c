// The machine's registry: keys under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER
// holding numbers (REG_DWORD), texts (REG_SZ) and byte arrays (REG_BINARY).
//
// The calls follow the Win32 registry API: each returns ERROR_SUCCESS or the
// Win32 error number (2 not found, 5 access denied, 234 more data, 259 no more
// items, 1018 key deleted). Names of keys and values compare without regard to
// case. Safe for many threads and several processes at once.
#pragma once

#include "platform/change_stamp.h"
#include "platform/error.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct RegistryKey;
using HKEY = RegistryKey*;

extern const HKEY HKEY_LOCAL_MACHINE;
extern const HKEY HKEY_CURRENT_USER;

enum : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

// Opens an existing subkey (an empty subkey opens hKey itself again).
uint32_t RegOpenKeyEx(HKEY hKey, const std::string& csSubKey, HKEY* phkResult);
// Opens a subkey, creating it and any missing keys on the way.
uint32_t RegCreateKeyEx(HKEY hKey, const std::string& csSubKey, HKEY* phkResult);
uint32_t RegCloseKey(HKEY hKey);
// Deletes a subkey that has no subkeys of its own (5 otherwise), with its values.
uint32_t RegDeleteKey(HKEY hKey, const std::string& csSubKey);

// Reads a value into pData of *pcbData bytes. With pData null only the size is
// given. A buffer too small gives ERROR_MORE_DATA and the size needed.
uint32_t RegQueryValueEx(HKEY hKey, const std::string& csValueName, uint32_t* pdwType,
                         uint8_t* pData, uint32_t* pcbData);
uint32_t RegSetValueEx(HKEY hKey, const std::string& csValueName, uint32_t dwType,
                       const uint8_t* pData, uint32_t cbData);
uint32_t RegDeleteValue(HKEY hKey, const std::string& csValueName);

// The index-th subkey name in name order; ERROR_NO_MORE_ITEMS past the last.
uint32_t RegEnumKeyEx(HKEY hKey, uint32_t dwIndex, std::string* pcsName);
// The index-th value in name order; ERROR_NO_MORE_ITEMS past the last.
uint32_t RegEnumValue(HKEY hKey, uint32_t dwIndex, std::string* pcsName, uint32_t* pdwType,
                      std::vector<uint8_t>* pData);

// One value of each subkey: the value named csValueName of every direct
// subkey of hKey that has one, in subkey name order. Read at once, where a
// loop of RegEnumKeyEx, RegOpenKeyEx and RegQueryValueEx reads once per
// subkey; a subkey without the value is left out.
struct SSubkeyValue {
    std::string csSubkey;
    uint32_t dwType = REG_NONE;
    std::vector<uint8_t> data;
};
uint32_t RegQuerySubkeyValues(HKEY hKey, const std::string& csValueName,
                              std::vector<SSubkeyValue>* pValues);

// The registry's stamp for the calling thread (see change_stamp.h).
ChangeStamp RegChangeStamp();

// Conveniences over the calls above. A text is stored with its terminating NUL,
// as REG_SZ values are; a read text stops at the first NUL.
uint32_t RegSetDword(HKEY hKey, const std::string& csValueName, uint32_t dwValue);
uint32_t RegSetString(HKEY hKey, const std::string& csValueName, const std::string& csValue);
uint32_t RegQueryDword(HKEY hKey, const std::string& csValueName, uint32_t* pdwValue);
uint32_t RegQueryString(HKEY hKey, const std::string& csValueName, std::string* pcsValue);

// "HKLM"/"HKEY_LOCAL_MACHINE" and "HKCU"/"HKEY_CURRENT_USER" (any case) to the
// predefined key, or nullptr.
HKEY RegHiveFromName(const std::string& csName);

} // namespace platform
