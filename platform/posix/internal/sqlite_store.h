// Shared access to the SQLite stores in the system root (POSIX side only).
//
// One connection per thread and store file, opened on first use with a busy
// time-out, so that threads and processes may use a store at the same time;
// SQLite's own locking makes each statement and each transaction atomic. A
// user who may only read a store gets a connection that reads.
#pragma once

#include "platform/change_stamp.h"

#include <sqlite3.h>
#include <string>

namespace platform::posix {

class SqliteStore {
public:
    // csFile is relative to the system root. csSchema runs when the store is
    // made (or its text has changed), by a connection that may write.
    SqliteStore(const char* csFile, const char* csSchema);
    // The calling thread's connection, or nullptr (last error set) when the
    // store cannot be opened.
    sqlite3* Db();
    // A prepared statement cached per connection; reset before it is returned.
    // Wrap it in a StatementScope so that it is reset again after use: a
    // statement left mid-way holds a read snapshot and hides other writers.
    sqlite3_stmt* Prepare(const char* pszSql);
    // The calling thread's stamp of the store (invalid when it cannot be opened).
    ChangeStamp Stamp();

private:
    const char* m_pszFile;
    const char* m_pszSchema;
};

class StatementScope {
public:
    explicit StatementScope(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~StatementScope() {
        if (m_stmt)
            sqlite3_reset(m_stmt);
    }
    StatementScope(const StatementScope&) = delete;
    StatementScope& operator=(const StatementScope&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }

private:
    sqlite3_stmt* m_stmt;
};

// Runs a statement with no result rows inside BEGIN IMMEDIATE ... COMMIT when
// several must be atomic.
class SqliteTransaction {
public:
    explicit SqliteTransaction(sqlite3* db);
    ~SqliteTransaction();
    bool Ok() const { return m_bOk; }
    bool Commit();

private:
    sqlite3* m_db;
    bool m_bOk = false;
    bool m_bDone = false;
};

} // namespace platform::posix
