// The spooler's part of the Win32 API for the back end's spooler sources, and
// what they share: the printer handle, the two-call reads of the system's
// records, and the default-printer entries that follow a printer.
//
// Include it after the platform headers (see windows_api.h). The system's
// records are larger than the platform's: every read takes the system's
// records whole and lays the fields the platform has into the caller's buffer
// (spooler_records.h).
#pragma once

#include "platform/spooler.h"
#include "windows_api.h"

#include <winspool.h>

#include <string>
#include <vector>

#undef OpenPrinter
#undef AddPrinter
#undef GetPrinter
#undef SetPrinter
#undef EnumPrinters
#undef EnumPorts
#undef DeletePort
#undef EnumMonitors
#undef AddMonitor
#undef DeleteMonitor
#undef EnumPrinterDrivers
#undef AddPrinterDriver
#undef DeletePrinterDriver
#undef StartDocPrinter
#undef EnumJobs
#undef GetProfileString
#undef WriteProfileString

// winspool.drv has it; the toolchain's header does not declare it.
extern "C" WINBOOL WINAPI AddPortExA(LPSTR pName, DWORD Level, LPBYTE lpBuffer,
                                     LPSTR lpMonitorName);

namespace platform {

struct PrinterHandle {
    ::HANDLE h;
    uint32_t access;    // what was asked for, which the back end checks itself
    uint32_t jobId = 0; // the job started on this handle and not yet ended
};

namespace win32::spooler {

// The environment of this machine's drivers and monitors.
extern const char* const kMachineEnvironment;

// A text of a system record; null reads as empty.
std::string Text(const char* psz);
// Equal without regard to ASCII case, as the spooler compares names.
bool SameText(const std::string& a, const std::string& b);
// Fails with the system's last error (for `return SystemFail();`).
bool SystemFail();

// Reads a system enumeration whole: read(buffer, size, &needed, &returned)
// is called until the buffer holds everything (the set may grow between
// two calls). The records lie at the start of *pBuffer; false with the last
// error set when the system refuses.
template <class Read>
bool ReadSystemRecords(Read read, std::vector<uint64_t>* pBuffer, DWORD* pcReturned) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD needed = 0, returned = 0;
        auto* p = pBuffer->empty() ? nullptr : reinterpret_cast<BYTE*>(pBuffer->data());
        if (read(p, DWORD(pBuffer->size() * sizeof(uint64_t)), &needed, &returned)) {
            *pcReturned = returned;
            return true;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return SystemFail();
        // A size that does not grow the buffer (wine's can be 0 while the
        // list changes) is taken as twice the buffer.
        const size_t have = pBuffer->size() * sizeof(uint64_t);
        const size_t want = needed > have ? size_t(needed) : 2 * have + 4096;
        pBuffer->assign(want / sizeof(uint64_t) + 1, 0);
    }
    return Fail(ERROR_INSUFFICIENT_BUFFER);
}

// The system's local printers, level 2.
bool ReadSystemPrinters(std::vector<uint64_t>* pBuffer, std::vector<PRINTER_INFO_2A*>* pPrinters);

// A port of the system, level 2.
struct SPort {
    std::string name, monitor, description;
    uint32_t type;
};
// The system's ports, read through EnumPortsW: wine's EnumPortsA can read
// past its own records when a port is added or deleted during the call.
bool ReadSystemPorts(std::vector<SPort>* pPorts);

// Every user's default-printer entry ("printer,driver,port", the profile's
// section "windows", entry "device") that names csName: set to pszDevice, or
// removed when it is null.
void RetargetDefaults(const std::string& csName, const char* pszDevice);

} // namespace win32::spooler
} // namespace platform
