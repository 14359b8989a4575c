// The spooler's printers on a root whose back end is CUPS (POSIX side only).
//
// The spooler's store keeps every field of a printer as on the emulated
// spooler (so its checks, handles and free-name rules work unchanged); each
// change is made in CUPS too, inside the store's transaction, so a queue CUPS
// refuses is not kept. A queue deleted in CUPS behind the spooler's back is
// dropped from the store when printers are next read.
#pragma once

#include "platform/spooler.h"

#include <string>

typedef struct _http_s http_t;

namespace platform::posix::spooler {

// Whether the root's printers live in CUPS.
bool OnCups();
// Lays the printer's queue: a new one (csOldName empty), or the queue of
// csOldName changed, renamed when the name changes.
bool CupsPutQueue(const std::string& csOldName, const PRINTER_INFO_2& printer);
bool CupsRemoveQueue(const std::string& csName);
// Drops the store's printers whose queue CUPS no longer has.
bool CupsForgetVanishedQueues();

// The calling user's CUPS default printer (lpoptions), as the system's name;
// empty when there is none. Setting "" removes it.
std::string CupsUserDefault();
bool CupsSetUserDefault(const std::string& csPrinterName);

// A job being written through a printer handle.
struct SCupsJob {
    http_t* http = nullptr;
    int iJobId = 0;
    std::string csQueue;
};
uint32_t CupsStartJob(const std::string& csPrinterName, const DOC_INFO_1& doc, SCupsJob* pJob);
bool CupsWriteJob(SCupsJob* pJob, const void* pBuf, uint32_t cbBuf);
// Ends the job: printed (bPrint) or cancelled.
bool CupsEndJob(SCupsJob* pJob, bool bPrint);

} // namespace platform::posix::spooler
