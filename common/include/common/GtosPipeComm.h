// CGtosPipeComm: the command pipe, GUI to service. The GUI's side opens the pipe,
// sends one command and reads its answer; the service's side parses a command.
// One object per exchange.
//
// A command is its word, then its parameter lines, joined by line feeds:
//   "Quit"; "Ignore", "Remove", "Restore", "Add Icon Defaults" + UUID;
//   "Change state" + UUID + one digit; "Discover"; "Add Icon" + 13 lines;
//   "Update Icons" + UUID + queue names ("<none>" when empty) + state number.
// Answers: the word, then "Success"/"Failure", or for the two "Add Icon"
// commands the result code ("%d") and the warning bits ("%u"); "Unknown" for
// anything not understood. Parameter texts are carried by EncodePipeField.
#pragma once

#include "common/IconInfo.h"
#include "platform/pipes.h"

#include <cstdint>
#include <string>

class CPrinter;

// A command's number as ParseCmdFromGui gives it.
enum EGtosCommand : int32_t {
    eGtosUnknown = 0, // not recognised, or a malformed "Change state" or "Add Icon"
    eGtosQuit = 1,
    eGtosIgnore = 2,
    eGtosRemove = 3,
    eGtosRestore = 4,
    eGtosAddIcon = 5,
    eGtosAddIconDefaults = 6,
    eGtosDiscover = 7,
    eGtosChangeState = 8,
    // The GUI's correction of a printer's queue names and state, which the
    // service applies to its list and stores.
    eGtosUpdateIcons = 9,
};

class CGtosPipeComm {
public:
    // Command words, and the words of the answers.
    static constexpr const char* kCmdQuit = "Quit";
    static constexpr const char* kCmdIgnore = "Ignore";
    static constexpr const char* kCmdRemove = "Remove";
    static constexpr const char* kCmdRestore = "Restore";
    static constexpr const char* kCmdAddIcon = "Add Icon";
    static constexpr const char* kCmdAddIconDefaults = "Add Icon Defaults";
    static constexpr const char* kCmdDiscover = "Discover";
    static constexpr const char* kCmdChangeState = "Change state";
    static constexpr const char* kCmdUpdateIcons = "Update Icons";
    static constexpr const char* kAnswerSuccess = "Success";
    static constexpr const char* kAnswerFailure = "Failure";
    static constexpr const char* kAnswerUnknown = "Unknown";

    CGtosPipeComm();
    virtual ~CGtosPipeComm();
    CGtosPipeComm(const CGtosPipeComm&) = delete;
    CGtosPipeComm& operator=(const CGtosPipeComm&) = delete;

    // GUI: opens the command pipe (no waiting for a busy pipe).
    bool InitializeGuiEndOfPipe();
    // GUI: one exchange on the open pipe: the command, its answer, then "Quit";
    // the pipe is closed afterwards whatever happened.
    bool SendCmdToService(const std::string& csData);
    // The message, " : ", and the system's text for the last error.
    std::string ErrorHandling(const std::string& csErrMsg);

    // GUI: each opens the pipe, sends its command for the printer and closes it.
    bool SendIgnorePrinterCmdToService(const CPrinter* pPrinter);
    bool SendRemovePrinterCmdToService(const CPrinter* pPrinter);
    bool SendRestorePrinterCmdToService(const CPrinter* pPrinter);
    // Result code and warnings of the answer land in m_iRc and m_uiWarnings
    // (1 and 0 when no answer came).
    bool SendAddIconWithDefaultsCmdToService(const CPrinter* pPrinter);
    bool SendAddIconCmdToService(const CPrinter* pPrinter, SIconInfo IconInfo);
    bool SendChangeStateCmdToService(const CPrinter* pPrinter, int32_t eNewState);
    bool SendDiscoverPrintersCmdToService();
    // "Update Icons" with the printer's UUID, queue names (m_csIconName) and
    // state. True only on "Success"; m_bUnknownAnswer tells afterwards whether
    // the service answered "Unknown" (a service that does not know the command).
    bool SendUpdateIconsCmdToService(const CPrinter* pPrinter);
    // GUI: whether the answer reports success; stores an "Add Icon" answer's
    // code and warnings, and whether the answer was "Unknown".
    bool ParseResultFromService(const std::string& csResult);

    // Service: the command's number; fills the members it carries.
    EGtosCommand ParseCmdFromGui(const std::string& csData);
    // Whether a parsed parameter text holds a zero byte (sent as DLE "0"):
    // the service refuses such a command (ParseCmdFromGui gives eGtosUnknown).
    bool HoldsZeroByte(EGtosCommand eCommand) const;
    // Service: the 13 lines after "Add Icon" into the members: 5, or 0 at the
    // first line that is missing or wrong (the lines before it stay stored),
    // or when a text holds a zero byte.
    int ParseAddIconCmdFromGui(const std::string& csData);

    // The "Add Icon" message for the printer's UUID and the dialog's values. False
    // when a number has no word on the pipe (driver type other than 0..2,
    // handling other than 0..2).
    static bool BuildAddIconCmd(const std::string& csUUID, const SIconInfo& IconInfo,
                                std::string* pcsData);

    std::string m_csUUID;
    // "Add Icon": the dialog's values as the command carried them, the UUID
    // included (the printer's address and model do not travel).
    SIconInfo m_IconInfo;
    int32_t m_eNewState;       // state of "Change state" and "Update Icons"
    std::string m_csIconNames; // "Update Icons": the printer's queue names, ", "-joined
    int32_t m_iRc;
    uint32_t m_uiWarnings;
    bool m_bUnknownAnswer; // GUI: the last answer read was "Unknown"
    platform::HPIPE m_hPipe;

private:
    // The lines after "Update Icons": UUID, queue names, state.
    EGtosCommand ParseUpdateIconsCmd(const std::string& csRest);
    // The command word, the printer's UUID and csTail; csTraceTail follows the
    // printer in the parameters line.
    bool SendPrinterCmd(const char* pszRoutine, const char* pszWord, const CPrinter* pPrinter,
                        const std::string& csTail, const std::string& csTraceTail = "");
    void ClosePipeHandle();
};
