// The command server's side of one GUI connection: the loop that reads each
// command, has it answered and writes the answer ("Quit" has none) until the
// GUI closes its end, and the forms of the answers. The service's command
// server runs it with the commands' real work; tests run it with their own.
#pragma once

#include "common/GtosPipeComm.h"
#include "common/Trace.h"
#include "platform/pipes.h"

#include <cstdint>
#include <functional>
#include <string>

// The command server's lines, the loop's and the answers', are written under
// the worker's name.
inline constexpr CTraceName kTraceAsGtosWork("CGtosPipeWorkThread::Work");

// Carries out one parsed command and gives its answer (any text for "Quit").
using GtosAnswerProc = std::function<std::string(EGtosCommand eCommand, const CGtosPipeComm& comm)>;

// Serves hPipe until the GUI closes it, the listener stops it or a write
// fails; then flushes, disconnects and closes it.
void ServeGtosConnection(platform::HPIPE hPipe, const GtosAnswerProc& answer);

// A command's word LF "Success" or "Failure".
std::string GtosOutcome(const char* pszWord, bool bSuccess);
// A creation's word LF result code ("%d") LF warnings ("%u").
std::string GtosCreationAnswer(const char* pszWord, uint32_t uiResult, uint32_t uiWarnings);
