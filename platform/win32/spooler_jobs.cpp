// Print jobs of the machine's spooler on Windows: StartDocPrinter, WritePrinter
// and EndDocPrinter on the handle that started the job, EnumJobs read at the
// system's level 2 (which has the size and the time of submission). The
// handle remembers its open job, so the refusals of a job call out of turn do
// not depend on the system's.
#include "platform/error.h"
#include "platform/spooler.h"
#include "spooler_records.h"

#include "spooler_api.h"

namespace platform {

using namespace win32::spooler;

namespace {

struct SJob {
    uint32_t id;
    std::string printer, user, document, datatype;
    uint32_t status, size;
    int64_t submitted;
};

// A system time (UTC) in seconds since 1970-01-01.
int64_t UnixSeconds(const SYSTEMTIME& st) {
    FILETIME ft{};
    if (!::SystemTimeToFileTime(&st, &ft))
        return 0;
    const uint64_t ticks = (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    constexpr uint64_t kTicksTo1970 = 116444736000000000ULL; // 100 ns ticks from 1601
    return ticks < kTicksTo1970 ? 0 : int64_t((ticks - kTicksTo1970) / 10000000ULL);
}

} // namespace

uint32_t StartDocPrinter(HPRINTER hPrinter, uint32_t Level, const DOC_INFO_1* pDocInfo) {
    if (!hPrinter) {
        Fail(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (Level != 1) {
        Fail(ERROR_INVALID_LEVEL);
        return 0;
    }
    if (!pDocInfo || !Text(pDocInfo->pOutputFile).empty()) {
        Fail(pDocInfo ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!Text(pDocInfo->pDatatype).empty() && !SameText(pDocInfo->pDatatype, "RAW")) {
        Fail(ERROR_INVALID_DATATYPE);
        return 0;
    }
    if (hPrinter->jobId != 0) {
        Fail(ERROR_INVALID_PRINTER_STATE);
        return 0;
    }
    const std::string csDocument = Text(pDocInfo->pDocName);
    DOC_INFO_1A info{const_cast<char*>(csDocument.c_str()), nullptr, const_cast<char*>("RAW")};
    const DWORD id = ::StartDocPrinterA(hPrinter->h, 1, reinterpret_cast<BYTE*>(&info));
    if (id == 0) {
        SystemFail();
        return 0;
    }
    hPrinter->jobId = id;
    return id;
}

bool WritePrinter(HPRINTER hPrinter, const void* pBuf, uint32_t cbBuf, uint32_t* pcWritten) {
    if (pcWritten)
        *pcWritten = 0;
    if (!hPrinter)
        return Fail(ERROR_INVALID_HANDLE);
    if (!pcWritten || (!pBuf && cbBuf != 0))
        return Fail(ERROR_INVALID_PARAMETER);
    if (hPrinter->jobId == 0)
        return Fail(ERROR_SPL_NO_STARTDOC);
    DWORD written = 0;
    if (!::WritePrinter(hPrinter->h, const_cast<void*>(pBuf), cbBuf, &written))
        return SystemFail();
    *pcWritten = written;
    return true;
}

bool EndDocPrinter(HPRINTER hPrinter) {
    if (!hPrinter)
        return Fail(ERROR_INVALID_HANDLE);
    if (hPrinter->jobId == 0)
        return Fail(ERROR_SPL_NO_STARTDOC);
    hPrinter->jobId = 0;
    return ::EndDocPrinter(hPrinter->h) || SystemFail();
}

bool EnumJobs(HPRINTER hPrinter, uint32_t FirstJob, uint32_t NoJobs, uint32_t Level, uint8_t* pJob,
              uint32_t cbBuf, uint32_t* pcbNeeded, uint32_t* pcReturned) {
    if (!hPrinter)
        return Fail(ERROR_INVALID_HANDLE);
    if (Level != 1)
        return Fail(ERROR_INVALID_LEVEL);
    std::vector<uint64_t> buffer;
    DWORD count = 0;
    if (!ReadSystemRecords(
            [&](BYTE* p, DWORD cb, DWORD* pNeeded, DWORD* pReturned) {
                return ::EnumJobsA(hPrinter->h, FirstJob, NoJobs, 2, p, cb, pNeeded, pReturned);
            },
            &buffer, &count))
        return false;
    auto* records = reinterpret_cast<JOB_INFO_2A*>(buffer.data());
    std::vector<SJob> jobs;
    for (DWORD i = 0; i < count; ++i) {
        const JOB_INFO_2A& j = records[i];
        jobs.push_back({uint32_t(j.JobId), Text(j.pPrinterName), Text(j.pUserName),
                        Text(j.pDocument), Text(j.pDatatype), uint32_t(j.Status), uint32_t(j.Size),
                        UnixSeconds(j.Submitted)});
    }
    return PackJobs(jobs, pJob, cbBuf, pcbNeeded, pcReturned);
}

} // namespace platform
