// The client side of the service manager on POSIX: the service database in the
// system root, the detached start of a service program, and control codes sent
// over the control socket that the service's dispatcher serves.
#include "platform/service.h"

#include "internal/local_socket.h"
#include "internal/root_access.h"
#include "internal/service_db.h"
#include "internal/service_spawn.h"
#include "internal/service_starts.h"
#include "internal/unique_fd.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/root.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>
#include <poll.h>
#include <set>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace platform {

struct ServiceHandle {
    bool bManager;
    std::string csName; // the service's stored spelling; empty for the manager
};

using namespace posix;

namespace {

// How long the manager waits for a service process to take its start or a
// control (as the Win32 manager does), and for a dependency to come up.
constexpr int kAnswerTimeoutMs = 30000;
// Starting a dependency may start its own dependencies: a cycle ends here.
constexpr int kMaxDependencyDepth = 16;

std::mutex g_handlesLock;
std::set<ServiceHandle*>& LiveHandles() {
    static auto* handles = new std::set<ServiceHandle*>;
    return *handles;
}

ServiceHandle* NewHandle(bool bManager, const std::string& csName) {
    auto* handle = new ServiceHandle{bManager, csName};
    std::lock_guard lock(g_handlesLock);
    LiveHandles().insert(handle);
    return handle;
}

bool ValidHandle(SC_HANDLE handle, bool bManager) {
    std::lock_guard lock(g_handlesLock);
    return handle && LiveHandles().count(handle) && handle->bManager == bManager;
}

SC_HANDLE FailHandle(uint32_t dwError) {
    SetLastError(dwError);
    return nullptr;
}

bool ValidServiceName(const std::string& csName) {
    return !csName.empty() && csName.size() <= 256 &&
           csName.find_first_of("/\\") == std::string::npos;
}

void BindText(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.c_str(), -1, SQLITE_TRANSIENT);
}

bool Step(sqlite3_stmt* stmt) {
    return sqlite3_step(stmt) == SQLITE_DONE || Fail(ERROR_GEN_FAILURE);
}

bool ReadStatus(const std::string& csName, SERVICE_STATUS* pStatus, SServiceRow* pRow = nullptr) {
    SServiceRow row;
    if (!LoadServiceRow(csName, &row))
        return false;
    *pStatus = EffectiveStatus(row);
    if (pRow)
        *pRow = std::move(row);
    return true;
}

bool StartByName(const std::string& csName, const std::vector<std::string>& args, int depth);

