// CStogPipeComm: the notification pipe, service to GUI. The service's side opens
// the GUI's pipe, sends one notification ("KPL Updated", "Adding Icons", "New
// Printer") and reads the answer, "Success" when the GUI took it; the GUI's side
// tells a notification's kind. A missing GUI is no error: the open fails with a
// warning and the next notification tries again.
#pragma once

#include "platform/pipes.h"

#include <cstdint>
#include <string>

// A notification's number as ParseData gives it.
enum EStogNotification : int32_t {
    eStogUnknown = 0,
    eStogQuit = 1,
    eStogKplUpdated = 2,
    eStogAddingIcons = 3,
    eStogNewPrinter = 4,
};

class CStogPipeComm {
public:
    static constexpr const char* kNotifyQuit = "Quit";
    static constexpr const char* kNotifyKplUpdated = "KPL Updated";
    static constexpr const char* kNotifyAddingIcons = "Adding Icons";
    static constexpr const char* kNotifyNewPrinter = "New Printer";
    static constexpr const char* kAnswerSuccess = "Success";
    static constexpr const char* kAnswerUnknown = "Unknown request";

    CStogPipeComm();
    virtual ~CStogPipeComm();
    CStogPipeComm(const CStogPipeComm&) = delete;
    CStogPipeComm& operator=(const CStogPipeComm&) = delete;

    // Service: opens the GUI's pipe; fails with a warning line when no GUI listens.
    bool InitializeClientPipe();
    // Service: one exchange on the open pipe; the pipe is closed afterwards.
    bool SendCmdToServer(const std::string& csData);
    // The message, " : ", and the system's text for the last error.
    std::string ErrorHandling(const std::string& csErrMsg);

    // Service: open the pipe and send the notification.
    bool TellGuiKplUpdated();
    bool TellGuiAddingIconsWithDefaults();
    bool TellFoundNewPrinter();

    // GUI: the notification's number.
    EStogNotification ParseData(const std::string& csData);

    platform::HPIPE m_hPipe;

private:
    bool Tell(const char* pszRoutine, const char* pszNotification);
    void ClosePipeHandle();
};
