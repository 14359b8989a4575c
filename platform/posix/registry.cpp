// The registry kept in SQLite ("registry.db" in the system root).
//
// A key is a row (hive, full path) and a value a row (hive, key path, name);
// paths and names use NOCASE collation, so they compare without regard to case
// but keep the case they were created with.
#include "platform/registry.h"

#include "internal/sqlite_store.h"
#include "platform/error.h"

#include <cstring>

namespace platform {

struct RegistryKey {
    int hive;
    std::string path; // "" for the hive's root, else "A\B\C"
};

namespace {

RegistryKey g_localMachine{1, ""};
RegistryKey g_currentUser{2, ""};

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS reg_keys(
    hive INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,
    parent TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,
    PRIMARY KEY(hive, path));
CREATE INDEX IF NOT EXISTS reg_keys_parent ON reg_keys(hive, parent, name);
CREATE TABLE IF NOT EXISTS reg_values(
    hive INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB,
    PRIMARY KEY(hive, path, name));
INSERT OR IGNORE INTO reg_keys VALUES(1, 'SOFTWARE', '', 'SOFTWARE');
INSERT OR IGNORE INTO reg_keys VALUES(1, 'SYSTEM', '', 'SYSTEM');
INSERT OR IGNORE INTO reg_keys VALUES(2, 'Software', '', 'Software');
)";

posix::SqliteStore& Store() {
    static posix::SqliteStore store("registry.db", kSchema);
    return store;
}

// Joins a key path and a relative subkey path, dropping empty components.
std::string JoinPath(const std::string& base, const std::string& sub) {
    std::string result = base;
    size_t start = 0;
    while (start <= sub.size()) {
        size_t end = sub.find('\\', start);
        if (end == std::string::npos)
            end = sub.size();
        if (end > start) {
            if (!result.empty())
                result += '\\';
            result.append(sub, start, end - start);
        }
        start = end + 1;
    }
    return result;
}

bool KeyExists(int hive, const std::string& path) {
    if (path.empty())
        return true;
    posix::StatementScope stmt(Store().Prepare("SELECT 1 FROM reg_keys WHERE hive=? AND path=?"));
    if (!stmt)
        return false;
    sqlite3_bind_int(stmt.get(), 1, hive);
    sqlite3_bind_text(stmt.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(stmt.get()) == SQLITE_ROW;
}

// The stored spelling of an existing key path (keys keep their creation case).
std::string StoredPath(int hive, const std::string& path) {
    posix::StatementScope stmt(
        Store().Prepare("SELECT path FROM reg_keys WHERE hive=? AND path=?"));
    if (!stmt)
        return path;
    sqlite3_bind_int(stmt.get(), 1, hive);
    sqlite3_bind_text(stmt.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.get()) == SQLITE_ROW)
        return reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    return path;
}

bool ValidKey(HKEY hKey) {
    return hKey != nullptr;
}

// What a miss on the handle's key means: the key has gone (1018), or the
// thing asked for is not there (dwMissing).
uint32_t Missing(HKEY hKey, uint32_t dwMissing) {
    return KeyExists(hKey->hive, hKey->path) ? dwMissing : ERROR_KEY_DELETED;
}

uint32_t NewHandle(int hive, const std::string& path, HKEY* phkResult) {
    *phkResult = new RegistryKey{hive, StoredPath(hive, path)};
    return ERROR_SUCCESS;
}

} // namespace

const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;
const HKEY HKEY_CURRENT_USER = &g_currentUser;

uint32_t RegOpenKeyEx(HKEY hKey, const std::string& csSubKey, HKEY* phkResult) {
    if (!ValidKey(hKey) || !phkResult)
        return ERROR_INVALID_HANDLE;
    if (!Store().Db())
        return GetLastError();
    std::string path = JoinPath(hKey->path, csSubKey);
    if (!KeyExists(hKey->hive, hKey->path))
        return ERROR_KEY_DELETED;
    if (!KeyExists(hKey->hive, path))
        return ERROR_FILE_NOT_FOUND;
    return NewHandle(hKey->hive, path, phkResult);
}