// Brings a dependency up, as the manager does before it starts a service.
bool StartDependency(const std::string& csName, int depth) {
    SERVICE_STATUS status;
    if (!ReadStatus(csName, &status))
        return false;
    if (status.dwCurrentState == SERVICE_STOPPED && !StartByName(csName, {}, depth) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    while (ReadStatus(csName, &status) && status.dwCurrentState == SERVICE_START_PENDING &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return status.dwCurrentState == SERVICE_RUNNING;
}

// Marks the row as starting by this process (so that a second start sees it
// pending) unless the service runs already.
bool ClaimStart(const std::string& csName, const std::string& csToken,
                const std::vector<std::string>& args) {
    sqlite3* db = ServiceStore().Db();
    if (!db)
        return false;
    SqliteTransaction txn(db);
    if (!txn.Ok())
        return Fail(ERROR_GEN_FAILURE);
    SERVICE_STATUS status;
    SServiceRow row;
    if (!ReadStatus(csName, &status, &row))
        return false;
    if (row.deleted)
        return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    if (status.dwCurrentState != SERVICE_STOPPED)
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    StatementScope stmt(ServiceStore().Prepare(
        "UPDATE services SET pid=?, pid_start=?, starting=1, token=?, child_pid=0, state=2, "
        "controls=0, exit_code=0, specific_exit=0, check_point=0, wait_hint=2000, start_args=? "
        "WHERE name=?"));
    if (!stmt)
        return false;
    std::string packed = PackArgs(args);
    sqlite3_bind_int64(stmt.get(), 1, ::getpid());
    sqlite3_bind_int64(stmt.get(), 2, int64_t(ProcessStartTime(::getpid())));
    BindText(stmt.get(), 3, csToken);
    sqlite3_bind_blob(stmt.get(), 4, packed.data(), int(packed.size()), SQLITE_TRANSIENT);
    BindText(stmt.get(), 5, csName);
    return Step(stmt.get()) && (txn.Commit() || Fail(ERROR_GEN_FAILURE));
}

void RecordChild(const std::string& csName, const std::string& csToken, pid_t child) {
    StatementScope stmt(ServiceStore().Prepare(
        "UPDATE services SET child_pid=? WHERE name=? AND starting=1 AND token=?"));
    if (!stmt)
        return;
    sqlite3_bind_int64(stmt.get(), 1, child);
    BindText(stmt.get(), 2, csName);
    BindText(stmt.get(), 3, csToken);
    sqlite3_step(stmt.get());
}

bool StartByName(const std::string& csName, const std::vector<std::string>& args, int depth) {
    SServiceRow row;
    if (!LoadServiceRow(csName, &row))
        return false;
    if (row.deleted)
        return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    if (row.startType == SERVICE_DISABLED)
        return Fail(ERROR_SERVICE_DISABLED);
    if (depth > kMaxDependencyDepth)
        return Fail(ERROR_CIRCULAR_DEPENDENCY);
    for (const std::string& dep : row.dependencies) {
        if (!StartDependency(dep, depth + 1))
            return Fail(ERROR_SERVICE_DEPENDENCY_FAIL);
    }
    std::vector<std::string> argv;
    if (!ParseProgramCommandLine(row.binaryPath, &argv))
        return Fail(ERROR_FILE_NOT_FOUND);
    std::string token = NewStartToken();
    if (!ClaimStart(row.name, token, args))
        return false;
    SSpawnedService spawned;
    if (!SpawnService(row.name, token, argv, &spawned)) {
        uint32_t err = GetLastError();
        MarkServiceStopped(row.name, err, token.c_str());
        return Fail(err);
    }
    RecordChild(row.name, token, spawned.pid);
    if (WaitForStartAck(&spawned, kAnswerTimeoutMs))
        return true;
    // The program never connected to the manager (not a service program, or
    // it died on the way): the start failed.
    ::kill(spawned.pid, SIGKILL);
    MarkServiceStopped(row.name, ERROR_SERVICE_REQUEST_TIMEOUT, token.c_str());
    return Fail(ERROR_SERVICE_REQUEST_TIMEOUT);
}

// Hands a control code to the service's dispatcher and waits for its answer.
// Only the service's own process may answer: a socket held by anybody else
// is refused.
bool SendControl(pid_t pid, uint64_t uStartTime, uint32_t dwControl) {
    CUniqueFd connection;
    {
        const CUniqueFd runFd(OpenRootFolder("run"));
        if (!runFd.Valid())
            return false;
        connection.Reset(ConnectInFolder(runFd.Get(), ControlSocketName(pid, uStartTime),
                                         SOCK_SEQPACKET, false));
    }
    if (!connection.Valid())
        return Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    const int fd = connection.Get();
    SPeerCredentials peer;
    if (!ReadPeerCredentials(fd, &peer) || peer.pid != pid)
        return Fail(ERROR_ACCESS_DENIED);
    bool ok = false;
    uint32_t answer = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    if (::send(fd, &dwControl, sizeof dwControl, MSG_NOSIGNAL) == ssize_t(sizeof dwControl)) {
        pollfd pfd{fd, POLLIN, 0};
        int n;
        while ((n = ::poll(&pfd, 1, kAnswerTimeoutMs)) < 0 && errno == EINTR) {
        }
        if (n == 0)
            answer = ERROR_SERVICE_REQUEST_TIMEOUT;
        else if (n > 0 && ::recv(fd, &answer, sizeof answer, 0) == ssize_t(sizeof answer))
            ok = answer == ERROR_SUCCESS;
    }
    connection.Reset();
    return ok || Fail(answer);
}

// Orders the dependants of csName so that each comes before what it depends on.
void CollectDependants(const std::vector<SServiceRow>& rows, const std::string& csName,
                       std::set<std::string>* pVisited, std::vector<const SServiceRow*>* pOrder) {
    for (const SServiceRow& row : rows) {
        bool bDepends = std::any_of(
            row.dependencies.begin(), row.dependencies.end(),
            [&](const std::string& dep) { return strcasecmp(dep.c_str(), csName.c_str()) == 0; });
        std::string key = row.name;
        std::transform(key.begin(), key.end(), key.begin(), ::tolower);
        if (!bDepends || !pVisited->insert(key).second)
            continue;
        CollectDependants(rows, row.name, pVisited, pOrder);
        pOrder->push_back(&row);
    }
}

bool StateSelected(uint32_t dwServiceState, uint32_t dwCurrentState) {
    bool bActive = dwCurrentState != SERVICE_STOPPED;
    return (bActive && (dwServiceState & SERVICE_ACTIVE)) ||
           (!bActive && (dwServiceState & SERVICE_INACTIVE));
}

bool HandOut(const std::vector<ENUM_SERVICE_STATUS>& found, ENUM_SERVICE_STATUS* lpServices,
             uint32_t cbBufSize, uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned) {
    if (!pcbBytesNeeded || !lpServicesReturned)
        return Fail(ERROR_INVALID_PARAMETER);
    *lpServicesReturned = 0;
    *pcbBytesNeeded = 0;
    if (found.size() > cbBufSize || (!found.empty() && !lpServices)) {
        *pcbBytesNeeded = uint32_t(found.size());
        return Fail(ERROR_MORE_DATA);
    }
    std::copy(found.begin(), found.end(), lpServices);
    *lpServicesReturned = uint32_t(found.size());
    return true;
}

ENUM_SERVICE_STATUS EnumEntry(SServiceRow& row) {
    SERVICE_STATUS status = EffectiveStatus(row);
    return ENUM_SERVICE_STATUS{row.name, row.display, status};
}

} // namespace

SC_HANDLE OpenSCManager(const char* lpMachineName, const char* lpDatabaseName, uint32_t) {
    if (lpMachineName && *lpMachineName)
        return FailHandle(ERROR_INVALID_NAME); // no remote machines here
    if (lpDatabaseName && *lpDatabaseName && std::string(lpDatabaseName) != "ServicesActive")
        return FailHandle(ERROR_INVALID_NAME);
    if (!ServiceStore().Db())
        return nullptr;
    return NewHandle(true, "");
}

bool CloseServiceHandle(SC_HANDLE hSCObject) {
    std::lock_guard lock(g_handlesLock);
    if (!hSCObject || !LiveHandles().erase(hSCObject))
        return Fail(ERROR_INVALID_HANDLE);
    delete hSCObject;
    return true;
}

SC_HANDLE CreateService(SC_HANDLE hSCManager, const std::string& csServiceName,
                        const std::string& csDisplayName, uint32_t, uint32_t dwServiceType,
                        uint32_t dwStartType, uint32_t dwErrorControl,
                        const std::string& csBinaryPathName,
                        const std::vector<std::string>& dependencies,
                        const char* lpServiceStartName, const char*) {
    if (!ValidHandle(hSCManager, true))
        return FailHandle(ERROR_INVALID_HANDLE);
    if (!ValidServiceName(csServiceName))
        return FailHandle(ERROR_INVALID_NAME);
    if (dwServiceType != SERVICE_WIN32_OWN_PROCESS || dwStartType < SERVICE_AUTO_START ||
        dwStartType > SERVICE_DISABLED || dwErrorControl > 3 || csBinaryPathName.empty())
        return FailHandle(ERROR_INVALID_PARAMETER);
    for (const std::string& dep : dependencies) {
        if (!ValidServiceName(dep))
            return FailHandle(ERROR_INVALID_NAME);
        if (strcasecmp(dep.c_str(), csServiceName.c_str()) == 0)
            return FailHandle(ERROR_CIRCULAR_DEPENDENCY);
    }
    std::string display = csDisplayName.empty() ? csServiceName : csDisplayName;
    sqlite3* db = ServiceStore().Db();
    if (!db)
        return nullptr;
    SqliteTransaction txn(db);
    if (!txn.Ok())
        return FailHandle(ERROR_GEN_FAILURE);
    {
        StatementScope stmt(ServiceStore().Prepare(
            "SELECT name=?1, deleted FROM services WHERE name=?1 OR display=?2 OR name=?2 OR "
            "display=?1 ORDER BY 1 DESC"));
        if (!stmt)
            return nullptr;
        BindText(stmt.get(), 1, csServiceName);
        BindText(stmt.get(), 2, display);
        if (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            if (!sqlite3_column_int(stmt.get(), 0))
                return FailHandle(ERROR_DUPLICATE_SERVICE_NAME);
            return FailHandle(sqlite3_column_int(stmt.get(), 1) ? ERROR_SERVICE_MARKED_FOR_DELETE
                                                                : ERROR_SERVICE_EXISTS);
        }
    }
    {
        StatementScope stmt(ServiceStore().Prepare(
            "INSERT INTO services(name, display, type, start_type, error_control, binary_path, "
            "account) VALUES(?,?,?,?,?,?,?)"));
        if (!stmt)
            return nullptr;
        BindText(stmt.get(), 1, csServiceName);
        BindText(stmt.get(), 2, display);
        sqlite3_bind_int64(stmt.get(), 3, dwServiceType);
        sqlite3_bind_int64(stmt.get(), 4, dwStartType);
        sqlite3_bind_int64(stmt.get(), 5, dwErrorControl);
        BindText(stmt.get(), 6, csBinaryPathName);
        BindText(stmt.get(), 7, lpServiceStartName ? lpServiceStartName : "");
        if (!Step(stmt.get()))
            return nullptr;
    }
    for (size_t i = 0; i < dependencies.size(); ++i) {
        StatementScope stmt(
            ServiceStore().Prepare("INSERT INTO service_deps(name, ord, dep) VALUES(?,?,?)"));
        if (!stmt)
            return nullptr;
        BindText(stmt.get(), 1, csServiceName);
        sqlite3_bind_int64(stmt.get(), 2, int64_t(i));
        BindText(stmt.get(), 3, dependencies[i]);
        if (!Step(stmt.get()))
            return nullptr;
    }
    if (!txn.Commit())
        return FailHandle(ERROR_GEN_FAILURE);
    return NewHandle(false, csServiceName);
}

SC_HANDLE OpenService(SC_HANDLE hSCManager, const std::string& csServiceName, uint32_t) {
    if (!ValidHandle(hSCManager, true))
        return FailHandle(ERROR_INVALID_HANDLE);
    if (!ValidServiceName(csServiceName))
        return FailHandle(ERROR_INVALID_NAME);
    SServiceRow row;
    if (!LoadServiceRow(csServiceName, &row))
        return nullptr;
    return NewHandle(false, row.name);
}

bool DeleteService(SC_HANDLE hService) {
    if (!ValidHandle(hService, false))
        return Fail(ERROR_INVALID_HANDLE);
    sqlite3* db = ServiceStore().Db();
    if (!db)
        return false;
    SqliteTransaction txn(db);
    if (!txn.Ok())
        return Fail(ERROR_GEN_FAILURE);
    SERVICE_STATUS status;
    SServiceRow row;
    if (!ReadStatus(hService->csName, &status, &row))
        return false;
    if (row.deleted)
        return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    if (status.dwCurrentState == SERVICE_STOPPED) {
        if (!RemoveServiceRow(db, row.name))
            return false;
    } else {
        StatementScope stmt(ServiceStore().Prepare("UPDATE services SET deleted=1 WHERE name=?"));
        if (!stmt)
            return false;
        BindText(stmt.get(), 1, row.name);
        if (!Step(stmt.get()))
            return false;
    }
    return txn.Commit() || Fail(ERROR_GEN_FAILURE);
}

bool ChangeServiceConfig(SC_HANDLE hService, uint32_t dwServiceType, uint32_t dwStartType,
                         uint32_t dwErrorControl, const char* lpBinaryPathName,
                         const char* lpDisplayName) {
    if (!ValidHandle(hService, false))
        return Fail(ERROR_INVALID_HANDLE);
    SServiceRow row;
    if (!LoadServiceRow(hService->csName, &row))
        return false;
    if (row.deleted)
        return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    if ((dwServiceType != SERVICE_NO_CHANGE && dwServiceType != SERVICE_WIN32_OWN_PROCESS) ||
        (dwStartType != SERVICE_NO_CHANGE &&
         (dwStartType < SERVICE_AUTO_START || dwStartType > SERVICE_DISABLED)) ||
        (dwErrorControl != SERVICE_NO_CHANGE && dwErrorControl > 3) ||
        (lpBinaryPathName && !*lpBinaryPathName))
        return Fail(ERROR_INVALID_PARAMETER);
    StatementScope stmt(ServiceStore().Prepare(
        "UPDATE services SET start_type=?, error_control=?, binary_path=?, display=? "
        "WHERE name=?"));
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt.get(), 1,
                       dwStartType != SERVICE_NO_CHANGE ? dwStartType : row.startType);
    sqlite3_bind_int64(stmt.get(), 2,
                       dwErrorControl != SERVICE_NO_CHANGE ? dwErrorControl : row.errorControl);
    BindText(stmt.get(), 3, lpBinaryPathName ? lpBinaryPathName : row.binaryPath);
    BindText(stmt.get(), 4, lpDisplayName && *lpDisplayName ? lpDisplayName : row.display);
    BindText(stmt.get(), 5, row.name);
    return Step(stmt.get());
}

