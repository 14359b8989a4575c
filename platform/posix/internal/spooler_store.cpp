// The spooler's store: its schema with the monitors and ports every machine has.
#include "spooler_store.h"

#include "cups_client.h"
#include "platform/service.h"
#include "platform/spooler.h"

#include <strings.h>

namespace platform::posix::spooler {

const char* const kCurrentEnvironment = "Windows NT x86";

namespace {

const char* const kEnvironments[] = {"Windows 4.0", "Windows NT x86", "Windows IA64",
                                     "Windows x64"};

// The monitors and ports every machine has; laid once, when the store is made.
const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS spl_meta(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE IF NOT EXISTS spl_monitors(id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE, environment TEXT NOT NULL, dll TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS spl_ports(id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE, monitor TEXT NOT NULL COLLATE NOCASE,
    description TEXT NOT NULL, type INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS spl_drivers(id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL COLLATE NOCASE, environment TEXT NOT NULL COLLATE NOCASE,
    version INTEGER NOT NULL, driver_path TEXT NOT NULL, data_file TEXT NOT NULL,
    config_file TEXT NOT NULL, UNIQUE(name, environment, version));
CREATE TABLE IF NOT EXISTS spl_printers(id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE, share_name TEXT NOT NULL, port TEXT NOT NULL,
    driver TEXT NOT NULL, comment TEXT NOT NULL, location TEXT NOT NULL, sep_file TEXT NOT NULL,
    attributes INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS spl_jobs(id INTEGER PRIMARY KEY AUTOINCREMENT,
    printer_id INTEGER NOT NULL, user_name TEXT NOT NULL, document TEXT NOT NULL,
    datatype TEXT NOT NULL, status INTEGER NOT NULL, size INTEGER NOT NULL,
    submitted INTEGER NOT NULL);
INSERT INTO spl_monitors(name, environment, dll)
    SELECT 'Local Port', 'Windows NT x86', 'localspl.dll'
    WHERE NOT EXISTS (SELECT 1 FROM spl_meta WHERE key='seeded');
INSERT INTO spl_monitors(name, environment, dll)
    SELECT 'Standard TCP/IP Port', 'Windows NT x86', 'tcpmon.dll'
    WHERE NOT EXISTS (SELECT 1 FROM spl_meta WHERE key='seeded');
INSERT INTO spl_ports(name, monitor, description, type)
    SELECT column1, 'Local Port', 'Local Port', 3
    FROM (VALUES('LPT1:'), ('COM1:'), ('FILE:'))
    WHERE NOT EXISTS (SELECT 1 FROM spl_meta WHERE key='seeded');
INSERT OR IGNORE INTO spl_meta VALUES('seeded', '1');
)";

} // namespace

SqliteStore& Store() {
    static SqliteStore store("spooler.db", kSchema);
    return store;
}

std::string Text(const char* psz) {
    return psz ? std::string(psz) : std::string();
}

std::string ColumnText(sqlite3_stmt* stmt, int column) {
    const unsigned char* text = sqlite3_column_text(stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

void BindText(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
}

bool SameText(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Whether the query finds a row; texts are bound first, then the id (when the
// statement has a parameter left for it).
// Binds the texts, then the id when the statement has a parameter left for it.
static void BindAll(sqlite3_stmt* stmt, std::initializer_list<std::string> texts, int64_t id) {
    int index = 1;
    for (const std::string& text : texts)
        BindText(stmt, index++, text);
    if (index <= sqlite3_bind_parameter_count(stmt))
        sqlite3_bind_int64(stmt, index, id);
}

bool Exists(const char* pszSql, std::initializer_list<std::string> texts, int64_t id) {
    StatementScope stmt(Store().Prepare(pszSql));
    if (!stmt)
        return false;
    BindAll(stmt.get(), texts, id);
    return sqlite3_step(stmt.get()) == SQLITE_ROW;
}

bool Execute(const char* pszSql, std::initializer_list<std::string> texts, int64_t id) {
    StatementScope stmt(Store().Prepare(pszSql));
    if (!stmt)
        return false;
    BindAll(stmt.get(), texts, id);
    return sqlite3_step(stmt.get()) == SQLITE_DONE || Fail(ERROR_GEN_FAILURE);
}

// Whether the machine's "Spooler" service runs: the one tie of the spooler to
// the service manager.
static bool IsSpoolerServiceRunning() {
    return IsServiceRunning("Spooler");
}

// Every spooler call starts here: the spooler answers only while it runs.
bool SpoolerAnswers() {
    if (!IsSpoolerServiceRunning())
        return Fail(RPC_S_SERVER_UNAVAILABLE);
    if (!Store().Db())
        return false;
    // On CUPS the spooler runs while its scheduler answers.
    return GetSpoolerBackEnd() != SpoolerBackEnd::Cups || cups::SchedulerAnswers();
}

static bool IsKnownEnvironment(const std::string& csEnvironment) {
    for (const char* known : kEnvironments) {
        if (SameText(csEnvironment, known))
            return true;
    }
    return false;
}

// The environment a call names: null or "" is this machine's own.
bool ResolveEnvironment(const char* pEnvironment, std::string* pcsEnvironment) {
    std::string environment = Text(pEnvironment);
    if (environment.empty())
        environment = kCurrentEnvironment;
    if (!IsKnownEnvironment(environment))
        return Fail(ERROR_INVALID_ENVIRONMENT);
    *pcsEnvironment = environment;
    return true;
}

} // namespace platform::posix::spooler
