// The spooler's store in the system root ("spooler.db") and the helpers of its
// calls (POSIX side only).
#pragma once

#include "sqlite_store.h"

#include "platform/error.h"

#include <cstdint>
#include <cstring>
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

// Lays records at the start of the caller's buffer and their texts after them.
// Texts(row) gives the row's texts; Fill(record, row, pointers) sets a record.
template <class Record, class Row, class Texts, class Fill>
bool PackRecords(const std::vector<Row>& rows, Texts texts, Fill fill, uint8_t* pBuf,
                 uint32_t cbBuf, uint32_t* pcbNeeded, uint32_t* pcReturned) {
    if (!pcbNeeded || (pBuf == nullptr && cbBuf != 0))
        return Fail(ERROR_INVALID_PARAMETER);
    if (pcReturned)
        *pcReturned = 0;
    uint64_t needed = uint64_t(rows.size()) * sizeof(Record);
    std::vector<std::vector<std::string>> allTexts;
    allTexts.reserve(rows.size());
    for (const Row& row : rows) {
        allTexts.push_back(texts(row));
        for (const std::string& text : allTexts.back())
            needed += text.size() + 1;
    }
    if (needed > UINT32_MAX)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    *pcbNeeded = uint32_t(needed);
    if (needed > cbBuf)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (rows.empty())
        return true;
    if (reinterpret_cast<uintptr_t>(pBuf) % alignof(Record) != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    auto* records = reinterpret_cast<Record*>(pBuf);
    char* next = reinterpret_cast<char*>(pBuf + rows.size() * sizeof(Record));
    for (size_t i = 0; i < rows.size(); ++i) {
        std::vector<const char*> pointers;
        for (const std::string& text : allTexts[i]) {
            std::memcpy(next, text.c_str(), text.size() + 1);
            pointers.push_back(next);
            next += text.size() + 1;
        }
        Record record{};
        fill(&record, rows[i], pointers.data());
        std::memcpy(&records[i], &record, sizeof record);
    }
    if (pcReturned)
        *pcReturned = uint32_t(rows.size());
    return true;
}

} // namespace platform::posix::spooler
