// The notification pipe's messages: sending them (service) and telling their
// kind (GUI).
#include "common/StogPipeComm.h"

#include "common/GuiSession.h"
#include "common/PipeMessage.h"
#include "common/Trace.h"

CStogPipeComm::CStogPipeComm() : m_hPipe(platform::INVALID_PIPE_HANDLE) {}

CStogPipeComm::~CStogPipeComm() {
    ClosePipeHandle();
}

void CStogPipeComm::ClosePipeHandle() {
    if (m_hPipe != platform::INVALID_PIPE_HANDLE)
        platform::ClosePipe(m_hPipe);
    m_hPipe = platform::INVALID_PIPE_HANDLE;
}

std::string CStogPipeComm::ErrorHandling(const std::string& csErrMsg) {
    return PipeErrorHandling("CStogPipeComm", csErrMsg);
}

bool CStogPipeComm::InitializeClientPipe() {
    CTraceScope scope("CStogPipeComm::InitializeClientPipe");
    ClosePipeHandle();
    // The GUI that runs is the one that recorded its session last: its user's
    // pipe first, should another user's GUI have left a listening pipe too.
    SGuiSession session;
    const uint32_t uGuiUser =
        LoadGuiSession(&session, false) ? session.uiUserId : platform::kAnyPipeUser;
    m_hPipe = OpenPipeClient(kStogPipeName, kPipeBusyWaitMs, uGuiUser);
    if (m_hPipe == platform::INVALID_PIPE_HANDLE) {
        // Usual when no GUI runs, hence only a warning.
        TraceWrn("%s", ErrorHandling(scope.Prefixed("CreateFile failed")).c_str());
        scope.Result(false);
        return false;
    }
    if (!platform::SetNamedPipeHandleState(m_hPipe, platform::PIPE_READMODE_MESSAGE) ||
        !platform::SetPipeReadTimeout(m_hPipe, kNotificationAnswerWaitMs)) {
        TraceErr("%s", ErrorHandling(scope.Prefixed("SetNamedPipeHandleState failed")).c_str());
        ClosePipeHandle();
        scope.Result(false);
        return false;
    }
    scope.Result(true);
    return true;
}

bool CStogPipeComm::SendCmdToServer(const std::string& csData) {
    CTraceScope scope("CStogPipeComm::SendCmdToServer");
    scope.Det("parameters (csData=\n%s)", IndentPipeText(csData).c_str());
    bool bOk = false;
    std::string csAnswer;
    if (!WritePipeMessage(m_hPipe, csData)) {
        TraceErr("%s", ErrorHandling(scope.Prefixed("WriteFile failed")).c_str());
    } else if (!ReadPipeMessage(m_hPipe, &csAnswer)) {
        TraceErr("%s", ErrorHandling(scope.Prefixed("ReadFile failed")).c_str());
    } else if (csAnswer != kAnswerSuccess) {
        scope.Err("Command execution failed in server");
    } else {
        bOk = true;
    }
    ClosePipeHandle();
    scope.Result(bOk);
    return bOk;
}

bool CStogPipeComm::Tell(const char* pszRoutine, const char* pszNotification) {
    CTraceScope scope(pszRoutine);
    bool bOk = InitializeClientPipe() && SendCmdToServer(pszNotification);
    scope.Result(bOk);
    return bOk;
}

bool CStogPipeComm::TellGuiKplUpdated() {
    return Tell("CStogPipeComm::TellGuiKplUpdated", kNotifyKplUpdated);
}

bool CStogPipeComm::TellGuiAddingIconsWithDefaults() {
    return Tell("CStogPipeComm::TellGuiAddingIconsWithDefaults", kNotifyAddingIcons);
}

bool CStogPipeComm::TellFoundNewPrinter() {
    return Tell("CStogPipeComm::TellFoundNewPrinter", kNotifyNewPrinter);
}

EStogNotification CStogPipeComm::ParseData(const std::string& csData) {
    CTraceScope scope("CStogPipeComm::ParseData");
    scope.Det("parameters (csData=\n%s)", IndentPipeText(csData).c_str());
    const std::string csWord = csData.substr(0, csData.find('\n'));
    EStogNotification eNotification = eStogUnknown;
    if (csWord == kNotifyQuit)
        eNotification = eStogQuit;
    else if (csWord == kNotifyKplUpdated)
        eNotification = eStogKplUpdated;
    else if (csWord == kNotifyAddingIcons)
        eNotification = eStogAddingIcons;
    else if (csWord == kNotifyNewPrinter)
        eNotification = eStogNewPrinter;
    scope.Result("%d", int(eNotification));
    return eNotification;
}
