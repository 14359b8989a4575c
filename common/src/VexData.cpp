// Settings in the registry under one machine-wide mutex, and the paths and
// names derived from them.
#include "common/VexData.h"

#include "VexSettings.h"

#include "common/Trace.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/os.h"
#include "platform/sync.h"

#include <cstdio>
#include <cstring>
#include <vector>

using namespace platform;
using namespace vexsettings;

const char* const CVexData::kMainKey = "SOFTWARE\\Zantor Printing Systems\\Zantor Ambrel";
const char* const CVexData::kSettingsKey =
    "SOFTWARE\\Zantor Printing Systems\\Zantor Ambrel\\Settings";
const char* const CVexData::kTraceKey = "SOFTWARE\\Zantor Printing Systems\\Zantor Ambrel\\Trace";
const char* const CVexData::kColumnsKey =
    "SOFTWARE\\Zantor Printing Systems\\Zantor Ambrel\\Columns";

namespace {

const char* const kMutexName = "VexDataMutex";

const char* const kLanguageCodes[] = {"enu", "fra", "ita", "deu", "esp", "ptb", "jpn", "prc",
                                      "cht", "hun", "nld", "plk", "rus", "csy", "kor"};

struct SLanguageFolder {
    const char* code;
    const char* folder;
};
const SLanguageFolder kLanguageFolders[] = {
    {"enu", "english"},  {"fra", "french"},   {"ita", "italian"},  {"deu", "german"},
    {"esp", "spanish"},  {"ptb", "brazport"}, {"jpn", "japanese"}, {"nld", "dutch"},
    {"prc", "schinese"}, {"cht", "tchinese"}, {"hun", "hungarn"},  {"plk", "polish"},
    {"rus", "russian"},  {"csy", "czech"},    {"kor", "korean"},
};

// Languages whose driver package has no PostScript driver.
const char* const kNoPostScriptLanguages[] = {"prc", "cht", "hun", "plk", "rus", "csy", "kor"};

struct SColumnValues {
    const char* sort;
    const char* position; // nullptr: the column has no position value
    int32_t defaultPosition;
    const char* width;
    int32_t defaultWidth;
};
const SColumnValues kColumns[] = {
    {"IP Address sort ascending", nullptr, 0, "IP Address width", 100},
    {"DNS sort ascending", "DNS pos", 4, "DNS width", 100},
    {"Model sort ascending", "Model pos", 2, "Model width", 100},
    {"UUID sort ascending", "UUID pos", -1, "UUID width", 100},
    {"State sort ascending", "State pos", 1, "State width", 150},
    {"PrtUcode sort ascending", "PrtUcode pos", -1, "PrtUcode width", 100},
    {"IconNames sort ascending", "IconNames pos", 3, "IconNames width", 100},
};

const SColumnValues* ColumnValues(eColumn column) {
    if (column < eColumnIpAddress || column > eColumnIconNames)
        return nullptr;
    return &kColumns[column - 1];
}

std::string OsLetter(eOs os) {
    switch (os) {
    case eOsWin9x:
        return "9";
    case eOsNT4:
        return "n";
    case eOsWin2000:
    case eOsXP:
        return "2";
    }
    return "";
}

std::string DriverLetter(eDriverType eType) {
    switch (eType) {
    case eDriverPcl6:
        return "6";
    case eDriverPcl5:
        return "5";
    case eDriverPostScript:
        return "s";
    default:
        return "";
    }
}

} // namespace

CVexData::~CVexData() {
    CloseKey();
}

void CVexData::CloseKey() {
    if (m_hKey) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
}

bool CVexData::OpenVexDataKey(const std::string& csKey, bool bCreateKeys) {
    CTraceScope scope("CVexData::OpenVexDataKey");
    CloseKey();
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, csKey, &m_hKey) == ERROR_SUCCESS) {
        scope.Result(true);
        return true;
    }
    m_hKey = nullptr;
    scope.Det("RegOpenKeyEx failed(1)");
    if (!bCreateKeys) {
        scope.Result(false);
        return false;
    }
    if (!CreateVexDataKeys()) {
        scope.Err("CreateVexDataKeys failed");
        scope.Result(false);
        return false;
    }
    CloseKey();
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, csKey, &m_hKey) != ERROR_SUCCESS) {
        m_hKey = nullptr;
        scope.Err("RegOpenKeyEx failed(2)");
        scope.Result(false);
        return false;
    }
    scope.Result(true);
    return true;
}

