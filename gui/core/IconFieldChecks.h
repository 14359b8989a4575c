// The field checks of the create-printer and Modify dialogs: the queue name,
// the port name, the share name and the separator page, judged by
// CDataValidation against the spooler as it stands, and the message a failed
// check shows. No widgets: the dialogs show the message and focus the field.
#pragma once

#include "common/IconInfo.h"

#include <cstdint>
#include <optional>
#include <string>

enum class EIconField { IconName, PortName, ShareName, SeparatorPage };

struct SFieldFailure {
    EIconField eField;
    uint32_t uiResult;    // CDataValidation's code
    uint32_t uiMessageId; // 0: the check fails without a message (too long, say)
    int iVexNumber;       // of the "(ROUTINE)Message VEXnnn displayed to user." line
    const char* pszCheck; // "DDV_ValidIconName", ...
    std::string csText;   // the message, formatted
};

class CIconFieldChecks {
public:
    // Characters shown by the "not valid" message: names, and ports (which
    // may hold a colon).
    static constexpr const char* kNameChars = "!\\/:*?<>|,";
    static constexpr const char* kPortChars = "!\\/*?<>|,";
    // A queue name as the dialogs take it: without leading and trailing blanks and tabs.
    static std::string TrimmedName(const std::string& csName);

    // Each gives the failure, or nothing when the value passes.
    static std::optional<SFieldFailure> CheckIconName(const std::string& csName,
                                                      const std::string& csCurrentName);
    static std::optional<SFieldFailure> CheckPortName(const std::string& csName);
    static std::optional<SFieldFailure> CheckShareName(const std::string& csName,
                                                       const std::string& csCurrentName);
    static std::optional<SFieldFailure> CheckSeparatorPage(const std::string& csSepPage);

    // Every check in the dialogs' order (name, port, share name when sharing,
    // separator page when given); the first failure. The queue's current name
    // and share name are empty for a new queue; an empty csKeptPort checks every
    // port name, otherwise that port name (the queue's own) passes unchecked.
    static std::optional<SFieldFailure> CheckAll(const SIconInfo& values,
                                                 const std::string& csCurrentName,
                                                 const std::string& csCurrentShare,
                                                 const std::string& csKeptPort = "");
};
