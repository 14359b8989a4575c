// vexsys command: sends one command over the service's command pipe, as the
// GUI does, and prints the service's answer. For scripts and tests.
#include "Command.h"

#include "common/GtosPipeComm.h"
#include "common/PipeMessage.h"
#include "platform/error.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

std::string LastErrorText() {
    const uint32_t dwError = platform::GetLastError();
    return "error " + std::to_string(dwError) + " (" + platform::ErrorText(dwError) + ")";
}

// One exchange as the GUI makes it: open the pipe, send, read the answer,
// say "Quit", close. 0, or the failure's exit code (the error printed).
int Exchange(const std::string& csCommand, std::string* pcsAnswer) {
    using namespace vexsys;
    platform::HPIPE hPipe = OpenPipeClient(kGtosPipeName, kCommandPipeBusyWaitMs);
    if (hPipe == platform::INVALID_PIPE_HANDLE)
        return Failure("cannot open the command pipe: " + LastErrorText() +
                       "; is vexsrv running on this system root?");
    bool bWritten = WritePipeMessage(hPipe, csCommand);
    // "Quit" has no answer.
    const bool bAnswered =
        bWritten && csCommand != CGtosPipeComm::kCmdQuit && ReadPipeMessage(hPipe, pcsAnswer);
    const std::string csError = LastErrorText();
    if (bAnswered)
        WritePipeMessage(hPipe, CGtosPipeComm::kCmdQuit);
    platform::ClosePipe(hPipe);
    if (!bWritten)
        return Failure("cannot send the command: " + csError);
    if (!bAnswered && csCommand != CGtosPipeComm::kCmdQuit)
        return Failure("no answer from the service: " + csError);
    return 0;
}

} // namespace

VEXSYS_COMMAND(command, "command",
               "command [--repeat N] WORD [LINE...]\n"
               "                              send a command to vexsrv and print its answer\n"
               "                              (the lines go as they are; exit 0 on success,\n"
               "                              3 when the service answered failure or Unknown);\n"
               "                              --repeat sends it N times, one exchange after\n"
               "                              another, and prints the round trips' times") {
    using namespace vexsys;
    std::vector<std::string> words = args;
    unsigned long long qwRepeat = 1;
    if (!words.empty() && words[0] == "--repeat") {
        if (words.size() < 2 || !ParseNumber(words[1], 1000000, &qwRepeat) || qwRepeat == 0)
            return UsageError("--repeat takes a count from 1 to 1000000");
        words.erase(words.begin(), words.begin() + 2);
    }
    if (words.empty())
        return UsageError("usage: command [--repeat N] WORD [LINE...]");
    std::string csCommand = words[0];
    for (size_t i = 1; i < words.size(); ++i)
        csCommand += "\n" + words[i];

    std::string csAnswer;
    std::vector<double> roundTripsUs;
    for (unsigned long long n = 0; n < qwRepeat; ++n) {
        const auto start = std::chrono::steady_clock::now();
        if (int rc = Exchange(csCommand, &csAnswer))
            return rc;
        roundTripsUs.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    if (csCommand == CGtosPipeComm::kCmdQuit)
        return 0;
    std::printf("%s\n", csAnswer.c_str());
    if (qwRepeat > 1) {
        std::sort(roundTripsUs.begin(), roundTripsUs.end());
        double total = 0;
        for (double us : roundTripsUs)
            total += us;
        std::printf("round trips: %zu, mean %.1f us, median %.1f us, slowest %.1f us\n",
                    roundTripsUs.size(), total / double(roundTripsUs.size()),
                    roundTripsUs[roundTripsUs.size() / 2], roundTripsUs.back());
    }
    CGtosPipeComm comm;
    return comm.ParseResultFromService(csAnswer) ? 0 : 3;
}
