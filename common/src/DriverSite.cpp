#include "common/DriverSite.h"

#include "common/Trace.h"
#include "platform/internet.h"
#include "platform/os.h"
#include "platform/process.h"
#include "platform/registry.h"

using namespace platform;

const char* const kDriverSiteValue = "Driver download site";

namespace {

const char* const kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const kWizardKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\INETWIZ.EXE";

struct SSiteFolder {
    bool bNt4;
    eDriverType eType;
    const char* pszBase;
    const char* pszPrefix;
};

const SSiteFolder kSiteFolders[] = {
    {true, eDriverPcl6, "/printers/drivers/zhdp/winnt/pcl6/", "/wntp6"},
    {true, eDriverPostScript, "/printers/drivers/zhdp/winnt/ps/", "/wntps"},
    {false, eDriverPcl6, "/printers/drivers/zhdp/win2kxp/pcl6/", "/wxpp6"},
    {false, eDriverPostScript, "/printers/drivers/zhdp/win2kxp/ps/", "/wxpps"},
};

bool QueryString(HKEY hRoot, const char* pszKey, const char* pszValue, std::string* pcsValue) {
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(hRoot, pszKey, &hKey) != ERROR_SUCCESS)
        return false;
    bool bOk = RegQueryString(hKey, pszValue, pcsValue) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bOk;
}

} // namespace

std::string GetDriverSiteRoot() {
    CTraceScope scope("GetDriverSiteRoot");
    std::string csRoot = CVexData().GetStringData(CVexData::kMainKey, kDriverSiteValue, "");
    while (!csRoot.empty() && csRoot.back() == '/')
        csRoot.pop_back();
    scope.Result("%s", csRoot.c_str());
    return csRoot;
}

bool BuildDriverAddresses(const std::string& csRoot, eOs os, eDriverType eType,
                          const std::string& csLanguageFolder, const std::string& csLanguageCode,
                          SDriverAddresses* pAddresses) {
    if (csRoot.empty() || (os != eOsNT4 && os != eOsWin2000 && os != eOsXP))
        return false;
    for (const SSiteFolder& folder : kSiteFolders) {
        if (folder.bNt4 == (os == eOsNT4) && folder.eType == eType) {
            std::string csStem =
                csRoot + folder.pszBase + csLanguageFolder + folder.pszPrefix + csLanguageCode;
            pAddresses->csPackage = csStem + ".exe";
            pAddresses->csChecksum = csStem + ".sum";
            return true;
        }
    }
    return false;
}

bool InternetSessionOpens() {
    HINTERNET hSession = InternetOpen("", INTERNET_OPEN_TYPE_PRECONFIG);
    if (hSession)
        InternetCloseHandle(hSession);
    return hSession != nullptr;
}

bool IsProxyEnabled() {
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kInternetSettingsKey, &hKey) != ERROR_SUCCESS)
        return false;
    uint32_t dwEnable = 0;
    bool bEnabled = RegQueryDword(hKey, "ProxyEnable", &dwEnable) == ERROR_SUCCESS && dwEnable == 1;
    RegCloseKey(hKey);
    return bEnabled;
}

bool StartConnectionWizard() {
    CTraceScope scope("StartConnectionWizard");
    std::string csFolder;
    if (!QueryString(HKEY_LOCAL_MACHINE, kWizardKey, "Path", &csFolder) || csFolder.empty()) {
        scope.Result(false);
        return false;
    }
    while (!csFolder.empty() && (csFolder.back() == ';' || csFolder.back() == PathSeparator()))
        csFolder.pop_back();
    std::string csProgram = csFolder + PathSeparator() + "inetwiz" + ExecutableSuffix();
    Process wizard;
    bool bStarted = wizard.Start(QuoteArgument(csProgram));
    if (!bStarted)
        scope.Err("Cannot start %s : %s", csProgram.c_str(), ErrorText(GetLastError()).c_str());
    scope.Result(bStarted);
    return bStarted;
}