uint32_t RegCreateKeyEx(HKEY hKey, const std::string& csSubKey, HKEY* phkResult) {
    if (!ValidKey(hKey) || !phkResult)
        return ERROR_INVALID_HANDLE;
    sqlite3* db = Store().Db();
    if (!db)
        return GetLastError();
    std::string path = JoinPath(hKey->path, csSubKey);
    {
        posix::SqliteTransaction tx(db);
        if (!tx.Ok())
            return ERROR_ACCESS_DENIED;
        if (!KeyExists(hKey->hive, hKey->path))
            return ERROR_KEY_DELETED;
        // Create each missing component from the top down.
        std::string parent = hKey->path;
        std::string rest = path.substr(hKey->path.size());
        size_t start = 0;
        while (start < rest.size()) {
            if (rest[start] == '\\') {
                ++start;
                continue;
            }
            size_t end = rest.find('\\', start);
            if (end == std::string::npos)
                end = rest.size();
            std::string name = rest.substr(start, end - start);
            std::string current = parent.empty() ? name : parent + "\\" + name;
            posix::StatementScope ins(Store().Prepare(
                "INSERT OR IGNORE INTO reg_keys(hive, path, parent, name) VALUES(?,?,?,?)"));
            if (!ins)
                return ERROR_GEN_FAILURE;
            sqlite3_bind_int(ins.get(), 1, hKey->hive);
            sqlite3_bind_text(ins.get(), 2, current.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins.get(), 3, parent.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins.get(), 4, name.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(ins.get()) != SQLITE_DONE)
                return ERROR_ACCESS_DENIED;
            parent = StoredPath(hKey->hive, current);
            start = end + 1;
        }
        if (!tx.Commit())
            return ERROR_ACCESS_DENIED;
    }
    return NewHandle(hKey->hive, path, phkResult);
}

uint32_t RegCloseKey(HKEY hKey) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (hKey != HKEY_LOCAL_MACHINE && hKey != HKEY_CURRENT_USER)
        delete hKey;
    return ERROR_SUCCESS;
}

uint32_t RegDeleteKey(HKEY hKey, const std::string& csSubKey) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    sqlite3* db = Store().Db();
    if (!db)
        return GetLastError();
    std::string path = JoinPath(hKey->path, csSubKey);
    if (path.empty())
        return ERROR_ACCESS_DENIED;
    posix::SqliteTransaction tx(db);
    if (!tx.Ok())
        return ERROR_ACCESS_DENIED;
    if (!KeyExists(hKey->hive, path))
        return Missing(hKey, ERROR_FILE_NOT_FOUND);
    {
        posix::StatementScope children(
            Store().Prepare("SELECT 1 FROM reg_keys WHERE hive=? AND parent=? LIMIT 1"));
        sqlite3_bind_int(children.get(), 1, hKey->hive);
        sqlite3_bind_text(children.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(children.get()) == SQLITE_ROW)
            return ERROR_ACCESS_DENIED;
    }
    for (const char* sql : {"DELETE FROM reg_values WHERE hive=? AND path=?",
                            "DELETE FROM reg_keys WHERE hive=? AND path=?"}) {
        posix::StatementScope del(Store().Prepare(sql));
        sqlite3_bind_int(del.get(), 1, hKey->hive);
        sqlite3_bind_text(del.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(del.get()) != SQLITE_DONE)
            return ERROR_ACCESS_DENIED;
    }
    return tx.Commit() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

uint32_t RegQueryValueEx(HKEY hKey, const std::string& csValueName, uint32_t* pdwType,
                         uint8_t* pData, uint32_t* pcbData) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (pData && !pcbData)
        return ERROR_INVALID_PARAMETER;
    posix::StatementScope stmt(
        Store().Prepare("SELECT type, data FROM reg_values WHERE hive=? AND path=? AND name=?"));
    if (!stmt)
        return GetLastError();
    sqlite3_bind_int(stmt.get(), 1, hKey->hive);
    sqlite3_bind_text(stmt.get(), 2, hKey->path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt.get(), 3, csValueName.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW)
        return rc == SQLITE_DONE ? Missing(hKey, ERROR_FILE_NOT_FOUND) : ERROR_GEN_FAILURE;
    if (pdwType)
        *pdwType = static_cast<uint32_t>(sqlite3_column_int64(stmt.get(), 0));
    const void* blob = sqlite3_column_blob(stmt.get(), 1);
    uint32_t size = static_cast<uint32_t>(sqlite3_column_bytes(stmt.get(), 1));
    if (!pcbData)
        return ERROR_SUCCESS;
    uint32_t room = *pcbData;
    *pcbData = size;
    if (!pData)
        return ERROR_SUCCESS;
    if (size > room)
        return ERROR_MORE_DATA;
    if (size)
        std::memcpy(pData, blob, size);
    return ERROR_SUCCESS;
}

