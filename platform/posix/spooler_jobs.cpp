// Print jobs of the spooler kept in SQLite: one row per job with its printer,
// user, document name, data type, size and time of submission. The emulated
// machine has no printing device, so there the data written is counted, not
// kept; on a CUPS root the document also goes to the job's CUPS queue as it
// is written (internal/spooler_cups.h).
#include "internal/spooler_cups.h"
#include "internal/spooler_handles.h"
#include "internal/spooler_store.h"
#include "platform/error.h"

#include <ctime>
#include <pwd.h>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using namespace posix::spooler;

// The calling user's name, or the number when the user has none.
std::string CallingUserName() {
    std::vector<char> buffer(16384);
    passwd pw, *found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
    return std::to_string(::getuid());
}

// A job call's start: the spooler answers, the handle is valid and its printer
// is still there.
bool JobCallAllowed(HPRINTER hPrinter) {
    if (!SpoolerAnswers())
        return false;
    if (!ValidHandle(hPrinter))
        return Fail(ERROR_INVALID_HANDLE);
    if (!Exists("SELECT 1 FROM spl_printers WHERE id=?", {}, hPrinter->id))
        return Fail(ERROR_PRINTER_DELETED);
    return true;
}

// The name of the printer in the row, "" when it is gone.
std::string PrinterName(int64_t id) {
    posix::StatementScope sel(Store().Prepare("SELECT name FROM spl_printers WHERE id=?"));
    if (!sel)
        return "";
    sqlite3_bind_int64(sel.get(), 1, id);
    return sqlite3_step(sel.get()) == SQLITE_ROW ? ColumnText(sel.get(), 0) : "";
}

bool SetJobSize(const PrinterHandle& handle, uint32_t uiStatus) {
    posix::StatementScope upd(Store().Prepare("UPDATE spl_jobs SET size=?, status=? WHERE id=?"));
    if (!upd)
        return false;
    sqlite3_bind_int64(upd.get(), 1, int64_t(handle.written));
    sqlite3_bind_int64(upd.get(), 2, uiStatus);
    sqlite3_bind_int64(upd.get(), 3, handle.jobId);
    return sqlite3_step(upd.get()) == SQLITE_DONE || Fail(ERROR_GEN_FAILURE);
}

} // namespace

void posix::spooler::DiscardJob(HPRINTER hPrinter) {
    if (hPrinter->cupsJob.http)
        CupsEndJob(&hPrinter->cupsJob, false);
    if (hPrinter->jobId != 0 && Store().Db())
        Execute("DELETE FROM spl_jobs WHERE id=?", {}, hPrinter->jobId);
    hPrinter->jobId = 0;
}

