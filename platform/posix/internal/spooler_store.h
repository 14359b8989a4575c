// The spooler's store in the system root ("spooler.db") and the helpers of its
// calls (POSIX side only).
#pragma once

#include "spooler_records.h"
#include "sqlite_store.h"

#include "platform/error.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace platform::posix::spooler {

SqliteStore& Store();

// The environment of this machine's drivers and monitors.
extern const char* const kCurrentEnvironment;

// Every spooler call starts here: false (last error 1722) while the machine's
// "Spooler" service is not running, or when the store cannot be opened.
bool SpoolerAnswers();
// The environment a call names: null or "" is this machine's own; an unknown
// one gives ERROR_INVALID_ENVIRONMENT.
bool ResolveEnvironment(const char* pEnvironment, std::string* pcsEnvironment);

// A text of a record; null reads as empty.
std::string Text(const char* psz);
std::string ColumnText(sqlite3_stmt* stmt, int column);
void BindText(sqlite3_stmt* stmt, int index, const std::string& text);
// Equal without regard to ASCII case, as the store's NOCASE collation compares.
bool SameText(const std::string& a, const std::string& b);
// Whether the query finds a row; texts are bound first, then the id (when the
// statement has a parameter left for it).
bool Exists(const char* pszSql, std::initializer_list<std::string> texts, int64_t id = 0);
// Runs a statement without result rows, bound the same way; false with
// ERROR_GEN_FAILURE when it fails.
bool Execute(const char* pszSql, std::initializer_list<std::string> texts, int64_t id = 0);

} // namespace platform::posix::spooler