bool CVexData::CreateVexDataKeys() {
    CTraceScope scope("CVexData::CreateVexDataKeys");
    bool bOk = OpenVexDataKey("SOFTWARE", false) && AddSubKey("Zantor Printing Systems") &&
               AddSubKey("Zantor Ambrel") && AddSubKey("Columns") &&
               OpenVexDataKey(kMainKey, false) && AddSubKey("Trace") &&
               OpenVexDataKey(kMainKey, false) && AddSubKey("Settings");
    scope.Result(bOk);
    return bOk;
}

bool CVexData::AddSubKey(const std::string& csKey) {
    CTraceScope scope("CVexData::AddSubKey");
    if (!m_hKey) {
        scope.Err("failed because no key currently open");
        scope.Result(false);
        return false;
    }
    HKEY hNew = nullptr;
    if (RegCreateKeyEx(m_hKey, csKey, &hNew) != ERROR_SUCCESS) {
        scope.Err("RegCreateKeyEx failed");
        scope.Result(false);
        return false;
    }
    CloseKey();
    m_hKey = hNew;
    scope.Result(true);
    return true;
}

uint32_t CVexData::GetNumData(const std::string& csKey, const std::string& csValue,
                              uint32_t dwDefault) {
    CTraceScope scope("CVexData::GetNumData");
    scope.Det("parameters (csValue=%s)", csValue.c_str());
    uint32_t dwData = dwDefault;
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    bool bRead = false;
    if (OpenVexDataKey(csKey, true)) {
        uint8_t buffer[4];
        uint32_t size = sizeof buffer;
        const uint32_t rc = RegQueryValueEx(m_hKey, csValue, nullptr, buffer, &size);
        if (rc == ERROR_SUCCESS) {
            // A shorter value leaves the rest of the number zero.
            dwData = 0;
            std::memcpy(&dwData, buffer, size);
            bRead = true;
        } else if (rc != ERROR_FILE_NOT_FOUND) {
            // A value that is there but cannot be read is no reason for silence.
            scope.Err("RegQueryValueEx failed, rc=%d", int(rc));
        }
    } else {
        scope.Err("settings key not readable: returning default data");
    }
    if (!bRead)
        scope.Det("returning default data");
    CloseKey();
    scope.Result("%u", dwData);
    return dwData;
}

std::string CVexData::GetStringData(const std::string& csKey, const std::string& csValue,
                                    const std::string& csDefault) {
    CTraceScope scope("CVexData::GetStringData");
    scope.Det("parameters (csValue=%s)", csValue.c_str());
    std::string csData = csDefault;
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    bool bRead = false;
    if (OpenVexDataKey(csKey, true)) {
        char buffer[1024];
        uint32_t size = sizeof buffer;
        const uint32_t rc =
            RegQueryValueEx(m_hKey, csValue, nullptr, reinterpret_cast<uint8_t*>(buffer), &size);
        if (rc == ERROR_SUCCESS) {
            csData.assign(buffer, strnlen(buffer, size));
            bRead = true;
        } else if (rc != ERROR_FILE_NOT_FOUND) {
            scope.Err("RegQueryValueEx failed, rc=%d", int(rc));
        }
    } else {
        scope.Err("settings key not readable: returning default data");
    }
    if (!bRead)
        scope.Det("returning default data");
    CloseKey();
    scope.Result("%s", csData.c_str());
    return csData;
}

bool CVexData::AddNumData(const std::string& csKey, const std::string& csValue, uint32_t dwData) {
    CTraceScope scope("CVexData::AddNumData");
    scope.Det("parameters (csValue=%s, dwData=%u)", csValue.c_str(), dwData);
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    bool bOk = false;
    if (OpenVexDataKey(csKey, true)) {
        bOk = RegSetDword(m_hKey, csValue, dwData) == ERROR_SUCCESS;
        if (!bOk)
            scope.Err("RegSetValueEx failed");
    }
    CloseKey();
    scope.Result(bOk);
    return bOk;
}

