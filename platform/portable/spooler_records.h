// How a spooler read fills the caller's buffer, the same for every back end:
// the size needed, the records first and their texts after them, the records'
// pointers into the same buffer.
#pragma once

#include "platform/error.h"
#include "platform/spooler.h"

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

// The record kinds of the spooler, from a back end's rows. A row has the
// fields the record shows under the same names (name, share, port, ...), so
// each back end keeps its own row type and both lay the same records.
template <class Row>
bool PackPrinters(const std::vector<Row>& rows, uint8_t* pBuf, uint32_t cbBuf, uint32_t* pcbNeeded,
                  uint32_t* pcReturned) {
    return PackRecords<PRINTER_INFO_2>(
        rows,
        [](const Row& r) {
            return std::vector<std::string>{r.name,    r.share,    r.port,   r.driver,
                                            r.comment, r.location, r.sepFile};
        },
        [](PRINTER_INFO_2* p, const Row& r, const char* const* t) {
            *p = {t[0], t[1], t[2], t[3], t[4], t[5], t[6], r.attributes};
        },
        pBuf, cbBuf, pcbNeeded, pcReturned);
}

template <class Row>
bool PackPorts(const std::vector<Row>& rows, uint8_t* pBuf, uint32_t cbBuf, uint32_t* pcbNeeded,
               uint32_t* pcReturned) {
    return PackRecords<PORT_INFO_2>(
        rows,
        [](const Row& r) {
            return std::vector<std::string>{r.name, r.monitor, r.description};
        },
        [](PORT_INFO_2* p, const Row& r, const char* const* t) {
            *p = {t[0], t[1], t[2], r.type};
        },
        pBuf, cbBuf, pcbNeeded, pcReturned);
}

template <class Row>
bool PackMonitors(const std::vector<Row>& rows, uint8_t* pBuf, uint32_t cbBuf, uint32_t* pcbNeeded,
                  uint32_t* pcReturned) {
    return PackRecords<MONITOR_INFO_2>(
        rows,
        [](const Row& r) {
            return std::vector<std::string>{r.name, r.environment, r.dll};
        },
        [](MONITOR_INFO_2* p, const Row&, const char* const* t) {
            *p = {t[0], t[1], t[2]};
        },
        pBuf, cbBuf, pcbNeeded, pcReturned);
}

template <class Row>
bool PackDrivers(const std::vector<Row>& rows, uint8_t* pBuf, uint32_t cbBuf, uint32_t* pcbNeeded,
                 uint32_t* pcReturned) {
    return PackRecords<DRIVER_INFO_3>(
        rows,
        [](const Row& r) {
            return std::vector<std::string>{r.name, r.environment, r.driverPath, r.dataFile,
                                            r.configFile};
        },
        [](DRIVER_INFO_3* p, const Row& r, const char* const* t) {
            *p = {r.version, t[0], t[1], t[2], t[3], t[4]};
        },
        pBuf, cbBuf, pcbNeeded, pcReturned);
}

template <class Row>
bool PackJobs(const std::vector<Row>& rows, uint8_t* pBuf, uint32_t cbBuf, uint32_t* pcbNeeded,
              uint32_t* pcReturned) {
    return PackRecords<JOB_INFO_1>(
        rows,
        [](const Row& r) {
            return std::vector<std::string>{r.printer, r.user, r.document, r.datatype};
        },
        [](JOB_INFO_1* p, const Row& r, const char* const* t) {
            *p = {r.id, t[0], t[1], t[2], t[3], r.status, r.size, r.submitted};
        },
        pBuf, cbBuf, pcbNeeded, pcReturned);
}

} // namespace platform
