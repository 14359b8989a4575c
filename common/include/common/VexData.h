// CVexData: the settings of both programs in the machine's registry, and the
// paths and names derived from them (installation tree, driver names).
//
// Cheap to create: make one on the stack for each use. Every value operation
// opens its key and the machine-wide mutex "VexDataMutex" and closes both
// before it returns, so nothing is cached and both programs see each other's
// changes at once.
#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <string>

enum eMode { eModeAutomatic = 0, eModePrompt = 1, eModeManual = 2 };
enum eDriverType { eDriverPcl6 = 0, eDriverPcl5 = 1, eDriverPostScript = 2, eDriverNone = 999 };
enum eOs { eOsWin9x = 0, eOsNT4 = 2, eOsWin2000 = 3, eOsXP = 4 };
enum eExe { eExeService = 1, eExeGui = 2 };
enum eUseExisting { eUseExistingKeep = 0, eUseExistingReplace = 1 };
enum eColumn {
    eColumnIpAddress = 1,
    eColumnDnsName = 2,
    eColumnModel = 3,
    eColumnUuid = 4,
    eColumnState = 5,
    eColumnMicrocode = 6,
    eColumnIconNames = 7,
};

struct SWindowRect {
    int left;
    int top;
    int right;
    int bottom;
};

class CVexData {
public:
    static const char* const kMainKey;
    static const char* const kSettingsKey;
    static const char* const kTraceKey;
    static const char* const kColumnsKey;

    CVexData() = default;
    ~CVexData();
    CVexData(const CVexData&) = delete;
    CVexData& operator=(const CVexData&) = delete;

    // Registry primitives.
    bool OpenVexDataKey(const std::string& csKey, bool bCreateKeys);
    bool CreateVexDataKeys();
    bool AddSubKey(const std::string& csKey);
    uint32_t GetNumData(const std::string& csKey, const std::string& csValue, uint32_t dwDefault);
    std::string GetStringData(const std::string& csKey, const std::string& csValue,
                              const std::string& csDefault);
    bool AddNumData(const std::string& csKey, const std::string& csValue, uint32_t dwData);
    bool AddStringData(const std::string& csKey, const std::string& csValue,
                       const std::string& csData);
    bool DeleteValue(const std::string& csKey, const std::string& csValue);

    // Main key.
    std::string GetWorkingDir();
    std::string GetKplFile();
    bool GetFirstTime();
    bool DeleteFirstTime();
    bool GetLanguageCode(std::string& csCode);
    bool GetLanguageFolder(std::string& csFolder, const std::string& csCode);
    bool GetShowToolbar();
    bool SetShowToolbar(bool bShow);
    bool GetShowStatusbar();
    bool SetShowStatusbar(bool bShow);
    uint32_t GetViewList();
    bool SetViewList(uint32_t dwView);
    uint32_t GetViewStyle();
    bool SetViewStyle(uint32_t dwStyle);
    SWindowRect GetWindowRect();
    bool SetWindowRect(const SWindowRect& rect);
    std::string GetReadmeFile() { return "read.me"; }

    // Settings key.
    eMode GetOpMode();
    bool SetOpMode(eMode mode);
    eDriverType GetDriverType();
    eDriverType GetValidDriverType();
    bool SetDriverType(eDriverType eType);
    eUseExisting GetUseExistingDriver();
    bool SetUseExistingDriver(eUseExisting eUse);
    std::string GetSeparatorPage();
    bool SetSeparatorPage(const std::string& csSepPage);
    bool GetSharePrinter();
    bool SetSharePrinter(bool bShare);
    bool GetInstallAdditionalDrivers();
    bool SetInstallAdditionalDrivers(bool bInstall);
    bool GetPublishActiveDir();
    bool SetPublishActiveDir(bool bPublish);
    uint32_t GetTTL();
    bool SetTTL(uint32_t dwTTL);
    std::string GetComments() { return ""; }
    std::string GetLocation() { return ""; }

    // Trace key, per program.
    bool GetTraceOn(eExe exe);
    bool SetTraceOn(eExe exe, bool bOn);
    uint32_t GetTraceLevel(eExe exe);
    bool SetTraceLevel(eExe exe, uint32_t dwLevel);
    bool GetTraceWrapOn(eExe exe);
    bool SetTraceWrapOn(eExe exe, bool bOn);
    int32_t GetTraceWrapSize(eExe exe);
    bool SetTraceWrapSize(eExe exe, int32_t iSize);
    // The trace file's name in the working folder, and the program's own one.
    std::string GetTraceFile(eExe exe);
    static std::string DefaultTraceFile(eExe exe);
    bool SetTraceFile(eExe exe, const std::string& csFile);

    // Columns key.
    bool GetColumnSortAscending(eColumn column);
    bool SetColumnSortAscending(eColumn column, bool bAscending);
    int32_t GetColumnPosition(eColumn column);
    bool SetColumnPosition(eColumn column, int32_t iPosition);
    int32_t GetColumnWidth(eColumn column);
    bool SetColumnWidth(eColumn column, int32_t iWidth);
    eColumn GetSortColumn();
    bool SetSortColumn(eColumn column);

    // Derived.
    eOs GetOs();
    std::string GetPortMonPath();
    std::string GetDriverPath(eOs os, eDriverType eType);
    std::string GetDriverInstallerPathAndFilename(eOs os, eDriverType eType);
    std::string GetDriverName(const std::string& csModel, eDriverType eType);
    bool DoesDriverTypeExist(eDriverType eType);

    // Naming rules and model support (VexDataNaming.cpp).
    // Whether an .inf file of the installed driver folder names the model's driver.
    bool IsModelSupported(const std::string& csPrinterModel, eDriverType eType);
    // Whether any driver type (PCL 6, PCL 5, PostScript) supports the model.
    bool IsModelSupported(const std::string& csPrinterModel);
    // The version part of the first "DriverVer=" line of the driver folder's .inf files.
    std::string GetDriverVer(eDriverType eType);
    // Free names for a new queue, its port and its share, as the spooler stands
    // now: the plain name, else numbered ones up to 99 (the last is returned
    // even when it is taken too).
    std::string GetIconName(const std::string& csPrtModel);
    std::string GetPortName(const std::string& csPortAddress);
    std::string GetShareName(const std::string& csPrtModel, const std::string& csIpAddr);

private:
    void CloseKey();

    platform::HKEY m_hKey = nullptr;
};