bool CVexData::AddStringData(const std::string& csKey, const std::string& csValue,
                             const std::string& csData) {
    CTraceScope scope("CVexData::AddStringData");
    scope.Det("parameters (csValue=%s, csData=%s)", csValue.c_str(), csData.c_str());
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    bool bOk = false;
    if (OpenVexDataKey(csKey, true)) {
        bOk = RegSetString(m_hKey, csValue, csData) == ERROR_SUCCESS;
        if (!bOk)
            scope.Err("RegSetValueEx failed");
    }
    CloseKey();
    scope.Result(bOk);
    return bOk;
}

bool CVexData::DeleteValue(const std::string& csKey, const std::string& csValue) {
    CTraceScope scope("CVexData::DeleteValue");
    NamedMutex mutex(kMutexName);
    NamedMutexLock lock(mutex);
    bool bOk = false;
    if (OpenVexDataKey(csKey, false)) {
        uint32_t rc = RegDeleteValue(m_hKey, csValue);
        bOk = rc == ERROR_SUCCESS;
        if (!bOk)
            scope.Err("RegDeleteValue failed, rc=%d", int(rc));
    }
    CloseKey();
    scope.Result(bOk);
    return bOk;
}

std::string CVexData::GetWorkingDir() {
    return ReadText(*this, eSetWorkingDirectory);
}
std::string CVexData::GetKplFile() {
    return ReadText(*this, eSetKplFile);
}
bool CVexData::GetFirstTime() {
    return Read(*this, eSetFirstTime) != 0;
}
bool CVexData::DeleteFirstTime() {
    return DeleteValue(*kSettings[eSetFirstTime].key, kSettings[eSetFirstTime].name);
}

bool CVexData::GetLanguageCode(std::string& csCode) {
    CTraceScope scope("CVexData::GetLanguageCode");
    // Read without the mutex: the language is written once, by the installer.
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kMainKey, &hKey) != ERROR_SUCCESS) {
        scope.Result(false);
        return false;
    }
    uint32_t dwLanguage = 0;
    uint32_t rc = RegQueryDword(hKey, "Language", &dwLanguage);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS) {
        scope.Result(false);
        return false;
    }
    bool bKnown = dwLanguage >= 1 && dwLanguage <= 15;
    csCode = bKnown ? kLanguageCodes[dwLanguage - 1] : "";
    scope.Result("%s", csCode.c_str());
    return bKnown;
}

bool CVexData::GetLanguageFolder(std::string& csFolder, const std::string& csCode) {
    CTraceScope scope("CVexData::GetLanguageFolder");
    for (const auto& entry : kLanguageFolders) {
        if (csCode == entry.code) {
            csFolder = entry.folder;
            scope.Result("%s", csFolder.c_str());
            return true;
        }
    }
    csFolder.clear();
    scope.Result(false);
    return false;
}

bool CVexData::GetShowToolbar() {
    return Read(*this, eSetDisplayToolbar) != 0;
}
bool CVexData::SetShowToolbar(bool bShow) {
    return Write(*this, eSetDisplayToolbar, bShow);
}
bool CVexData::GetShowStatusbar() {
    return Read(*this, eSetDisplayStatusBar) != 0;
}
bool CVexData::SetShowStatusbar(bool bShow) {
    return Write(*this, eSetDisplayStatusBar, bShow);
}
uint32_t CVexData::GetViewList() {
    return Read(*this, eSetViewList);
}
bool CVexData::SetViewList(uint32_t dwView) {
    return Write(*this, eSetViewList, dwView);
}
uint32_t CVexData::GetViewStyle() {
    return Read(*this, eSetViewStyle);
}
bool CVexData::SetViewStyle(uint32_t dwStyle) {
    return Write(*this, eSetViewStyle, dwStyle);
}

SWindowRect CVexData::GetWindowRect() {
    const CTraceName trace("CVexData::GetWindowRect");
    const char* const kDefault = kSettings[eSetWindowCoordinates].pszDefault;
    std::string csText = ReadText(*this, eSetWindowCoordinates);
    SWindowRect rect{};
    if (std::sscanf(csText.c_str(), "%d %d %d %d", &rect.left, &rect.top, &rect.right,
                    &rect.bottom) != 4) {
        trace.Wrn("unreadable coordinates '%s'", csText.c_str());
        std::sscanf(kDefault, "%d %d %d %d", &rect.left, &rect.top, &rect.right, &rect.bottom);
    }
    return rect;
}

bool CVexData::SetWindowRect(const SWindowRect& rect) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d %04d %04d %04d", rect.left, rect.top, rect.right,
                  rect.bottom);
    return WriteText(*this, eSetWindowCoordinates, text);
}

