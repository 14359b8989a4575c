// The thread of the command pipe's listener: it serves the GUI's commands with
// the command server's worker, one worker thread per connection.
#pragma once

#include "common/GtosPipeListenThread.h"

#include <cstdint>

struct SThreadData;

// The command server's worker. Until one is set the pipe is not offered, so a
// GUI's command finds no listener instead of a server that cannot answer.
void SetGtosPipeWorkProc(GtosPipeWorkProc workProc);

uint32_t GtosPipeListenThreadProc(SThreadData* pData);
