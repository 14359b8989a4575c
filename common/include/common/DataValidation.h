// CDataValidation: checks of the user-visible fields of a print queue before it
// is created or changed. Names are judged against the spooler's printers and
// ports at the moment of the call. No state: create one on the stack per use.
#pragma once

#include <cstdint>
#include <string>

// Result of every check.
enum EValidation : uint32_t {
    eValidOk = 0,
    eValidTooLong = 1,
    eValidBadChar = 2,
    eValidDuplicate = 3,
    eValidBadSepPage = 4,
    eValidRejected = 5, // the spooler refuses the name, or publishing is impossible here
};

class CDataValidation {
public:
    // Queue name; csCurrentName is the queue's name now (empty for a new queue).
    uint32_t IsIconNameValid(std::string csName, std::string csCurrentName);
    uint32_t IsPortNameValid(std::string csName);
    // Share name; csCurrentName is the queue's share name now (empty for a new queue).
    uint32_t IsShareNameValid(std::string csName, std::string csCurrentName);
    uint32_t AreCommentsValid(std::string csComments);
    uint32_t IsLocationValid(std::string csLocation);
    uint32_t IsSeparatorPageValid(std::string csSepPage);
    uint32_t IsPublishedValid(bool bPublish);

    static constexpr size_t kMaxIconName = 78;
    static constexpr size_t kMaxPortName = 128;
    static constexpr size_t kMaxShareName = 78;
    static constexpr size_t kMaxComment = 255;
};