bool QueryServiceConfig(SC_HANDLE hService, QUERY_SERVICE_CONFIG* pConfig) {
    if (!ValidHandle(hService, false))
        return Fail(ERROR_INVALID_HANDLE);
    if (!pConfig)
        return Fail(ERROR_INVALID_PARAMETER);
    SServiceRow row;
    if (!LoadServiceRow(hService->csName, &row))
        return false;
    pConfig->dwServiceType = row.type;
    pConfig->dwStartType = row.startType;
    pConfig->dwErrorControl = row.errorControl;
    pConfig->lpBinaryPathName = row.binaryPath;
    pConfig->dependencies = row.dependencies;
    pConfig->lpServiceStartName = row.account.empty() ? "LocalSystem" : row.account;
    pConfig->lpDisplayName = row.display;
    return true;
}

bool StartService(SC_HANDLE hService, uint32_t dwNumServiceArgs, const char** lpServiceArgVectors) {
    if (!ValidHandle(hService, false))
        return Fail(ERROR_INVALID_HANDLE);
    std::vector<std::string> args;
    for (uint32_t i = 0; i < dwNumServiceArgs; ++i) {
        if (!lpServiceArgVectors || !lpServiceArgVectors[i])
            return Fail(ERROR_INVALID_PARAMETER);
        args.emplace_back(lpServiceArgVectors[i]);
    }
    // An administrator who is not the owner has the start manager start it,
    // so that the service runs as the owner all the same.
    if (!IsRootOwner(::geteuid()))
        return AskManagerToStart(hService->csName, args);
    return StartByName(hService->csName, args, 0);
}

