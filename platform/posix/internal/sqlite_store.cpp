// Per-thread SQLite connections to the stores of the system root.
#include "sqlite_store.h"

#include "platform/error.h"
#include "platform/root.h"
#include "root_access.h"
#include "unique_fd.h"

#include <atomic>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

namespace {

struct Connection {
    sqlite3* db = nullptr;
    uint64_t uSerial = 0; // this process's number of the connection, from 1
    std::map<std::string, sqlite3_stmt*> statements;
    ~Connection() {
        for (auto& [sql, stmt] : statements)
            sqlite3_finalize(stmt);
        if (db)
            sqlite3_close(db);
    }
};

// Keyed by the store's full path, so a process whose VEX_ROOT changes (tests)
// gets a connection to the right file.
thread_local std::map<std::string, std::unique_ptr<Connection>> t_connections;

// A number that changes with the schema's text, kept as the store's
// user_version: the schema runs when the store is new or its text changed.
int SchemaVersion(const char* pszSchema) {
    uint32_t uHash = 2166136261u;
    for (const char* p = pszSchema; *p; ++p)
        uHash = (uHash ^ uint8_t(*p)) * 16777619u;
    return int(uHash & 0x7FFFFFFF) | 1;
}

int UserVersion(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    int iVersion = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        iVersion = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return iVersion;
}

// Makes the tables once, by whoever may write the store; a reader without
// write access reads what is there.
bool MakeSchema(sqlite3* db, const char* pszSchema) {
    const int iVersion = SchemaVersion(pszSchema);
    if (UserVersion(db) == iVersion || sqlite3_db_readonly(db, "main") == 1)
        return true;
    SqliteTransaction tx(db);
    if (!tx.Ok())
        return false;
    if (UserVersion(db) == iVersion) // made meanwhile by another process
        return true;
    const std::string csVersion = "PRAGMA user_version=" + std::to_string(iVersion);
    return sqlite3_exec(db, pszSchema, nullptr, nullptr, nullptr) == SQLITE_OK &&
           sqlite3_exec(db, csVersion.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
           tx.Commit();
}

} // namespace

SqliteStore::SqliteStore(const char* csFile, const char* csSchema)
    : m_pszFile(csFile), m_pszSchema(csSchema) {}

static Connection* ConnectionFor(const char* pszFile, const char* pszSchema) {
    std::string path = RootPath(pszFile);
    auto it = t_connections.find(path);
    if (it != t_connections.end())
        return it->second.get();
    const CUniqueFd root(EnsureSystemRoot() ? OpenRootFolder("") : -1);
    if (!root.Valid())
        return nullptr;
    const int rootFd = root.Get();
    // A new store's file is made here, with the root's rights and never
    // through a link, rather than by SQLite under the umask. An existing one
    // is only looked at: closing a descriptor of a file that SQLite has open
    // would drop the process's locks on it.
    struct stat st;
    bool bReady = ::fstatat(rootFd, pszFile, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (bReady && !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!bReady)
        bReady = CUniqueFd(OpenFileIn(rootFd, pszFile, O_RDONLY | O_CREAT, RootMode(0660))).Valid();
    if (!bReady)
        return nullptr;
    static std::atomic<uint64_t> s_uConnections{0};
    auto conn = std::make_unique<Connection>();
    conn->uSerial = ++s_uConnections;
    // Read and write where the rights allow it, else read only.
    if (sqlite3_open_v2(path.c_str(), &conn->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    sqlite3_busy_timeout(conn->db, 30000);
    // WAL lets readers go on while one process writes.
    sqlite3_exec(conn->db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                 nullptr);
    if (!MakeSchema(conn->db, pszSchema)) {
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    Connection* raw = conn.get();
    t_connections.emplace(path, std::move(conn));
    return raw;
}

sqlite3* SqliteStore::Db() {
    Connection* conn = ConnectionFor(m_pszFile, m_pszSchema);
    return conn ? conn->db : nullptr;
}

sqlite3_stmt* SqliteStore::Prepare(const char* pszSql) {
    Connection* conn = ConnectionFor(m_pszFile, m_pszSchema);
    if (!conn)
        return nullptr;
    auto it = conn->statements.find(pszSql);
    if (it != conn->statements.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(conn->db, pszSql, -1, &stmt, nullptr) != SQLITE_OK) {
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    conn->statements.emplace(pszSql, stmt);
    return stmt;
}

ChangeStamp SqliteStore::Stamp() {
    Connection* conn = ConnectionFor(m_pszFile, m_pszSchema);
    if (!conn)
        return {};
    // data_version moves with every commit of another connection; this
    // connection's own writes are counted apart.
    StatementScope stmt(Prepare("PRAGMA data_version"));
    if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW)
        return {};
    return ChangeStamp{conn->uSerial, sqlite3_column_int64(stmt.get(), 0),
                       sqlite3_total_changes64(conn->db)};
}

SqliteTransaction::SqliteTransaction(sqlite3* db) : m_db(db) {
    m_bOk = db && sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqliteTransaction::~SqliteTransaction() {
    if (m_bOk && !m_bDone)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteTransaction::Commit() {
    if (!m_bOk || m_bDone)
        return false;
    m_bDone = true;
    return sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace platform::posix
