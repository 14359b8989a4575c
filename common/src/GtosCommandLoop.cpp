// ServeGtosConnection and the answers' forms: see common/GtosCommandLoop.h.
#include "common/GtosCommandLoop.h"

#include "common/PipeMessage.h"
#include "common/Trace.h"
#include "platform/error.h"

void ServeGtosConnection(platform::HPIPE hPipe, const GtosAnswerProc& answer) {
    std::string csData;
    while (ReadPipeMessage(hPipe, &csData)) {
        CGtosPipeComm comm;
        const EGtosCommand eCommand = comm.ParseCmdFromGui(csData);
        const std::string csAnswer = answer(eCommand, comm);
        if (eCommand == eGtosQuit)
            continue;
        if (!WritePipeMessage(hPipe, csAnswer)) {
            kTraceAsGtosWork.Err("Write to pipe failed, quitting");
            break;
        }
    }
    const uint32_t dwError = platform::GetLastError();
    // The GUI closing its end is the normal end of a connection, and a stop of
    // the listener the normal end of the service.
    if (dwError != platform::ERROR_BROKEN_PIPE && dwError != platform::ERROR_NO_DATA &&
        dwError != platform::ERROR_OPERATION_ABORTED)
        kTraceAsGtosWork.Wrn("Connection ended : %s", platform::ErrorText(dwError).c_str());
    platform::FlushPipe(hPipe);
    platform::DisconnectNamedPipe(hPipe);
    platform::ClosePipe(hPipe);
}

std::string GtosOutcome(const char* pszWord, bool bSuccess) {
    return std::string(pszWord) + "\n" +
           (bSuccess ? CGtosPipeComm::kAnswerSuccess : CGtosPipeComm::kAnswerFailure);
}

std::string GtosCreationAnswer(const char* pszWord, uint32_t uiResult, uint32_t uiWarnings) {
    return std::string(pszWord) + "\n" + std::to_string(int32_t(uiResult)) + "\n" +
           std::to_string(uiWarnings);
}