namespace posix {

bool StartServiceByName(const std::string& csName, const std::vector<std::string>& args) {
    return StartByName(csName, args, 0);
}

} // namespace posix

bool ControlService(SC_HANDLE hService, uint32_t dwControl, SERVICE_STATUS* lpServiceStatus) {
    if (!ValidHandle(hService, false))
        return Fail(ERROR_INVALID_HANDLE);
    if (!lpServiceStatus)
        return Fail(ERROR_INVALID_PARAMETER);
    SServiceRow row;
    SERVICE_STATUS status;
    if (!ReadStatus(hService->csName, &status, &row))
        return false;
    *lpServiceStatus = status;
    if (!ControlAllowed(dwControl, status))
        return false;
    if (row.starting)
        return Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL); // no dispatcher to talk to yet
    if (dwControl == SERVICE_CONTROL_STOP) {
        uint32_t needed = 0, returned = 0;
        if (!EnumDependentServices(hService, SERVICE_ACTIVE, nullptr, 0, &needed, &returned))
            return Fail(GetLastError() == ERROR_MORE_DATA ? ERROR_DEPENDENT_SERVICES_RUNNING
                                                          : GetLastError());
    }
    bool ok = SendControl(row.pid, row.pidStart, dwControl);
    uint32_t err = GetLastError();
    if (!ReadStatus(hService->csName, lpServiceStatus) && ok &&
        GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
        // Marked for delete, it stopped and went before the status was read.
        lpServiceStatus->dwCurrentState = SERVICE_STOPPED;
        lpServiceStatus->dwControlsAccepted = 0;
    }
    return ok || Fail(err);
}