uint32_t RegSetValueEx(HKEY hKey, const std::string& csValueName, uint32_t dwType,
                       const uint8_t* pData, uint32_t cbData) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    if (!pData && cbData)
        return ERROR_INVALID_PARAMETER;
    sqlite3* db = Store().Db();
    if (!db)
        return GetLastError();
    // The key is checked and the value written in one transaction, so a value
    // never lands under a key deleted meanwhile.
    posix::SqliteTransaction tx(db);
    if (!tx.Ok())
        return ERROR_ACCESS_DENIED;
    if (!KeyExists(hKey->hive, hKey->path))
        return ERROR_KEY_DELETED;
    {
        posix::StatementScope stmt(Store().Prepare(
            "INSERT OR REPLACE INTO reg_values(hive, path, name, type, data) VALUES(?,?,?,?,?)"));
        if (!stmt)
            return GetLastError();
        sqlite3_bind_int(stmt.get(), 1, hKey->hive);
        sqlite3_bind_text(stmt.get(), 2, hKey->path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt.get(), 3, csValueName.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(stmt.get(), 4, dwType);
        sqlite3_bind_blob(stmt.get(), 5, pData ? static_cast<const void*>(pData) : "", int(cbData),
                          SQLITE_TRANSIENT);
        if (sqlite3_step(stmt.get()) != SQLITE_DONE)
            return ERROR_ACCESS_DENIED;
    }
    return tx.Commit() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

uint32_t RegDeleteValue(HKEY hKey, const std::string& csValueName) {
    if (!ValidKey(hKey))
        return ERROR_INVALID_HANDLE;
    posix::StatementScope stmt(
        Store().Prepare("DELETE FROM reg_values WHERE hive=? AND path=? AND name=?"));
    if (!stmt)
        return GetLastError();
    sqlite3_bind_int(stmt.get(), 1, hKey->hive);
    sqlite3_bind_text(stmt.get(), 2, hKey->path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt.get(), 3, csValueName.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE)
        return ERROR_ACCESS_DENIED;
    return sqlite3_changes(Store().Db()) > 0 ? ERROR_SUCCESS : Missing(hKey, ERROR_FILE_NOT_FOUND);
}

uint32_t RegEnumKeyEx(HKEY hKey, uint32_t dwIndex, std::string* pcsName) {
    if (!ValidKey(hKey) || !pcsName)
        return ERROR_INVALID_HANDLE;
    posix::StatementScope stmt(Store().Prepare(
        "SELECT name FROM reg_keys WHERE hive=? AND parent=? AND path<>'' ORDER BY name "
        "LIMIT 1 OFFSET ?"));
    if (!stmt)
        return GetLastError();
    sqlite3_bind_int(stmt.get(), 1, hKey->hive);
    sqlite3_bind_text(stmt.get(), 2, hKey->path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(stmt.get(), 3, dwIndex);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return Missing(hKey, ERROR_NO_MORE_ITEMS);
    *pcsName = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    return ERROR_SUCCESS;
}

uint32_t RegEnumValue(HKEY hKey, uint32_t dwIndex, std::string* pcsName, uint32_t* pdwType,
                      std::vector<uint8_t>* pData) {
    if (!ValidKey(hKey) || !pcsName)
        return ERROR_INVALID_HANDLE;
    posix::StatementScope stmt(
        Store().Prepare("SELECT name, type, data FROM reg_values WHERE hive=? AND path=? "
                        "ORDER BY name LIMIT 1 OFFSET ?"));
    if (!stmt)
        return GetLastError();
    sqlite3_bind_int(stmt.get(), 1, hKey->hive);
    sqlite3_bind_text(stmt.get(), 2, hKey->path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(stmt.get(), 3, dwIndex);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return Missing(hKey, ERROR_NO_MORE_ITEMS);
    *pcsName = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    if (pdwType)
        *pdwType = static_cast<uint32_t>(sqlite3_column_int64(stmt.get(), 1));
    if (pData) {
        const uint8_t* blob = static_cast<const uint8_t*>(sqlite3_column_blob(stmt.get(), 2));
        pData->assign(blob, blob + sqlite3_column_bytes(stmt.get(), 2));
    }
    return ERROR_SUCCESS;
}

uint32_t RegQuerySubkeyValues(HKEY hKey, const std::string& csValueName,
                              std::vector<SSubkeyValue>* pValues) {
    if (!ValidKey(hKey) || !pValues)
        return ERROR_INVALID_HANDLE;
    pValues->clear();
    posix::StatementScope stmt(
        Store().Prepare("SELECT k.name, v.type, v.data FROM reg_keys k JOIN reg_values v "
                        "ON v.hive=k.hive AND v.path=k.path AND v.name=? "
                        "WHERE k.hive=? AND k.parent=? AND k.path<>'' ORDER BY k.name"));
    if (!stmt)
        return GetLastError();
    sqlite3_bind_text(stmt.get(), 1, csValueName.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt.get(), 2, hKey->hive);
    sqlite3_bind_text(stmt.get(), 3, hKey->path.c_str(), -1, SQLITE_TRANSIENT);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        SSubkeyValue value;
        value.csSubkey = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
        value.dwType = static_cast<uint32_t>(sqlite3_column_int64(stmt.get(), 1));
        const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(stmt.get(), 2));
        value.data.assign(blob, blob + sqlite3_column_bytes(stmt.get(), 2));
        pValues->push_back(std::move(value));
    }
    if (rc != SQLITE_DONE) {
        pValues->clear();
        return ERROR_GEN_FAILURE;
    }
    // Nothing found under a key that has gone is the deleted key's error.
    return pValues->empty() ? Missing(hKey, ERROR_SUCCESS) : ERROR_SUCCESS;
}

ChangeStamp RegChangeStamp() {
    return Store().Stamp();
}

} // namespace platform
