// vexsys reg: lists, reads, writes and deletes registry keys and values.
#include "Command.h"

#include "platform/error.h"
#include "platform/registry.h"

#include <cstdio>

using namespace platform;

namespace {

const char* TypeName(uint32_t type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_BINARY:
        return "REG_BINARY";
    default:
        return "REG_NONE";
    }
}

std::string FormatData(uint32_t type, const std::vector<uint8_t>& data) {
    char buffer[32];
    if (type == REG_DWORD && data.size() == 4) {
        uint32_t value = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                         uint32_t(data[3]) << 24;
        std::snprintf(buffer, sizeof buffer, "0x%08x (%u)", value, value);
        return buffer;
    }
    if (type == REG_SZ) {
        std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
    std::string hex;
    for (uint8_t byte : data) {
        std::snprintf(buffer, sizeof buffer, "%02x", byte);
        hex += buffer;
    }
    return hex;
}

int RegError(const std::string& what, uint32_t rc) {
    return vexsys::Failure(what + ": error " + std::to_string(rc) + " (" + ErrorText(rc) + ")");
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* bytes) {
    if (text.size() % 2)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned long long byte;
        if (!vexsys::ParseNumber("0x" + text.substr(i, 2), 255, &byte))
            return false;
        bytes->push_back(uint8_t(byte));
    }
    return true;
}

int List(HKEY hKey) {
    std::string name;
    for (uint32_t i = 0; RegEnumKeyEx(hKey, i, &name) == ERROR_SUCCESS; ++i)
        std::printf("[%s]\n", name.c_str());
    uint32_t type;
    std::vector<uint8_t> data;
    for (uint32_t i = 0; RegEnumValue(hKey, i, &name, &type, &data) == ERROR_SUCCESS; ++i)
        std::printf("%s\t%s\t%s\n", name.c_str(), TypeName(type), FormatData(type, data).c_str());
    return 0;
}

} // namespace

VEXSYS_COMMAND(reg, "reg",
               "reg list HIVE KEY\n"
               "reg get HIVE KEY VALUE\n"
               "reg set HIVE KEY VALUE REG_DWORD|REG_SZ|REG_BINARY DATA  (binary DATA in hex)\n"
               "reg delete HIVE KEY [VALUE]   (HIVE: HKLM or HKCU; a key must have no subkeys)") {
    using namespace vexsys;
    if (args.size() < 3)
        return UsageError("reg needs an action, a hive and a key");
    const std::string& action = args[0];
    HKEY hive = RegHiveFromName(args[1]);
    if (!hive)
        return UsageError("unknown hive '" + args[1] + "' (HKLM or HKCU)");
    const std::string& keyName = args[2];
    HKEY hKey = nullptr;
    uint32_t rc;
    if (action == "list" && args.size() == 3) {
        if ((rc = RegOpenKeyEx(hive, keyName, &hKey)) != ERROR_SUCCESS)
            return RegError("cannot open " + keyName, rc);
        int result = List(hKey);
        RegCloseKey(hKey);
        return result;
    }
    if (action == "get" && args.size() == 4) {
        if ((rc = RegOpenKeyEx(hive, keyName, &hKey)) != ERROR_SUCCESS)
            return RegError("cannot open " + keyName, rc);
        uint32_t type = 0, size = 0;
        rc = RegQueryValueEx(hKey, args[3], &type, nullptr, &size);
        std::vector<uint8_t> data(size);
        if (rc == ERROR_SUCCESS)
            rc = RegQueryValueEx(hKey, args[3], &type, data.data(), &size);
        RegCloseKey(hKey);
        if (rc != ERROR_SUCCESS)
            return RegError("cannot read " + args[3], rc);
        std::printf("%s\t%s\n", TypeName(type), FormatData(type, data).c_str());
        return 0;
    }
    if (action == "set" && args.size() == 6) {
        const std::string& type = args[4];
        const std::string& text = args[5];
        std::vector<uint8_t> bytes;
        uint32_t dwType;
        if (type == "REG_DWORD") {
            unsigned long long value;
            if (!ParseNumber(text, 0xFFFFFFFFull, &value))
                return UsageError("REG_DWORD data must be a number from 0 to 4294967295");
            for (int i = 0; i < 4; ++i)
                bytes.push_back(uint8_t(value >> (8 * i)));
            dwType = REG_DWORD;
        } else if (type == "REG_SZ") {
            bytes.assign(text.begin(), text.end());
            bytes.push_back(0);
            dwType = REG_SZ;
        } else if (type == "REG_BINARY") {
            if (!ParseHex(text, &bytes))
                return UsageError("REG_BINARY data must be pairs of hex digits");
            dwType = REG_BINARY;
        } else {
            return UsageError("unknown type '" + type + "'");
        }
        if ((rc = RegCreateKeyEx(hive, keyName, &hKey)) != ERROR_SUCCESS)
            return RegError("cannot create " + keyName, rc);
        rc = RegSetValueEx(hKey, args[3], dwType, bytes.data(), uint32_t(bytes.size()));
        RegCloseKey(hKey);
        return rc == ERROR_SUCCESS ? 0 : RegError("cannot write " + args[3], rc);
    }
    if (action == "delete" && (args.size() == 3 || args.size() == 4)) {
        if (args.size() == 3) {
            rc = RegDeleteKey(hive, keyName);
            return rc == ERROR_SUCCESS ? 0 : RegError("cannot delete " + keyName, rc);
        }
        if ((rc = RegOpenKeyEx(hive, keyName, &hKey)) != ERROR_SUCCESS)
            return RegError("cannot open " + keyName, rc);
        rc = RegDeleteValue(hKey, args[3]);
        RegCloseKey(hKey);
        return rc == ERROR_SUCCESS ? 0 : RegError("cannot delete " + args[3], rc);
    }
    return UsageError("bad arguments for reg " + action);
}
