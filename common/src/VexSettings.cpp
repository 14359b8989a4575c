// The settings table's reads and writes.
#include "VexSettings.h"

namespace vexsettings {

std::string TraceValue(eExe exe, const char* pszName) {
    return std::string(exe == eExeGui ? "GUI" : "Service") + pszName;
}

uint32_t Read(CVexData& data, ESetting eSetting) {
    const SSetting& row = kSettings[eSetting];
    return data.GetNumData(*row.key, row.name, row.dwDefault);
}
bool Write(CVexData& data, ESetting eSetting, uint32_t dwData) {
    const SSetting& row = kSettings[eSetting];
    return data.AddNumData(*row.key, row.name, dwData);
}
std::string ReadText(CVexData& data, ESetting eSetting) {
    const SSetting& row = kSettings[eSetting];
    return data.GetStringData(*row.key, row.name, row.pszDefault);
}
bool WriteText(CVexData& data, ESetting eSetting, const std::string& csData) {
    const SSetting& row = kSettings[eSetting];
    return data.AddStringData(*row.key, row.name, csData);
}
uint32_t ReadTrace(CVexData& data, eExe exe, ESetting eSetting) {
    const SSetting& row = kSettings[eSetting];
    return data.GetNumData(*row.key, TraceValue(exe, row.name), row.dwDefault);
}
bool WriteTrace(CVexData& data, eExe exe, ESetting eSetting, uint32_t dwData) {
    const SSetting& row = kSettings[eSetting];
    return data.AddNumData(*row.key, TraceValue(exe, row.name), dwData);
}

} // namespace vexsettings
