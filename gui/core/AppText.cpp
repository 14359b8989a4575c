#include "gui/core/AppText.h"

#include <strings.h>

bool HasPromptSwitch(const std::vector<std::string>& arguments) {
    for (const std::string& csArg : arguments)
        if (csArg.size() == 7 && (csArg[0] == '/' || csArg[0] == '-') &&
            strcasecmp(csArg.c_str() + 1, "prompt") == 0)
            return true;
    return false;
}

bool WindowTitleForLanguage(const std::string& csCode, std::string* pcsTitle) {
    static const struct {
        const char* pszCode;
        const char* pszName;
    } kLanguages[] = {
        {"enu", "English"},
        {"fra", "French"},
        {"ita", "Italian"},
        {"deu", "German"},
        {"esp", "Spanish"},
        {"ptb", "Brazilian Portuguese"},
        {"jpn", "Japanese"},
        {"prc", "Simplified Chinese"},
        {"cht", "Traditional Chinese"},
        {"hun", "Hungarian"},
        {"nld", "Dutch"},
        {"plk", "Polish"},
        {"rus", "Russian"},
        {"csy", "Czech"},
        {"kor", "Korean"},
    };
    for (const auto& language : kLanguages)
        if (csCode == language.pszCode) {
            *pcsTitle = std::string("Zantor Ambrel - ") + language.pszName + " Drivers Package";
            return true;
        }
    return false;
}
