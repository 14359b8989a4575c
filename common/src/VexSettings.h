// The settings table of CVexData: each setting's key, value name and
// default, read and written through its row.
#pragma once

#include "common/VexData.h"

#include <cstdint>
#include <iterator>
#include <string>

namespace vexsettings {

// Every setting but the columns', one row each in the order of ESetting:
// key, value name, default (a number, or a text). A setting is read and
// written through its row, so each name is spelled once; a trace row's name
// follows the program's "GUI" or "Service". "<none>" is the separator page
// of none; the trace file's default is DefaultTraceFile.
enum ESetting {
    eSetWorkingDirectory,
    eSetKplFile,
    eSetFirstTime,
    eSetDisplayToolbar,
    eSetDisplayStatusBar,
    eSetViewList,
    eSetViewStyle,
    eSetWindowCoordinates,
    eSetOpMode,
    eSetDriverType,
    eSetUseExistingDriver,
    eSetSeparatorPage,
    eSetShare,
    eSetAdditional,
    eSetPublish,
    eSetTTL,
    eSetTraceOn,
    eSetTraceLevel,
    eSetTraceWrapOn,
    eSetTraceWrapSize,
    eSetTraceFile,
    eSetSortColumn,
};
struct SSetting {
    const char* const* key; // the address, so that the table is a constant
    const char* name;
    uint32_t dwDefault;
    const char* pszDefault;
};
inline constexpr SSetting kSettings[] = {
    {&CVexData::kMainKey, "Working directory", 0, ""},
    {&CVexData::kMainKey, "Known printer list file", 0, "vexkpl.dat"},
    {&CVexData::kMainKey, "First time", 0, nullptr},
    {&CVexData::kMainKey, "Display toolbar", 1, nullptr},
    {&CVexData::kMainKey, "Display status bar", 1, nullptr},
    {&CVexData::kMainKey, "View list", 0, nullptr},
    {&CVexData::kMainKey, "View style", 1, nullptr},
    {&CVexData::kMainKey, "Window Coordinates", 0, "0060 0030 0776 0480"},
    {&CVexData::kSettingsKey, "Op Mode", 1, nullptr},
    {&CVexData::kSettingsKey, "Driver Type", eDriverPcl6, nullptr},
    {&CVexData::kSettingsKey, "Use existing driver", 0, nullptr},
    {&CVexData::kSettingsKey, "Separator Page", 0, "<none>"},
    {&CVexData::kSettingsKey, "Share", 1, nullptr},
    {&CVexData::kSettingsKey, "Additional", 1, nullptr},
    {&CVexData::kSettingsKey, "Publish", 1, nullptr},
    {&CVexData::kSettingsKey, "TTL", 4, nullptr},
    {&CVexData::kTraceKey, " trace on", 0, nullptr},
    {&CVexData::kTraceKey, " trace level", 127, nullptr},
    {&CVexData::kTraceKey, " trace wrap on", 1, nullptr},
    {&CVexData::kTraceKey, " trace wrap size", 1400000, nullptr},
    {&CVexData::kTraceKey, " trace file", 0, nullptr},
    {&CVexData::kColumnsKey, "Sort column", eColumnIpAddress, nullptr},
};
static_assert(std::size(kSettings) == eSetSortColumn + 1);

// A trace row's value name for one program.
std::string TraceValue(eExe exe, const char* pszName);

// Reads and writes a setting through its row; a trace row for one program.
uint32_t Read(CVexData& data, ESetting eSetting);
bool Write(CVexData& data, ESetting eSetting, uint32_t dwData);
std::string ReadText(CVexData& data, ESetting eSetting);
bool WriteText(CVexData& data, ESetting eSetting, const std::string& csData);
uint32_t ReadTrace(CVexData& data, eExe exe, ESetting eSetting);
bool WriteTrace(CVexData& data, eExe exe, ESetting eSetting, uint32_t dwData);

} // namespace vexsettings
