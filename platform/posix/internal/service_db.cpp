// The service database and the liveness of service processes.
#include "service_db.h"

#include "platform/error.h"
#include "platform/root.h"
#include "root_access.h"
#include "unique_fd.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

namespace {

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS services(
    name TEXT PRIMARY KEY COLLATE NOCASE,
    display TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL, start_type INTEGER NOT NULL, error_control INTEGER NOT NULL,
    binary_path TEXT NOT NULL, account TEXT NOT NULL DEFAULT '',
    deleted INTEGER NOT NULL DEFAULT 0,
    pid INTEGER NOT NULL DEFAULT 0, pid_start INTEGER NOT NULL DEFAULT 0,
    starting INTEGER NOT NULL DEFAULT 0, token TEXT NOT NULL DEFAULT '',
    child_pid INTEGER NOT NULL DEFAULT 0,
    state INTEGER NOT NULL DEFAULT 1, controls INTEGER NOT NULL DEFAULT 0,
    exit_code INTEGER NOT NULL DEFAULT 0, specific_exit INTEGER NOT NULL DEFAULT 0,
    check_point INTEGER NOT NULL DEFAULT 0, wait_hint INTEGER NOT NULL DEFAULT 0,
    start_args BLOB);
CREATE TABLE IF NOT EXISTS service_deps(
    name TEXT NOT NULL COLLATE NOCASE, ord INTEGER NOT NULL, dep TEXT NOT NULL COLLATE NOCASE,
    PRIMARY KEY(name, ord));
)";

const char* const kSelect =
    "SELECT name, display, type, start_type, error_control, binary_path, account, deleted, pid, "
    "pid_start, starting, token, child_pid, state, controls, exit_code, specific_exit, "
    "check_point, wait_hint FROM services";

std::string ColumnText(sqlite3_stmt* stmt, int column) {
    const unsigned char* text = sqlite3_column_text(stmt, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

void ReadRow(sqlite3_stmt* stmt, SServiceRow* pRow) {
    pRow->name = ColumnText(stmt, 0);
    pRow->display = ColumnText(stmt, 1);
    pRow->type = uint32_t(sqlite3_column_int64(stmt, 2));
    pRow->startType = uint32_t(sqlite3_column_int64(stmt, 3));
    pRow->errorControl = uint32_t(sqlite3_column_int64(stmt, 4));
    pRow->binaryPath = ColumnText(stmt, 5);
    pRow->account = ColumnText(stmt, 6);
    pRow->deleted = sqlite3_column_int(stmt, 7) != 0;
    pRow->pid = pid_t(sqlite3_column_int64(stmt, 8));
    pRow->pidStart = uint64_t(sqlite3_column_int64(stmt, 9));
    pRow->starting = sqlite3_column_int(stmt, 10) != 0;
    pRow->token = ColumnText(stmt, 11);
    pRow->childPid = pid_t(sqlite3_column_int64(stmt, 12));
    SERVICE_STATUS& status = pRow->status;
    status.dwServiceType = pRow->type;
    status.dwCurrentState = uint32_t(sqlite3_column_int64(stmt, 13));
    status.dwControlsAccepted = uint32_t(sqlite3_column_int64(stmt, 14));
    status.dwWin32ExitCode = uint32_t(sqlite3_column_int64(stmt, 15));
    status.dwServiceSpecificExitCode = uint32_t(sqlite3_column_int64(stmt, 16));
    status.dwCheckPoint = uint32_t(sqlite3_column_int64(stmt, 17));
    status.dwWaitHint = uint32_t(sqlite3_column_int64(stmt, 18));
}

bool LoadDependencies(const std::string& csName, std::vector<std::string>* pDeps) {
    StatementScope stmt(
        ServiceStore().Prepare("SELECT dep FROM service_deps WHERE name=? ORDER BY ord"));
    if (!stmt)
        return false;
    sqlite3_bind_text(stmt.get(), 1, csName.c_str(), -1, SQLITE_TRANSIENT);
    pDeps->clear();
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        pDeps->push_back(ColumnText(stmt.get(), 0));
    return true;
}

} // namespace

SqliteStore& ServiceStore() {
    static SqliteStore store("services.db", kSchema);
    return store;
}

bool ServiceStoreExists() {
    struct stat st;
    return ::stat(RootPath("services.db").c_str(), &st) == 0;
}

bool LoadServiceRow(const std::string& csName, SServiceRow* pRow) {
    static const std::string sql = std::string(kSelect) + " WHERE name=?";
    {
        StatementScope stmt(ServiceStore().Prepare(sql.c_str()));
        if (!stmt)
            return false;
        sqlite3_bind_text(stmt.get(), 1, csName.c_str(), -1, SQLITE_TRANSIENT);
        int rc = sqlite3_step(stmt.get());
        if (rc != SQLITE_ROW)
            return Fail(rc == SQLITE_DONE ? ERROR_SERVICE_DOES_NOT_EXIST : ERROR_GEN_FAILURE);
        ReadRow(stmt.get(), pRow);
    }
    {
        StatementScope stmt(ServiceStore().Prepare("SELECT start_args FROM services WHERE name=?"));
        if (!stmt)
            return false;
        sqlite3_bind_text(stmt.get(), 1, csName.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(stmt.get()) == SQLITE_ROW)
            pRow->startArgs =
                UnpackArgs(sqlite3_column_blob(stmt.get(), 0), sqlite3_column_bytes(stmt.get(), 0));
    }
    return LoadDependencies(pRow->name, &pRow->dependencies);
}

bool LoadAllServiceRows(std::vector<SServiceRow>* pRows) {
    static const std::string sql = std::string(kSelect) + " ORDER BY name";
    pRows->clear();
    {
        StatementScope stmt(ServiceStore().Prepare(sql.c_str()));
        if (!stmt)
            return false;
        while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            pRows->emplace_back();
            ReadRow(stmt.get(), &pRows->back());
        }
    }
    for (SServiceRow& row : *pRows) {
        if (!LoadDependencies(row.name, &row.dependencies))
            return false;
    }
    return true;
}

