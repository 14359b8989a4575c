// Named message pipes on Windows: the system's own, opened for overlapped I/O
// so that every wait can end on its cancel or on the read time-out.
//
// Who may use a pipe is its security descriptor's: the system and the
// administrators always, a user's own pipe (PipeAccess::Default) its user
// too; nobody else may open it. The administrators' pipe is owned by the
// Administrators group and served only by an administrator; a process's
// first instance of a name must be the name's first instance on the machine,
// so a squatter that holds the name is never joined by our other instances,
// and a client of the administrators' pipe joins only one that the system or
// the Administrators own.
#include "platform/pipes.h"
#include "platform/access.h"
#include "platform/error.h"

#include "pipe_name.h"
#include "pipe_security.h"
#include "windows_api.h"

#include <aclapi.h>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

struct PipeInstance {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::shared_ptr<PipeCancel> pCancel;
    uint32_t dwReadTimeout = NMPWAIT_WAIT_FOREVER;
    std::string csServedName; // a server's: the name its count is kept under
};

namespace {

// The instances this process serves, by name (case folded).
std::mutex g_servedLock;
std::map<std::string, int> g_served;

std::string Folded(std::string csName) {
    for (char& c : csName)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return csName;
}

// Whether the server end of a client's handle is the administrators' own:
// its pipe is owned by the system or by the Administrators group.
bool IsAdministratorsPipe(HANDLE h) {
    PSID pOwner = nullptr;
    PSECURITY_DESCRIPTOR pSd = nullptr;
    if (::GetSecurityInfo(h, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner, nullptr,
                          nullptr, nullptr, &pSd) != ERROR_SUCCESS)
        return false;
    const bool bOurs = pOwner && (::IsWellKnownSid(pOwner, WinLocalSystemSid) ||
                                  ::IsWellKnownSid(pOwner, WinBuiltinAdministratorsSid));
    ::LocalFree(pSd);
    return bOurs;
}

// One overlapped call with its own event, so that a read and a write of one
// handle may wait in two threads.
class COverlapped {
public:
    COverlapped() { m_ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~COverlapped() {
        if (m_ov.hEvent)
            ::CloseHandle(m_ov.hEvent);
    }
    COverlapped(const COverlapped&) = delete;
    COverlapped& operator=(const COverlapped&) = delete;
    bool IsValid() const { return m_ov.hEvent != nullptr; }
    OVERLAPPED* Get() { return &m_ov; }

    // Finishes a call that returned bStarted: waits for it, the cancel or the
    // time-out. False with the last error; a read's ERROR_MORE_DATA comes with
    // the count of what it took.
    bool Finish(const PipeInstance* p, BOOL bStarted, uint32_t dwTimeoutMs, DWORD* pdwCount) {
        *pdwCount = 0;
        if (!bStarted) {
            const DWORD dwError = ::GetLastError();
            if (dwError == ERROR_MORE_DATA)
                ::GetOverlappedResult(p->h, &m_ov, pdwCount, FALSE);
            if (dwError != ERROR_IO_PENDING)
                return Fail(dwError);
            HANDLE waits[2] = {m_ov.hEvent, nullptr};
            DWORD nWaits = 1;
            if (p->pCancel && p->pCancel->WaitHandle() != -1)
                waits[nWaits++] = reinterpret_cast<HANDLE>(p->pCancel->WaitHandle());
            const DWORD dwWait = ::WaitForMultipleObjects(nWaits, waits, FALSE, dwTimeoutMs);
            if (dwWait != WAIT_OBJECT_0) {
                ::CancelIoEx(p->h, &m_ov);
                // What finished before the cancel counts.
                if (::GetOverlappedResult(p->h, &m_ov, pdwCount, TRUE))
                    return true;
                return Fail(dwWait == WAIT_TIMEOUT ? DWORD(ERROR_WAIT_TIMEOUT)
                                                   : DWORD(ERROR_OPERATION_ABORTED));
            }
        }
        return ::GetOverlappedResult(p->h, &m_ov, pdwCount, FALSE) || Fail(::GetLastError());
    }

private:
    OVERLAPPED m_ov{};
};

bool Valid(HPIPE hPipe) {
    return hPipe != INVALID_PIPE_HANDLE && hPipe->h != INVALID_HANDLE_VALUE;
}

bool Cancelled(const PipeInstance* p) {
    return p->pCancel && p->pCancel->IsCancelled();
}

// One overlapped call on the handle: start(OVERLAPPED*) begins it, and it is
// waited for as COverlapped::Finish does.
template <typename Start>
bool Overlapped(HPIPE hPipe, uint32_t dwTimeoutMs, DWORD* pdwCount, Start start) {
    *pdwCount = 0;
    if (!Valid(hPipe))
        return Fail(ERROR_INVALID_HANDLE);
    if (Cancelled(hPipe))
        return Fail(ERROR_OPERATION_ABORTED);
    COverlapped ov;
    if (!ov.IsValid())
        return Fail(::GetLastError());
    return ov.Finish(hPipe, start(ov.Get()), dwTimeoutMs, pdwCount);
}

std::string SystemName(const std::string& csBase) {
    return "\\\\.\\pipe\\" + csBase;
}

} // namespace

PipeCancel::PipeCancel() {
    HANDLE hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (hEvent)
        m_wait[0] = reinterpret_cast<intptr_t>(hEvent);
}

PipeCancel::~PipeCancel() {
    if (m_wait[0] != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_wait[0]));
}

