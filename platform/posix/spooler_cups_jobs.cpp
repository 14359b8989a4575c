// Print jobs on a CUPS queue: a job is created, its one document streamed to
// the scheduler as it is written, and finished (or cancelled) at the end.
#include "internal/cups_client.h"
#include "internal/spooler_cups.h"
#include "internal/spooler_store.h"
#include "platform/error.h"

#include <cups/cups.h>
#include <strings.h>

namespace platform::posix::spooler {

namespace {

// "RAW" data goes to the printer as it is; anything else is typed by CUPS.
const char* FormatOf(const char* pDatatype) {
    return !pDatatype || !*pDatatype || strcasecmp(pDatatype, "RAW") == 0 ? CUPS_FORMAT_RAW
                                                                          : CUPS_FORMAT_AUTO;
}

void Drop(SCupsJob* pJob) {
    if (pJob->http)
        httpClose(pJob->http);
    *pJob = SCupsJob{};
}

} // namespace

uint32_t CupsStartJob(const std::string& csPrinterName, const DOC_INFO_1& doc, SCupsJob* pJob) {
    if (pJob->http) {
        Fail(ERROR_INVALID_PRINTER_STATE); // one document at a time
        return 0;
    }
    if (doc.pOutputFile && *doc.pOutputFile) {
        Fail(ERROR_NOT_SUPPORTED); // the scheduler writes no files for its clients
        return 0;
    }
    SCupsJob job;
    job.csQueue = CupsQueueName(csPrinterName);
    job.http = cups::Connect();
    if (!job.http)
        return 0;
    const char* title = doc.pDocName && *doc.pDocName ? doc.pDocName : "Document";
    job.iJobId = cupsCreateJob(job.http, job.csQueue.c_str(), title, 0, nullptr);
    if (job.iJobId <= 0 || cupsStartDocument(job.http, job.csQueue.c_str(), job.iJobId, title,
                                             FormatOf(doc.pDatatype), 1) != HTTP_STATUS_CONTINUE) {
        cups::FailFromCups();
        uint32_t err = GetLastError();
        if (job.iJobId > 0)
            cupsCancelJob2(job.http, job.csQueue.c_str(), job.iJobId, 1);
        Drop(&job);
        SetLastError(err);
        return 0;
    }
    *pJob = job;
    return uint32_t(job.iJobId);
}

bool CupsWriteJob(SCupsJob* pJob, const void* pBuf, uint32_t cbBuf) {
    if (!pJob->http)
        return Fail(ERROR_INVALID_PRINTER_STATE);
    if (cbBuf == 0)
        return true;
    if (cupsWriteRequestData(pJob->http, static_cast<const char*>(pBuf), cbBuf) !=
        HTTP_STATUS_CONTINUE)
        return Fail(ERROR_WRITE_FAULT);
    return true;
}

bool CupsEndJob(SCupsJob* pJob, bool bPrint) {
    if (!pJob->http)
        return Fail(ERROR_INVALID_PRINTER_STATE);
    bool ok = true;
    if (bPrint) {
        ok = cupsFinishDocument(pJob->http, pJob->csQueue.c_str()) <= IPP_STATUS_OK_CONFLICTING ||
             cups::FailFromCups();
    } else {
        // The request is cut off mid-way; a fresh connection cancels the job.
        httpClose(pJob->http);
        pJob->http = cups::Connect();
        if (pJob->http)
            cupsCancelJob2(pJob->http, pJob->csQueue.c_str(), pJob->iJobId, 1);
    }
    Drop(pJob);
    return ok;
}

} // namespace platform::posix::spooler
