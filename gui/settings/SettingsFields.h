// Rules of the settings dialogs' fields that need no window: whole numbers in
// an edit, and which state the "Publish" box takes from the "Share" box.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class QWidget;

// The whole number an edit holds: blanks around it and a sign are allowed, as
// in any number field of the platform; nothing else. Empty when the text is no
// whole number or lies outside [iMin, iMax].
std::optional<int64_t> ParseWholeNumber(const std::string& csText, int64_t iMin, int64_t iMax);

// Tells the user that a number field must hold a whole number from iMin to
// iMax (the platform's standard message).
void ShowNumberRangeMessage(QWidget* pOwner, int64_t iMin, int64_t iMax);

// The multicast time-to-live of the discovery: a whole number 0 to 250 of at
// most 3 characters.
constexpr int64_t kMinTTL = 0;
constexpr int64_t kMaxTTL = 250;
constexpr int kTTLChars = 3;

// The wrap size of a trace: a whole number of bytes. A negative one would roll
// the file before every line, so it is refused.
constexpr int64_t kMinWrapSize = 0;
constexpr int64_t kMaxWrapSize = INT32_MAX;

// "Publish in the directory" follows "Share the printer": a printer that is not
// shared cannot be published, so the box is cleared and disabled; sharing again
// enables it and leaves it as it is.
struct SPublishBox {
    bool bEnabled;
    bool bChecked;
};
SPublishBox PublishBoxForShare(bool bShare, bool bPublishChecked);