uint64_t ProcessStartTime(pid_t pid) {
    if (pid <= 0)
        return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    char buffer[1024];
    ssize_t n;
    {
        const CUniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
        if (!fd.Valid())
            return 0;
        n = ::read(fd.Get(), buffer, sizeof buffer - 1);
    }
    if (n <= 0)
        return 0;
    buffer[n] = '\0';
    // The program name in parentheses may hold blanks and parentheses itself:
    // the fields that follow start after the last ')'.
    const char* p = std::strrchr(buffer, ')');
    if (!p || p[1] != ' ')
        return 0;
    p += 2;
    char state = *p;
    if (state == 'Z' || state == 'X' || state == 'x')
        return 0;
    // The state is field 3; the start time is field 22.
    for (int field = 3; field < 22; ++field) {
        p = std::strchr(p, ' ');
        if (!p)
            return 0;
        ++p;
    }
    uint64_t start = std::strtoull(p, nullptr, 10);
    return start ? start : 1;
}

bool ProcessAlive(pid_t pid, uint64_t uStartTime) {
    uint64_t start = ProcessStartTime(pid);
    return start != 0 && (uStartTime == 0 || start == uStartTime);
}

std::string ControlSocketName(pid_t pid, uint64_t uStartTime) {
    return "svc-" + std::to_string(int(pid)) + "-" + std::to_string(uStartTime) + ".sock";
}

void RemoveControlSocket(pid_t pid, uint64_t uStartTime) {
    const CUniqueFd runFd(OpenRootFolder("run"));
    if (runFd.Valid())
        ::unlinkat(runFd.Get(), ControlSocketName(pid, uStartTime).c_str(), 0);
}

bool RemoveServiceRow(sqlite3* db, const std::string& csName) {
    for (const char* sql :
         {"DELETE FROM services WHERE name=?", "DELETE FROM service_deps WHERE name=?"}) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            return Fail(ERROR_GEN_FAILURE);
        sqlite3_bind_text(stmt, 1, csName.c_str(), -1, SQLITE_TRANSIENT);
        int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            return Fail(ERROR_GEN_FAILURE);
    }
    return true;
}

void MarkServiceStopped(const std::string& csName, uint32_t dwExitCode, const char* pszToken) {
    sqlite3* db = ServiceStore().Db();
    if (!db)
        return;
    SqliteTransaction txn(db);
    if (!txn.Ok())
        return;
    const char* sql =
        pszToken ? "UPDATE services SET state=1, controls=0, exit_code=?, check_point=0, "
                   "wait_hint=0, starting=0, token='' WHERE name=? AND starting=1 AND token=?"
                 : "UPDATE services SET state=1, controls=0, exit_code=?, check_point=0, "
                   "wait_hint=0, starting=0, token='' WHERE name=?";
    StatementScope stmt(ServiceStore().Prepare(sql));
    if (!stmt)
        return;
    sqlite3_bind_int64(stmt.get(), 1, dwExitCode);
    sqlite3_bind_text(stmt.get(), 2, csName.c_str(), -1, SQLITE_TRANSIENT);
    if (pszToken)
        sqlite3_bind_text(stmt.get(), 3, pszToken, -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE || sqlite3_changes(db) == 0)
        return;
    StatementScope del(ServiceStore().Prepare("SELECT deleted FROM services WHERE name=?"));
    if (!del)
        return;
    sqlite3_bind_text(del.get(), 1, csName.c_str(), -1, SQLITE_TRANSIENT);
    bool bDeleted = sqlite3_step(del.get()) == SQLITE_ROW && sqlite3_column_int(del.get(), 0);
    sqlite3_reset(del.get());
    if (bDeleted)
        RemoveServiceRow(db, csName);
    txn.Commit();
}

