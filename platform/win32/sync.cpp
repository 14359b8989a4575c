// Named mutexes on Windows: kernel mutexes in the Global namespace, so that
// the service (session 0) and the GUI (a user's session) share them.
#include "platform/sync.h"
#include "platform/error.h"

#include "object_name.h"
#include "windows_api.h"

namespace platform {

struct NamedMutex::State {
    HANDLE hMutex = nullptr;
    ~State() {
        if (hMutex)
            ::CloseHandle(hMutex);
    }
};

NamedMutex::NamedMutex(const std::string& csName) {
    if (!IsValidObjectName(csName)) {
        SetLastError(ERROR_INVALID_NAME);
        return;
    }
    HANDLE hMutex = ::CreateMutexA(nullptr, FALSE, ("Global\\" + csName).c_str());
    if (!hMutex) {
        SetLastError(::GetLastError());
        return;
    }
    m_state = std::make_shared<State>();
    m_state->hMutex = hMutex;
}

NamedMutex::~NamedMutex() = default;

WaitResult NamedMutex::Wait(uint32_t dwMilliseconds) {
    if (!m_state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WaitResult::Failed;
    }
    switch (::WaitForSingleObject(m_state->hMutex, dwMilliseconds)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its owner died: the mutex is ours, as on POSIX
        return WaitResult::Signaled;
    case WAIT_TIMEOUT:
        return WaitResult::Timeout;
    default:
        SetLastError(::GetLastError());
        return WaitResult::Failed;
    }
}

bool NamedMutex::Release() {
    if (!m_state)
        return Fail(ERROR_INVALID_HANDLE);
    if (::ReleaseMutex(m_state->hMutex))
        return true;
    // ERROR_NOT_OWNER reads as on POSIX, so callers and traces see one number.
    const DWORD dwError = ::GetLastError();
    return Fail(dwError == ERROR_NOT_OWNER ? DWORD(ERROR_ACCESS_DENIED) : dwError);
}

} // namespace platform
