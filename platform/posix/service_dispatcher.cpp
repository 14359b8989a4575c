// The service side of the service manager on POSIX: the dispatcher that a
// service program runs in its first thread, its control socket, the control
// handler and the status reports written into the service database.
#include "platform/service.h"

#include "internal/local_socket.h"
#include "internal/root_access.h"
#include "internal/service_db.h"
#include "internal/unique_fd.h"
#include "platform/error.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace platform {

struct ServiceStatusHandle {
    int iUnused;
};

using namespace posix;

namespace {

// How long the dispatcher waits for a connected client to send its code.
constexpr int kRequestTimeoutMs = 5000;

struct SDispatcher {
    ServiceStatusHandle handle{};
    std::string csName;
    std::atomic<LPHANDLER_FUNCTION> handler{nullptr};
    std::atomic<bool> bStopped{false};
    std::mutex statusLock;
    SERVICE_STATUS lastStatus{}; // as last reported, for the check of a control
    int wake[2] = {-1, -1};
    std::vector<std::string> args;
    std::vector<char*> argv;
};

// One service per process; the record lives as long as the process, since the
// service's own threads may still report after the dispatcher has returned.
std::atomic<SDispatcher*> g_dispatcher{nullptr};

bool ClaimStart(const std::string& csName, const std::string& csToken) {
    StatementScope stmt(
        ServiceStore().Prepare("UPDATE services SET pid=?, pid_start=?, starting=0, token='' "
                               "WHERE name=? AND starting=1 AND token=?"));
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt.get(), 1, ::getpid());
    sqlite3_bind_int64(stmt.get(), 2, int64_t(ProcessStartTime(::getpid())));
    sqlite3_bind_text(stmt.get(), 3, csName.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt.get(), 4, csToken.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(stmt.get()) == SQLITE_DONE && sqlite3_changes(ServiceStore().Db()) == 1;
}

// The control socket in run/: reachable by the administrators only (the
// folder's rights), and each client's credentials are checked again.
int ListenOn(const std::string& csName) {
    const CUniqueFd runFd(OpenRootFolder("run"));
    return runFd.Valid() ? ListenInFolder(runFd.Get(), csName, SOCK_SEQPACKET, RootMode(0660), 16)
                         : -1;
}

// Reads one control code from a client, runs the handler and answers.
void ServeControl(SDispatcher& dispatcher, int client) {
    pollfd pfd{client, POLLIN, 0};
    uint32_t dwControl = 0;
    // MSG_TRUNC gives the message's real length: anything but one code is refused.
    if (::poll(&pfd, 1, kRequestTimeoutMs) <= 0 ||
        ::recv(client, &dwControl, sizeof dwControl, MSG_TRUNC) != ssize_t(sizeof dwControl))
        return; // a client that says nothing useful gets no answer
    SERVICE_STATUS status;
    {
        std::lock_guard lock(dispatcher.statusLock);
        status = dispatcher.lastStatus;
    }
    uint32_t answer = ERROR_SUCCESS;
    LPHANDLER_FUNCTION handler = dispatcher.handler.load();
    if (!PeerAllowed(client, PeerRule::Administrator))
        answer = ERROR_ACCESS_DENIED;
    else if (!handler)
        answer = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    else if (!ControlAllowed(dwControl, status))
        answer = GetLastError(); // the same rules as the manager's, for any client
    else
        handler(dwControl);
    ::send(client, &answer, sizeof answer, MSG_NOSIGNAL);
}

void ControlLoop(SDispatcher& dispatcher, int listener) {
    while (!dispatcher.bStopped.load()) {
        pollfd pfds[2] = {{listener, POLLIN, 0}, {dispatcher.wake[0], POLLIN, 0}};
        int n = ::poll(pfds, 2, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (pfds[0].revents & (POLLERR | POLLNVAL))
            break;
        if (pfds[0].revents & POLLIN) {
            const CUniqueFd client(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
            if (client.Valid())
                ServeControl(dispatcher, client.Get());
        }
    }
}

} // namespace

bool StartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRY* lpServiceStartTable) {
    if (!lpServiceStartTable)
        return Fail(ERROR_INVALID_PARAMETER);
    const char* pszName = std::getenv(kServiceNameEnv);
    const char* pszToken = std::getenv(kServiceTokenEnv);
    if (!pszName || !pszToken)
        return Fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    if (g_dispatcher.load())
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    std::string csName = pszName, csToken = pszToken;
    // Only a start under way with this token may be claimed: a program run by
    // hand with these variables set is not a started service.
    if (!ClaimStart(csName, csToken))
        return Fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    ::unsetenv(kServiceNameEnv);
    ::unsetenv(kServiceTokenEnv);
    ::fcntl(kServiceAckFd, F_SETFD, FD_CLOEXEC);

    auto fail = [&](uint32_t dwError) {
        MarkServiceStopped(csName, dwError, nullptr);
        ::close(kServiceAckFd);
        return Fail(dwError);
    };
    const SERVICE_TABLE_ENTRY* entry = lpServiceStartTable;
    while (entry->lpServiceName && strcasecmp(entry->lpServiceName, csName.c_str()) != 0)
        ++entry;
    if (!entry->lpServiceName || !entry->lpServiceProc)
        return fail(ERROR_SERVICE_NOT_IN_EXE);

    auto* dispatcher = new SDispatcher;
    dispatcher->csName = csName;
    SServiceRow row;
    if (LoadServiceRow(csName, &row)) {
        dispatcher->csName = row.name;
        dispatcher->args = row.startArgs;
    }
    dispatcher->args.insert(dispatcher->args.begin(), dispatcher->csName);
    for (std::string& arg : dispatcher->args)
        dispatcher->argv.push_back(arg.data());
    dispatcher->argv.push_back(nullptr);
    if (::pipe2(dispatcher->wake, O_CLOEXEC) != 0)
        return fail(ErrorFromErrno(errno));
    const std::string csSocket = ControlSocketName(::getpid(), ProcessStartTime(::getpid()));
    int listener = ListenOn(csSocket);
    if (listener < 0)
        return fail(GetLastError());
    g_dispatcher.store(dispatcher);

    LPSERVICE_MAIN_FUNCTION proc = entry->lpServiceProc;
    try {
        std::thread([dispatcher, proc] {
            proc(uint32_t(dispatcher->args.size()), dispatcher->argv.data());
        }).detach();
    } catch (const std::system_error&) {
        ::close(listener);
        RemoveControlSocket(::getpid(), ProcessStartTime(::getpid()));
        return fail(ERROR_SERVICE_NO_THREAD);
    }
    char ack = 1;
    (void)!::write(kServiceAckFd, &ack, 1);
    ::close(kServiceAckFd);

    ControlLoop(*dispatcher, listener);
    ::close(listener);
    RemoveControlSocket(::getpid(), ProcessStartTime(::getpid()));
    return true;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandler(const char* lpServiceName,
                                                 LPHANDLER_FUNCTION lpHandlerProc) {
    SDispatcher* dispatcher = g_dispatcher.load();
    if (!dispatcher || !lpServiceName ||
        strcasecmp(lpServiceName, dispatcher->csName.c_str()) != 0) {
        SetLastError(ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    if (!lpHandlerProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    dispatcher->handler.store(lpHandlerProc);
    return &dispatcher->handle;
}

bool SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, const SERVICE_STATUS* lpServiceStatus) {
    SDispatcher* dispatcher = g_dispatcher.load();
    if (!dispatcher || hServiceStatus != &dispatcher->handle)
        return Fail(ERROR_INVALID_HANDLE);
    if (!lpServiceStatus)
        return Fail(ERROR_INVALID_PARAMETER);
    const SERVICE_STATUS& status = *lpServiceStatus;
    if (status.dwCurrentState < SERVICE_STOPPED || status.dwCurrentState > SERVICE_PAUSED)
        return Fail(ERROR_INVALID_DATA);
    sqlite3* db = ServiceStore().Db();
    if (!db)
        return false;
    SqliteTransaction txn(db);
    if (!txn.Ok())
        return Fail(ERROR_GEN_FAILURE);
    {
        // Only while the row is still this process's: an instance that lingers
        // after reporting stopped cannot overwrite its successor.
        StatementScope stmt(ServiceStore().Prepare(
            "UPDATE services SET state=?, controls=?, exit_code=?, specific_exit=?, "
            "check_point=?, wait_hint=? WHERE name=? AND pid=? AND starting=0"));
        if (!stmt)
            return false;
        sqlite3_bind_int64(stmt.get(), 1, status.dwCurrentState);
        sqlite3_bind_int64(stmt.get(), 2, status.dwControlsAccepted);
        sqlite3_bind_int64(stmt.get(), 3, status.dwWin32ExitCode);
        sqlite3_bind_int64(stmt.get(), 4, status.dwServiceSpecificExitCode);
        sqlite3_bind_int64(stmt.get(), 5, status.dwCheckPoint);
        sqlite3_bind_int64(stmt.get(), 6, status.dwWaitHint);
        sqlite3_bind_text(stmt.get(), 7, dispatcher->csName.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(stmt.get(), 8, ::getpid());
        if (sqlite3_step(stmt.get()) != SQLITE_DONE)
            return Fail(ERROR_GEN_FAILURE);
        if (sqlite3_changes(db) == 0)
            return Fail(ERROR_INVALID_HANDLE);
    }
    if (status.dwCurrentState == SERVICE_STOPPED) {
        StatementScope stmt(ServiceStore().Prepare("SELECT deleted FROM services WHERE name=?"));
        if (!stmt)
            return false;
        sqlite3_bind_text(stmt.get(), 1, dispatcher->csName.c_str(), -1, SQLITE_TRANSIENT);
        bool bDeleted = sqlite3_step(stmt.get()) == SQLITE_ROW && sqlite3_column_int(stmt.get(), 0);
        sqlite3_reset(stmt.get());
        if (bDeleted && !RemoveServiceRow(db, dispatcher->csName))
            return false;
    }
    if (!txn.Commit())
        return Fail(ERROR_GEN_FAILURE);
    {
        std::lock_guard lock(dispatcher->statusLock);
        dispatcher->lastStatus = status;
    }
    if (status.dwCurrentState == SERVICE_STOPPED && !dispatcher->bStopped.exchange(true)) {
        char byte = 1;
        (void)!::write(dispatcher->wake[1], &byte, 1);
    }
    return true;
}

} // namespace platform