eMode CVexData::GetOpMode() {
    return eMode(Read(*this, eSetOpMode));
}
bool CVexData::SetOpMode(eMode mode) {
    return Write(*this, eSetOpMode, mode);
}

eDriverType CVexData::GetDriverType() {
    CTraceScope scope("CVexData::GetDriverType");
    uint32_t dwType = Read(*this, eSetDriverType);
    if (dwType == eDriverPostScript) {
        std::string csCode;
        if (GetLanguageCode(csCode)) {
            for (const char* language : kNoPostScriptLanguages) {
                if (csCode == language) {
                    SetDriverType(eDriverPcl6);
                    scope.Result("%d", eDriverPcl6);
                    return eDriverPcl6;
                }
            }
        }
    }
    scope.Result("%u", dwType);
    return eDriverType(dwType);
}

eDriverType CVexData::GetValidDriverType() {
    CTraceScope scope("CVexData::GetValidDriverType");
    uint32_t dwType = Read(*this, eSetDriverType);
    static const eDriverType kOrder[3][3] = {
        {eDriverPcl6, eDriverPcl5, eDriverPostScript},
        {eDriverPcl5, eDriverPcl6, eDriverPostScript},
        {eDriverPostScript, eDriverPcl6, eDriverPcl5},
    };
    eDriverType result = eDriverNone;
    if (dwType <= eDriverPostScript) {
        for (eDriverType candidate : kOrder[dwType]) {
            if (DoesDriverTypeExist(candidate)) {
                result = candidate;
                break;
            }
        }
    }
    scope.Result("%d", result);
    return result;
}

bool CVexData::SetDriverType(eDriverType eType) {
    return Write(*this, eSetDriverType, eType);
}
eUseExisting CVexData::GetUseExistingDriver() {
    return eUseExisting(Read(*this, eSetUseExistingDriver));
}
bool CVexData::SetUseExistingDriver(eUseExisting eUse) {
    return Write(*this, eSetUseExistingDriver, eUse);
}

std::string CVexData::GetSeparatorPage() {
    std::string csPage = ReadText(*this, eSetSeparatorPage);
    return csPage == kSettings[eSetSeparatorPage].pszDefault ? "" : csPage;
}
bool CVexData::SetSeparatorPage(const std::string& csSepPage) {
    return WriteText(*this, eSetSeparatorPage,
                     csSepPage.empty() ? kSettings[eSetSeparatorPage].pszDefault : csSepPage);
}

bool CVexData::GetSharePrinter() {
    return Read(*this, eSetShare) != 0;
}
bool CVexData::SetSharePrinter(bool bShare) {
    return Write(*this, eSetShare, bShare);
}
bool CVexData::GetInstallAdditionalDrivers() {
    return Read(*this, eSetAdditional) != 0;
}
bool CVexData::SetInstallAdditionalDrivers(bool bInstall) {
    return Write(*this, eSetAdditional, bInstall);
}
bool CVexData::GetPublishActiveDir() {
    return Read(*this, eSetPublish) != 0;
}
bool CVexData::SetPublishActiveDir(bool bPublish) {
    return Write(*this, eSetPublish, bPublish);
}
uint32_t CVexData::GetTTL() {
    return Read(*this, eSetTTL);
}
bool CVexData::SetTTL(uint32_t dwTTL) {
    return Write(*this, eSetTTL, dwTTL);
}

