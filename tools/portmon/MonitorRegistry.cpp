// The monitor's registry values.
#include "MonitorRegistry.h"

#include "platform/codepage.h"
#include "platform/registry.h"

#include <algorithm>
#include <sstream>

using namespace platform;

namespace {

constexpr size_t kConfigInfoSize = 536;
constexpr size_t kConfigInfoAddress = 532;

std::string g_csMonitorName;

std::string MonitorKey() {
    return "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + g_csMonitorName;
}

} // namespace

void SetMonitorName(const std::string& csName) {
    g_csMonitorName = csName;
}

const std::string& MonitorName() {
    return g_csMonitorName;
}

bool IsModelRefused(const std::string& csModel) {
    HKEY hKey;
    std::string list;
    if (csModel.empty() || RegOpenKeyEx(HKEY_LOCAL_MACHINE, MonitorKey(), &hKey) != ERROR_SUCCESS)
        return false;
    RegQueryString(hKey, "Unsupported models", &list);
    RegCloseKey(hKey);
    std::stringstream models(list);
    for (std::string model; std::getline(models, model, ';');) {
        if (model == csModel)
            return true;
    }
    return false;
}

bool RecordedAddress(const std::string& csPort, uint8_t abAddress[4]) {
    HKEY hKey;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, MonitorKey() + "\\Ports\\" + csPort, &hKey) !=
        ERROR_SUCCESS)
        return false;
    uint8_t info[kConfigInfoSize];
    uint32_t type = 0, size = sizeof info;
    const bool ok = RegQueryValueEx(hKey, "configInfo", &type, info, &size) == ERROR_SUCCESS &&
                    size >= kConfigInfoAddress + 4;
    RegCloseKey(hKey);
    if (ok)
        std::copy(info + kConfigInfoAddress, info + kConfigInfoAddress + 4, abAddress);
    return ok;
}

bool RecordAddress(const std::string& csPort, const uint8_t abAddress[4]) {
    std::u16string port16;
    AnsiToUtf16(csPort, &port16);
    uint8_t info[kConfigInfoSize] = {};
    for (size_t i = 0; i < port16.size() && i < (kConfigInfoAddress - 2) / 2; ++i) {
        info[i * 2] = uint8_t(port16[i]);
        info[i * 2 + 1] = uint8_t(port16[i] >> 8);
    }
    std::copy(abAddress, abAddress + 4, info + kConfigInfoAddress); // network order: a.b.c.d
    HKEY hKey;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, MonitorKey() + "\\Ports\\" + csPort, &hKey) !=
        ERROR_SUCCESS)
        return false;
    const bool ok =
        RegSetValueEx(hKey, "configInfo", REG_BINARY, info, sizeof info) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return ok;
}
