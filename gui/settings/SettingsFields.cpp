#include "gui/settings/SettingsFields.h"

#include "gui/app/Prompter.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"

#include <cctype>

std::optional<int64_t> ParseWholeNumber(const std::string& csText, int64_t iMin, int64_t iMax) {
    size_t nBegin = 0, nEnd = csText.size();
    while (nBegin < nEnd && std::isspace(static_cast<unsigned char>(csText[nBegin])))
        ++nBegin;
    while (nEnd > nBegin && std::isspace(static_cast<unsigned char>(csText[nEnd - 1])))
        --nEnd;
    bool bNegative = false;
    if (nBegin < nEnd && (csText[nBegin] == '-' || csText[nBegin] == '+'))
        bNegative = csText[nBegin++] == '-';
    if (nBegin == nEnd)
        return std::nullopt;
    // Digits beyond the range's reach are refused before they can overflow.
    int64_t iValue = 0;
    for (size_t i = nBegin; i < nEnd; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(csText[i])))
            return std::nullopt;
        iValue = iValue * 10 + (csText[i] - '0');
        if (iValue > (int64_t(1) << 40))
            return std::nullopt;
    }
    if (bNegative)
        iValue = -iValue;
    if (iValue < iMin || iValue > iMax)
        return std::nullopt;
    return iValue;
}

SPublishBox PublishBoxForShare(bool bShare, bool bPublishChecked) {
    if (!bShare)
        return {false, false};
    return {true, bPublishChecked};
}

void ShowNumberRangeMessage(QWidget* pOwner, int64_t iMin, int64_t iMax) {
    VexMessageText(pOwner, IDS_NUMBER_RANGE,
                   FormatVexString(IDS_NUMBER_RANGE, {std::to_string(iMin), std::to_string(iMax)}),
                   EMsgButtons::Ok, EMsgIcon::Exclamation);
}
