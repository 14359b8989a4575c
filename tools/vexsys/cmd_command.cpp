// vexsys command: sends one command over the service's command pipe, as the
// GUI does, and prints the service's answer. For scripts and tests.
#include "Command.h"

#include "common/GtosPipeComm.h"
#include "common/PipeMessage.h"
#include "platform/error.h"

#include <cstdio>

namespace {

std::string LastErrorText() {
    const uint32_t dwError = platform::GetLastError();
    return "error " + std::to_string(dwError) + " (" + platform::ErrorText(dwError) + ")";
}

} // namespace

VEXSYS_COMMAND(command, "command",
               "command WORD [LINE...]        send a command to vexsrv and print its answer\n"
               "                              (the lines go as they are; exit 0 on success,\n"
               "                              3 when the service answered failure or Unknown)") {
    using namespace vexsys;
    if (args.empty())
        return UsageError("usage: command WORD [LINE...]");
    std::string csCommand = args[0];
    for (size_t i = 1; i < args.size(); ++i)
        csCommand += "\n" + args[i];

    platform::HPIPE hPipe = OpenPipeClient(kGtosPipeName, kCommandPipeBusyWaitMs);
    if (hPipe == platform::INVALID_PIPE_HANDLE)
        return Failure("cannot open the command pipe: " + LastErrorText() +
                       "; is vexsrv running on this system root?");
    std::string csAnswer;
    bool bWritten = WritePipeMessage(hPipe, csCommand);
    // "Quit" has no answer.
    const bool bAnswered =
        bWritten && csCommand != CGtosPipeComm::kCmdQuit && ReadPipeMessage(hPipe, &csAnswer);
    const std::string csError = LastErrorText();
    if (bAnswered)
        WritePipeMessage(hPipe, CGtosPipeComm::kCmdQuit);
    platform::ClosePipe(hPipe);
    if (!bWritten)
        return Failure("cannot send the command: " + csError);
    if (csCommand == CGtosPipeComm::kCmdQuit)
        return 0;
    if (!bAnswered)
        return Failure("no answer from the service: " + csError);
    std::printf("%s\n", csAnswer.c_str());
    CGtosPipeComm comm;
    return comm.ParseResultFromService(csAnswer) ? 0 : 3;
}