void PipeCancel::Cancel() {
    if (!m_bCancelled.exchange(true) && m_wait[0] != -1)
        ::SetEvent(reinterpret_cast<HANDLE>(m_wait[0]));
}

bool PipeCancel::IsCancelled() const {
    return m_bCancelled.load();
}

bool PipeCancel::WaitForCancel(uint32_t dwMilliseconds) const {
    if (IsCancelled())
        return true;
    if (m_wait[0] != -1)
        ::WaitForSingleObject(reinterpret_cast<HANDLE>(m_wait[0]), dwMilliseconds);
    else
        ::Sleep(dwMilliseconds);
    return IsCancelled();
}

HPIPE CreateNamedPipe(const std::string& csName, uint32_t nMaxInstances, uint32_t nOutBufferSize,
                      uint32_t nInBufferSize, uint32_t nDefaultTimeOut, PipeAccess eAccess) {
    std::string csBase;
    if (!PipeBaseName(csName, &csBase))
        return INVALID_PIPE_HANDLE;
    if (nMaxInstances == 0 || nMaxInstances > PIPE_UNLIMITED_INSTANCES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_PIPE_HANDLE;
    }
    if (eAccess == PipeAccess::EveryLocalUser && !IsMachineAdministrator()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_PIPE_HANDLE;
    }
    SECURITY_ATTRIBUTES sa{sizeof sa, PipeSecurity(eAccess), FALSE};
    if (!sa.lpSecurityDescriptor)
        return INVALID_PIPE_HANDLE;
    const std::string csKey = Folded(csBase);
    std::lock_guard lock(g_servedLock);
    const DWORD dwFirst = g_served[csKey] == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
    HANDLE h = ::CreateNamedPipeA(
        SystemName(csBase).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | dwFirst,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        nMaxInstances, nOutBufferSize, nInBufferSize, nDefaultTimeOut, &sa);
    const DWORD dwError = ::GetLastError();
    ::LocalFree(sa.lpSecurityDescriptor);
    if (h == INVALID_HANDLE_VALUE) {
        if (g_served[csKey] == 0)
            g_served.erase(csKey);
        // Another process holds the name: not ours to join (wine says so
        // with ERROR_ALREADY_EXISTS, Windows with ERROR_ACCESS_DENIED).
        SetLastError(dwFirst && dwError == ERROR_ALREADY_EXISTS ? DWORD(ERROR_ACCESS_DENIED)
                                                                : dwError);
        return INVALID_PIPE_HANDLE;
    }
    ++g_served[csKey];
    return new PipeInstance{h, nullptr, NMPWAIT_WAIT_FOREVER, csKey};
}

bool ConnectNamedPipe(HPIPE hPipe) {
    DWORD dwCount = 0;
    if (Overlapped(hPipe, INFINITE, &dwCount,
                   [&](OVERLAPPED* pOv) { return ::ConnectNamedPipe(hPipe->h, pOv); }))
        return true;
    // A client that came and closed its end before the call is told by the
    // system as ERROR_NO_DATA; it came before the call all the same: what it
    // wrote is read, then the pipe reads as broken, as on POSIX.
    return GetLastError() == ERROR_NO_DATA ? Fail(ERROR_PIPE_CONNECTED) : false;
}

