// The spooler's printer handles (POSIX side only): what a handle carries and
// the check that a handle is one handed out and not yet closed.
#pragma once

#include "internal/spooler_cups.h"
#include "platform/spooler.h"

#include <cstdint>

namespace platform {

struct PrinterHandle {
    int64_t id; // the printer's row, so a rename through one handle leaves others valid
    uint32_t access;
    uint32_t jobId = 0; // the job started on this handle and not yet ended
    uint64_t written = 0;
    posix::spooler::SCupsJob cupsJob; // on a CUPS root: the job's document on its way
};

namespace posix::spooler {

bool ValidHandle(HPRINTER hPrinter);
// Drops the job a handle started and did not end (the handle is closing); on
// CUPS the job is cancelled, so a document left open is not printed.
void DiscardJob(HPRINTER hPrinter);

} // namespace posix::spooler
} // namespace platform