bool CVexData::GetTraceOn(eExe exe) {
    return ReadTrace(*this, exe, eSetTraceOn) != 0;
}
bool CVexData::SetTraceOn(eExe exe, bool bOn) {
    return WriteTrace(*this, exe, eSetTraceOn, bOn);
}
uint32_t CVexData::GetTraceLevel(eExe exe) {
    return ReadTrace(*this, exe, eSetTraceLevel);
}
bool CVexData::SetTraceLevel(eExe exe, uint32_t dwLevel) {
    return WriteTrace(*this, exe, eSetTraceLevel, dwLevel);
}
bool CVexData::GetTraceWrapOn(eExe exe) {
    return ReadTrace(*this, exe, eSetTraceWrapOn) != 0;
}
bool CVexData::SetTraceWrapOn(eExe exe, bool bOn) {
    return WriteTrace(*this, exe, eSetTraceWrapOn, bOn);
}
int32_t CVexData::GetTraceWrapSize(eExe exe) {
    return int32_t(ReadTrace(*this, exe, eSetTraceWrapSize));
}
bool CVexData::SetTraceWrapSize(eExe exe, int32_t iSize) {
    return WriteTrace(*this, exe, eSetTraceWrapSize, uint32_t(iSize));
}
std::string CVexData::DefaultTraceFile(eExe exe) {
    return exe == eExeGui ? "vexgui.log" : "vexsrv.log";
}
std::string CVexData::GetTraceFile(eExe exe) {
    return GetStringData(kTraceKey, TraceValue(exe, kSettings[eSetTraceFile].name),
                         DefaultTraceFile(exe));
}
bool CVexData::SetTraceFile(eExe exe, const std::string& csFile) {
    return AddStringData(kTraceKey, TraceValue(exe, kSettings[eSetTraceFile].name), csFile);
}

bool CVexData::GetColumnSortAscending(eColumn column) {
    const SColumnValues* values = ColumnValues(column);
    return values ? GetNumData(kColumnsKey, values->sort, 1) != 0 : true;
}
bool CVexData::SetColumnSortAscending(eColumn column, bool bAscending) {
    const SColumnValues* values = ColumnValues(column);
    return values && AddNumData(kColumnsKey, values->sort, bAscending);
}
int32_t CVexData::GetColumnPosition(eColumn column) {
    const SColumnValues* values = ColumnValues(column);
    if (!values || !values->position)
        return 0; // the IP address column always leads
    return int32_t(GetNumData(kColumnsKey, values->position, uint32_t(values->defaultPosition)));
}
bool CVexData::SetColumnPosition(eColumn column, int32_t iPosition) {
    const SColumnValues* values = ColumnValues(column);
    return values && values->position &&
           AddNumData(kColumnsKey, values->position, uint32_t(iPosition));
}
int32_t CVexData::GetColumnWidth(eColumn column) {
    const SColumnValues* values = ColumnValues(column);
    if (!values)
        return 100;
    return int32_t(GetNumData(kColumnsKey, values->width, uint32_t(values->defaultWidth)));
}
bool CVexData::SetColumnWidth(eColumn column, int32_t iWidth) {
    const SColumnValues* values = ColumnValues(column);
    return values && AddNumData(kColumnsKey, values->width, uint32_t(iWidth));
}
eColumn CVexData::GetSortColumn() {
    return eColumn(Read(*this, eSetSortColumn));
}
bool CVexData::SetSortColumn(eColumn column) {
    return Write(*this, eSetSortColumn, column);
}

eOs CVexData::GetOs() {
    CTraceScope scope("CVexData::GetOs");
    OsVersion version = GetVersion();
    eOs os = eOsXP;
    if (version.dwMajorVersion <= 4)
        os = eOsNT4;
    else if (version.dwMajorVersion == 5 && version.dwMinorVersion == 0)
        os = eOsWin2000;
    scope.Result("%d", os);
    return os;
}

std::string CVexData::GetPortMonPath() {
    const std::string sep(1, PathSeparator());
    return GetWorkingDir() + "Files" + sep + "p" + sep + OsLetter(GetOs()) + sep;
}

std::string CVexData::GetDriverPath(eOs os, eDriverType eType) {
    const std::string sep(1, PathSeparator());
    return GetWorkingDir() + "Files" + sep + "d" + sep + OsLetter(os) + sep + DriverLetter(eType) +
           sep;
}

std::string CVexData::GetDriverInstallerPathAndFilename(eOs os, eDriverType eType) {
    return GetDriverPath(os, eType) + "setup" + ExecutableSuffix();
}

std::string CVexData::GetDriverName(const std::string& csModel, eDriverType eType) {
    switch (eType) {
    case eDriverPcl6:
        return csModel + " PCL6";
    case eDriverPcl5:
        return csModel + " PCL";
    case eDriverPostScript:
        return csModel + " PS";
    default:
        return csModel + " ";
    }
}

bool CVexData::DoesDriverTypeExist(eDriverType eType) {
    CTraceScope scope("CVexData::DoesDriverTypeExist");
    std::vector<platform::FindData> found;
    bool bExists = FindFiles(GetDriverInstallerPathAndFilename(GetOs(), eType), &found);
    scope.Result(bExists);
    return bExists;
}