bool QueryServiceStatus(SC_HANDLE hService, SERVICE_STATUS* lpServiceStatus) {
    if (!ValidHandle(hService, false))
        return Fail(ERROR_INVALID_HANDLE);
    if (!lpServiceStatus)
        return Fail(ERROR_INVALID_PARAMETER);
    return ReadStatus(hService->csName, lpServiceStatus);
}

bool EnumDependentServices(SC_HANDLE hService, uint32_t dwServiceState,
                           ENUM_SERVICE_STATUS* lpServices, uint32_t cbBufSize,
                           uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned) {
    if (!ValidHandle(hService, false))
        return Fail(ERROR_INVALID_HANDLE);
    if (dwServiceState == 0 || dwServiceState > SERVICE_STATE_ALL)
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<SServiceRow> rows;
    if (!LoadAllServiceRows(&rows))
        return false;
    std::set<std::string> visited;
    std::vector<const SServiceRow*> order;
    CollectDependants(rows, hService->csName, &visited, &order);
    std::vector<ENUM_SERVICE_STATUS> found;
    for (const SServiceRow* dependant : order) {
        SServiceRow row = *dependant;
        ENUM_SERVICE_STATUS entry = EnumEntry(row);
        if (StateSelected(dwServiceState, entry.ServiceStatus.dwCurrentState))
            found.push_back(std::move(entry));
    }
    return HandOut(found, lpServices, cbBufSize, pcbBytesNeeded, lpServicesReturned);
}

