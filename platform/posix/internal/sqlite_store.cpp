// Per-thread SQLite connections to the stores of the system root.
#include "sqlite_store.h"

#include "platform/error.h"
#include "platform/root.h"

#include <map>
#include <memory>

namespace platform::posix {

namespace {

struct Connection {
    sqlite3* db = nullptr;
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

} // namespace

SqliteStore::SqliteStore(const char* csFile, const char* csSchema)
    : m_pszFile(csFile), m_pszSchema(csSchema) {}

static Connection* ConnectionFor(const char* pszFile, const char* pszSchema) {
    std::string path = RootPath(pszFile);
    auto it = t_connections.find(path);
    if (it != t_connections.end())
        return it->second.get();
    if (!EnsureSystemRoot())
        return nullptr;
    auto conn = std::make_unique<Connection>();
    if (sqlite3_open_v2(path.c_str(), &conn->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    sqlite3_busy_timeout(conn->db, 30000);
    // WAL lets readers go on while one process writes.
    sqlite3_exec(conn->db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                 nullptr);
    if (sqlite3_exec(conn->db, pszSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
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
