#include "gui/core/IconFieldChecks.h"

#include "common/DataValidation.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"

namespace {

// The message for a name check's result; other results fail silently.
SFieldFailure NameFailure(EIconField eField, const char* pszCheck, uint32_t uiResult,
                          const std::string& csName, const char* pszChars) {
    SFieldFailure failure{eField, uiResult, 0, 0, pszCheck, {}};
    switch (uiResult) {
    case eValidBadChar:
        failure.uiMessageId = IDS_NAME_BAD_CHARS;
        failure.iVexNumber = 213;
        failure.csText = FormatVexString(IDS_NAME_BAD_CHARS, {csName, pszChars});
        break;
    case eValidDuplicate:
        failure.uiMessageId = IDS_NAME_EXISTS;
        failure.iVexNumber = 214;
        failure.csText = FormatVexString(IDS_NAME_EXISTS, {csName});
        break;
    case eValidRejected:
        // Only queue names are ever rejected by the spooler.
        if (eField == EIconField::IconName) {
            failure.uiMessageId = IDS_NAME_REJECTED;
            failure.iVexNumber = 216;
            failure.csText = FormatVexString(IDS_NAME_REJECTED, {csName});
        }
        break;
    default:
        break;
    }
    return failure;
}
} // namespace

std::optional<SFieldFailure> CIconFieldChecks::CheckIconName(const std::string& csName,
                                                             const std::string& csCurrentName) {
    const uint32_t uiResult = CDataValidation().IsIconNameValid(csName, csCurrentName);
    if (uiResult == eValidOk)
        return std::nullopt;
    return NameFailure(EIconField::IconName, "DDV_ValidIconName", uiResult, csName, kNameChars);
}

std::optional<SFieldFailure> CIconFieldChecks::CheckPortName(const std::string& csName) {
    const uint32_t uiResult = CDataValidation().IsPortNameValid(csName);
    if (uiResult == eValidOk)
        return std::nullopt;
    return NameFailure(EIconField::PortName, "DDV_ValidPortName", uiResult, csName, kPortChars);
}

std::optional<SFieldFailure> CIconFieldChecks::CheckShareName(const std::string& csName,
                                                              const std::string& csCurrentName) {
    const uint32_t uiResult = CDataValidation().IsShareNameValid(csName, csCurrentName);
    if (uiResult == eValidOk)
        return std::nullopt;
    return NameFailure(EIconField::ShareName, "DDV_ValidShareName", uiResult, csName, kNameChars);
}

std::optional<SFieldFailure> CIconFieldChecks::CheckSeparatorPage(const std::string& csSepPage) {
    const uint32_t uiResult = CDataValidation().IsSeparatorPageValid(csSepPage);
    if (uiResult == eValidOk)
        return std::nullopt;
    return SFieldFailure{
        EIconField::SeparatorPage, uiResult,
        IDS_BAD_SEPARATOR_PAGE,    212,
        "DDV_ValidSeparatorPage",  FormatVexString(IDS_BAD_SEPARATOR_PAGE, {csSepPage})};
}

std::optional<SFieldFailure> CIconFieldChecks::CheckAll(const SIconInfo& values,
                                                        const std::string& csCurrentName,
                                                        const std::string& csCurrentShare,
                                                        const std::string& csKeptPort) {
    if (auto failure = CheckIconName(values.csIconName, csCurrentName))
        return failure;
    if (csKeptPort.empty() || values.csPortName != csKeptPort)
        if (auto failure = CheckPortName(values.csPortName))
            return failure;
    if (values.bShare)
        if (auto failure = CheckShareName(values.csShareName, csCurrentShare))
            return failure;
    if (!values.csSepPage.empty())
        if (auto failure = CheckSeparatorPage(values.csSepPage))
            return failure;
    return std::nullopt;
}

std::string CIconFieldChecks::TrimmedName(const std::string& csName) {
    const size_t nFirst = csName.find_first_not_of(" \t");
    if (nFirst == std::string::npos)
        return std::string();
    return csName.substr(nFirst, csName.find_last_not_of(" \t") - nFirst + 1);
}