uint32_t StartDocPrinter(HPRINTER hPrinter, uint32_t Level, const DOC_INFO_1* pDocInfo) {
    if (!JobCallAllowed(hPrinter))
        return 0;
    if (Level != 1) {
        Fail(ERROR_INVALID_LEVEL);
        return 0;
    }
    if (!pDocInfo || !Text(pDocInfo->pOutputFile).empty()) {
        Fail(pDocInfo ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string csDatatype = Text(pDocInfo->pDatatype).empty() ? "RAW" : pDocInfo->pDatatype;
    if (!SameText(csDatatype, "RAW")) {
        Fail(ERROR_INVALID_DATATYPE);
        return 0;
    }
    if (hPrinter->jobId != 0) {
        Fail(ERROR_INVALID_PRINTER_STATE);
        return 0;
    }
    if (OnCups() && CupsStartJob(PrinterName(hPrinter->id), *pDocInfo, &hPrinter->cupsJob) == 0)
        return 0;
    posix::StatementScope ins(
        Store().Prepare("INSERT INTO spl_jobs(printer_id, user_name, document, datatype, status, "
                        "size, submitted) VALUES(?,?,?,?,?,0,?)"));
    if (!ins)
        return 0;
    sqlite3_bind_int64(ins.get(), 1, hPrinter->id);
    BindText(ins.get(), 2, CallingUserName());
    BindText(ins.get(), 3, Text(pDocInfo->pDocName));
    BindText(ins.get(), 4, "RAW");
    sqlite3_bind_int64(ins.get(), 5, JOB_STATUS_SPOOLING);
    sqlite3_bind_int64(ins.get(), 6, int64_t(std::time(nullptr)));
    if (sqlite3_step(ins.get()) != SQLITE_DONE) {
        Fail(ERROR_GEN_FAILURE);
        DiscardJob(hPrinter);
        return 0;
    }
    const int64_t id = sqlite3_last_insert_rowid(Store().Db());
    if (id <= 0 || id > int64_t(UINT32_MAX)) {
        Execute("DELETE FROM spl_jobs WHERE id=?", {}, id);
        Fail(ERROR_GEN_FAILURE);
        return 0;
    }
    hPrinter->jobId = uint32_t(id);
    hPrinter->written = 0;
    return hPrinter->jobId;
}

bool WritePrinter(HPRINTER hPrinter, const void* pBuf, uint32_t cbBuf, uint32_t* pcWritten) {
    if (pcWritten)
        *pcWritten = 0;
    if (!JobCallAllowed(hPrinter))
        return false;
    if (!pcWritten || (!pBuf && cbBuf != 0))
        return Fail(ERROR_INVALID_PARAMETER);
    if (hPrinter->jobId == 0)
        return Fail(ERROR_SPL_NO_STARTDOC);
    if (hPrinter->written + cbBuf > UINT32_MAX)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (hPrinter->cupsJob.http && !CupsWriteJob(&hPrinter->cupsJob, pBuf, cbBuf))
        return false;
    hPrinter->written += cbBuf;
    if (!SetJobSize(*hPrinter, JOB_STATUS_SPOOLING)) {
        hPrinter->written -= cbBuf;
        return false;
    }
    *pcWritten = cbBuf;
    return true;
}

bool EndDocPrinter(HPRINTER hPrinter) {
    if (!JobCallAllowed(hPrinter))
        return false;
    if (hPrinter->jobId == 0)
        return Fail(ERROR_SPL_NO_STARTDOC);
    if (hPrinter->cupsJob.http && !CupsEndJob(&hPrinter->cupsJob, true)) {
        const uint32_t dwError = GetLastError();
        DiscardJob(hPrinter);
        return Fail(dwError);
    }
    if (!SetJobSize(*hPrinter, JOB_STATUS_PRINTED))
        return false;
    hPrinter->jobId = 0;
    hPrinter->written = 0;
    return true;
}

bool EnumJobs(HPRINTER hPrinter, uint32_t FirstJob, uint32_t NoJobs, uint32_t Level, uint8_t* pJob,
              uint32_t cbBuf, uint32_t* pcbNeeded, uint32_t* pcReturned) {
    if (!JobCallAllowed(hPrinter))
        return false;
    if (Level != 1)
        return Fail(ERROR_INVALID_LEVEL);
    struct SRow {
        uint32_t id, status, size;
        int64_t submitted;
        std::string printer, user, document, datatype;
    };
    std::vector<SRow> rows;
    {
        posix::StatementScope stmt(Store().Prepare(
            "SELECT j.id, j.status, j.size, j.submitted, p.name, j.user_name, "
            "j.document, j.datatype FROM spl_jobs j JOIN spl_printers p ON "
            "p.id=j.printer_id WHERE j.printer_id=? ORDER BY j.id LIMIT ? OFFSET ?"));
        if (!stmt)
            return false;
        sqlite3_bind_int64(stmt.get(), 1, hPrinter->id);
        sqlite3_bind_int64(stmt.get(), 2, NoJobs);
        sqlite3_bind_int64(stmt.get(), 3, FirstJob);
        while (sqlite3_step(stmt.get()) == SQLITE_ROW)
            rows.push_back({uint32_t(sqlite3_column_int64(stmt.get(), 0)),
                            uint32_t(sqlite3_column_int64(stmt.get(), 1)),
                            uint32_t(sqlite3_column_int64(stmt.get(), 2)),
                            sqlite3_column_int64(stmt.get(), 3), ColumnText(stmt.get(), 4),
                            ColumnText(stmt.get(), 5), ColumnText(stmt.get(), 6),
                            ColumnText(stmt.get(), 7)});
    }
    return PackJobs(rows, pJob, cbBuf, pcbNeeded, pcReturned);
}

} // namespace platform
