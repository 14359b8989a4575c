// The thread of the command pipe's listener: it serves the GUI's commands with
// the command server, one worker thread per connection.
#pragma once

#include <cstdint>

struct SThreadData;

uint32_t GtosPipeListenThreadProc(SThreadData* pData);
