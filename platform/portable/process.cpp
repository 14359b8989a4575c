// What a started process's exit code and its termination mean, the same on
// every system; the back ends reap and kill.
#include "platform/process.h"
#include "platform/error.h"

namespace platform {

bool Process::GetExitCode(uint32_t* pdwExitCode) {
    if (m_pid <= 0)
        return Fail(ERROR_INVALID_HANDLE);
    Reap(false);
    *pdwExitCode = m_bEnded ? m_dwExitCode : uint32_t(STILL_ACTIVE);
    return true;
}

bool Process::Terminate(uint32_t uExitCode) {
    if (m_pid <= 0)
        return Fail(ERROR_INVALID_HANDLE);
    if (Reap(false))
        return Fail(ERROR_ACCESS_DENIED); // as Windows answers for a process that has ended
    m_bTerminated = true;
    m_dwTerminateCode = uExitCode;
    if (!Kill(uExitCode))
        return false;
    Reap(true);
    return true;
}

} // namespace platform