HPIPE OpenNamedPipe(const std::string& csName, PipeAccess eAccess, uint32_t) {
    std::string csBase;
    if (!PipeBaseName(csName, &csBase))
        return INVALID_PIPE_HANDLE;
    HANDLE h = ::CreateFileA(SystemName(csBase).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        SetLastError(::GetLastError());
        return INVALID_PIPE_HANDLE;
    }
    if (eAccess == PipeAccess::EveryLocalUser && !IsAdministratorsPipe(h)) {
        ::CloseHandle(h);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_PIPE_HANDLE;
    }
    // Message reads from the start, as on every system.
    DWORD dwMode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(h, &dwMode, nullptr, nullptr)) {
        const DWORD dwError = ::GetLastError();
        ::CloseHandle(h);
        SetLastError(dwError);
        return INVALID_PIPE_HANDLE;
    }
    return new PipeInstance{h, nullptr, NMPWAIT_WAIT_FOREVER, {}};
}

bool SetNamedPipeHandleState(HPIPE hPipe, uint32_t dwReadMode) {
    if (!Valid(hPipe))
        return Fail(ERROR_INVALID_HANDLE);
    if (dwReadMode != PIPE_READMODE_MESSAGE)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD dwMode = dwReadMode;
    return ::SetNamedPipeHandleState(hPipe->h, &dwMode, nullptr, nullptr) || Fail(::GetLastError());
}

bool SetPipeReadTimeout(HPIPE hPipe, uint32_t dwMilliseconds) {
    if (!Valid(hPipe))
        return Fail(ERROR_INVALID_HANDLE);
    hPipe->dwReadTimeout = dwMilliseconds;
    return true;
}

bool WritePipe(HPIPE hPipe, const void* pBuffer, uint32_t nBytes, uint32_t* pnWritten) {
    if (pnWritten)
        *pnWritten = 0;
    if (nBytes > PIPE_MAX_MESSAGE || (nBytes && !pBuffer))
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD dwCount = 0;
    const bool ok = Overlapped(hPipe, INFINITE, &dwCount, [&](OVERLAPPED* pOv) {
        return ::WriteFile(hPipe->h, pBuffer, nBytes, nullptr, pOv);
    });
    if (pnWritten)
        *pnWritten = dwCount;
    // A client that its server disconnected is told 233 by the system: for
    // the interface the other end has gone.
    if (!ok && GetLastError() == ERROR_PIPE_NOT_CONNECTED)
        return Fail(ERROR_NO_DATA);
    return ok;
}

bool ReadPipe(HPIPE hPipe, void* pBuffer, uint32_t nBytes, uint32_t* pnRead) {
    DWORD dwCount = 0;
    const DWORD dwTimeout =
        hPipe && hPipe->dwReadTimeout != NMPWAIT_WAIT_FOREVER ? hPipe->dwReadTimeout : INFINITE;
    const bool ok = Overlapped(hPipe, dwTimeout, &dwCount, [&](OVERLAPPED* pOv) {
        return ::ReadFile(hPipe->h, pBuffer, nBytes, nullptr, pOv);
    });
    if (pnRead)
        *pnRead = dwCount;
    if (!ok && GetLastError() == ERROR_PIPE_NOT_CONNECTED)
        return Fail(ERROR_BROKEN_PIPE);
    return ok;
}

bool FlushPipe(HPIPE hPipe) {
    if (!Valid(hPipe))
        return Fail(ERROR_INVALID_HANDLE);
    // Returns once the other end has read everything.
    return ::FlushFileBuffers(hPipe->h) || Fail(::GetLastError());
}

bool DisconnectNamedPipe(HPIPE hPipe) {
    if (!Valid(hPipe))
        return Fail(ERROR_INVALID_HANDLE);
    return ::DisconnectNamedPipe(hPipe->h) || Fail(::GetLastError());
}

bool ClosePipe(HPIPE hPipe) {
    if (!Valid(hPipe))
        return Fail(ERROR_INVALID_HANDLE);
    const bool ok = ::CloseHandle(hPipe->h);
    if (!hPipe->csServedName.empty()) {
        std::lock_guard lock(g_servedLock);
        if (--g_served[hPipe->csServedName] <= 0)
            g_served.erase(hPipe->csServedName);
    }
    delete hPipe;
    return ok || Fail(::GetLastError());
}

bool SetPipeCancel(HPIPE hPipe, std::shared_ptr<PipeCancel> pCancel) {
    if (!Valid(hPipe))
        return Fail(ERROR_INVALID_HANDLE);
    hPipe->pCancel = std::move(pCancel);
    return true;
}

} // namespace platform
