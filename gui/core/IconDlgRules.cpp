#include "gui/core/IconDlgRules.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/registry.h"

#include <cctype>
#include <strings.h>

using namespace platform;

SShareState ApplyShareRule(bool bShare, const std::string& csShareName, bool bPublish,
                           const std::function<std::string()>& defaultShareName) {
    SShareState state{bShare, bShare, bShare, bPublish, csShareName};
    if (!bShare) {
        if (state.csShareName.empty())
            state.csShareName = defaultShareName();
        state.bPublish = false;
    }
    return state;
}

bool IsOkAllowed(const std::string& csIconName, const std::string& csPortName,
                 const std::string& csShareName) {
    return !csIconName.empty() && !csPortName.empty() && !csShareName.empty();
}

bool IsInternetUsable(const std::function<bool()>& internetOpens) {
    HKEY hBrowser = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", &hBrowser) !=
        ERROR_SUCCESS)
        return false;
    std::string csVersion;
    std::string csMkEnabled;
    const bool bBrowser =
        RegQueryString(hBrowser, "Version", &csVersion) == ERROR_SUCCESS && !csVersion.empty() &&
        std::isdigit(static_cast<unsigned char>(csVersion[0])) && csVersion[0] - '0' > 3 &&
        RegQueryString(hBrowser, "MkEnabled", &csMkEnabled) == ERROR_SUCCESS &&
        strcasecmp(csMkEnabled.c_str(), "Yes") == 0;
    RegCloseKey(hBrowser);
    if (!bBrowser)
        return false;
    HKEY hSettings = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                     &hSettings) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hSettings);
    return internetOpens();
}

std::array<bool, 3> InstalledDriverTypes(const std::string& csPrinterModel) {
    CVexData data;
    return {data.IsModelSupported(csPrinterModel, eDriverPcl6),
            data.IsModelSupported(csPrinterModel, eDriverPcl5),
            data.IsModelSupported(csPrinterModel, eDriverPostScript)};
}

int32_t ShownDriverType(int32_t ePreferred, const std::array<bool, 3>& installed) {
    if (ePreferred >= 0 && ePreferred < 3 && installed[size_t(ePreferred)])
        return ePreferred;
    for (int32_t eType = 0; eType < 3; ++eType)
        if (installed[size_t(eType)])
            return eType;
    return eDriverNone;
}

int32_t DriverTypeFromDriverName(const std::string& csDriverName) {
    if (csDriverName.find("PCL6") != std::string::npos)
        return eDriverPcl6;
    if (csDriverName.find("PCL") != std::string::npos)
        return eDriverPcl5;
    if (csDriverName.find("PS") != std::string::npos)
        return eDriverPostScript;
    return eDriverNone;
}