SERVICE_STATUS EffectiveStatus(SServiceRow& row) {
    SERVICE_STATUS& status = row.status;
    if (status.dwCurrentState == SERVICE_STOPPED || ProcessAlive(row.pid, row.pidStart))
        return status;
    // The process has gone without saying so: stopped, as the manager sees it.
    sqlite3* db = ServiceStore().Db();
    if (db) {
        SqliteTransaction txn(db);
        StatementScope stmt(ServiceStore().Prepare(
            "UPDATE services SET state=1, controls=0, check_point=0, wait_hint=0, starting=0, "
            "token='', exit_code=CASE WHEN exit_code=0 THEN 1067 ELSE exit_code END "
            "WHERE name=? AND pid=? AND pid_start=? AND state<>1"));
        if (txn.Ok() && stmt) {
            sqlite3_bind_text(stmt.get(), 1, row.name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(stmt.get(), 2, row.pid);
            sqlite3_bind_int64(stmt.get(), 3, int64_t(row.pidStart));
            if (sqlite3_step(stmt.get()) == SQLITE_DONE && sqlite3_changes(db) > 0 && row.deleted)
                RemoveServiceRow(db, row.name);
            sqlite3_reset(stmt.get());
            txn.Commit();
        }
    }
    if (!row.starting)
        RemoveControlSocket(row.pid, row.pidStart);
    status.dwCurrentState = SERVICE_STOPPED;
    status.dwControlsAccepted = 0;
    status.dwCheckPoint = 0;
    status.dwWaitHint = 0;
    if (status.dwWin32ExitCode == ERROR_SUCCESS)
        status.dwWin32ExitCode = ERROR_PROCESS_ABORTED;
    row.starting = false;
    return status;
}

bool ControlAllowed(uint32_t dwControl, const SERVICE_STATUS& status) {
    bool bDefined =
        (dwControl >= SERVICE_CONTROL_STOP && dwControl <= SERVICE_CONTROL_INTERROGATE) ||
        (dwControl >= SERVICE_CONTROL_PARAMCHANGE && dwControl <= SERVICE_CONTROL_NETBINDENABLE) ||
        (dwControl >= 128 && dwControl <= 255);
    if (!bDefined)
        return Fail(ERROR_INVALID_PARAMETER);
    if (status.dwCurrentState == SERVICE_STOPPED)
        return Fail(ERROR_SERVICE_NOT_ACTIVE);
    if (dwControl == SERVICE_CONTROL_INTERROGATE)
        return true;
    if (status.dwCurrentState == SERVICE_START_PENDING ||
        status.dwCurrentState == SERVICE_STOP_PENDING)
        return Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    uint32_t needed = 0;
    switch (dwControl) {
    case SERVICE_CONTROL_STOP:
        needed = SERVICE_ACCEPT_STOP;
        break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        needed = SERVICE_ACCEPT_PAUSE_CONTINUE;
        break;
    case SERVICE_CONTROL_PARAMCHANGE:
        needed = SERVICE_ACCEPT_PARAMCHANGE;
        break;
    default:
        needed = dwControl < 128 ? uint32_t(SERVICE_ACCEPT_NETBINDCHANGE) : 0u;
        break;
    }
    return (status.dwControlsAccepted & needed) == needed || Fail(ERROR_INVALID_SERVICE_CONTROL);
}

std::string PackArgs(const std::vector<std::string>& args) {
    std::string packed;
    for (const std::string& arg : args) {
        packed += arg;
        packed += '\0';
    }
    return packed;
}

std::vector<std::string> UnpackArgs(const void* pData, int cbData) {
    std::vector<std::string> args;
    if (!pData || cbData <= 0)
        return args;
    const char* p = static_cast<const char*>(pData);
    const char* end = p + cbData;
    while (p < end) {
        const char* nul = static_cast<const char*>(std::memchr(p, '\0', size_t(end - p)));
        if (!nul)
            nul = end;
        args.emplace_back(p, nul);
        p = nul + 1;
    }
    return args;
}

} // namespace platform::posix
