// How a spooler read fills the caller's buffer, the same for every back end:
// the size needed, the records first and their texts after them, the records'
// pointers into the same buffer.
#pragma once

#include "platform/error.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

// Lays records at the start of the caller's buffer and their texts after them.
// Texts(row) gives the row's texts; Fill(record, row, pointers) sets a record.
// No buffer (or one too small) gives ERROR_INSUFFICIENT_BUFFER with the size
// needed in *pcbNeeded.
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

} // namespace platform