bool EnumServicesStatus(SC_HANDLE hSCManager, uint32_t, uint32_t dwServiceState,
                        ENUM_SERVICE_STATUS* lpServices, uint32_t cbBufSize,
                        uint32_t* pcbBytesNeeded, uint32_t* lpServicesReturned) {
    if (!ValidHandle(hSCManager, true))
        return Fail(ERROR_INVALID_HANDLE);
    if (dwServiceState == 0 || dwServiceState > SERVICE_STATE_ALL)
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<SServiceRow> rows;
    if (!LoadAllServiceRows(&rows))
        return false;
    std::vector<ENUM_SERVICE_STATUS> found;
    for (SServiceRow& row : rows) {
        ENUM_SERVICE_STATUS entry = EnumEntry(row);
        if (StateSelected(dwServiceState, entry.ServiceStatus.dwCurrentState))
            found.push_back(std::move(entry));
    }
    return HandOut(found, lpServices, cbBufSize, pcbBytesNeeded, lpServicesReturned);
}

bool IsServiceRunning(const std::string& csServiceName) {
    // One row's state and pid, without the rest of the row.
    StatementScope stmt(
        ServiceStore().Prepare("SELECT state, pid, pid_start FROM services WHERE name=?"));
    if (!stmt)
        return false;
    BindText(stmt.get(), 1, csServiceName);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    if (sqlite3_column_int64(stmt.get(), 0) != SERVICE_RUNNING)
        return false;
    return ProcessAlive(pid_t(sqlite3_column_int64(stmt.get(), 1)),
                        uint64_t(sqlite3_column_int64(stmt.get(), 2)));
}

int TerminateAllServices() {
    if (!ServiceStoreExists())
        return 0;
    std::vector<SServiceRow> rows;
    if (!LoadAllServiceRows(&rows))
        return 0;
    int ended = 0;
    for (SServiceRow& row : rows) {
        if (row.status.dwCurrentState == SERVICE_STOPPED)
            continue;
        pid_t target = row.starting ? row.childPid : row.pid;
        uint64_t start = row.starting ? 0 : row.pidStart;
        if (target > 0 && ProcessAlive(target, start) && ::kill(target, SIGKILL) == 0) {
            ++ended;
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (ProcessAlive(target, start) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!row.starting)
            RemoveControlSocket(row.pid, row.pidStart);
        MarkServiceStopped(row.name, ERROR_PROCESS_ABORTED, nullptr);
    }
    return ended;
}

} // namespace platform
