// The print spooler of the machine: local printers (print queues), the ports
// they print to with the port monitor that owns each port, printer drivers by
// name, environment and version, and port monitors; and the user's profile
// entry that names the default printer.
//
// The calls follow the Win32 spooler API: enumerations and reads fill a byte
// buffer that the caller sizes with a first call (no buffer gives
// ERROR_INSUFFICIENT_BUFFER and the size needed; nothing to list succeeds with
// a count of 0). The buffer holds the records first and their texts after
// them; the records' text pointers point into the same buffer, and are never
// null here (an empty text is ""). The buffer must be aligned as malloc's is.
//
// Every spooler call fails with RPC_S_SERVER_UNAVAILABLE (1722) while the
// "Spooler" service of the machine is not running. Names of printers, ports,
// monitors and drivers compare without regard to (ASCII) case. Safe for many
// threads and several processes at once.
//
// The spooler itself refuses a printer name (ERROR_INVALID_PRINTER_NAME, 1801)
// that is empty or only blanks, longer than 220 characters, or holds a
// backslash, a comma or a control character. Publishing (0x2000) is kept only
// for a shared printer on Windows 2000 and later; elsewhere the spooler drops
// the attribute.
#pragma once

#include "platform/change_stamp.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum : uint32_t {
    PRINTER_ENUM_LOCAL = 0x00000002,

    PRINTER_ATTRIBUTE_SHARED = 0x00000008,
    PRINTER_ATTRIBUTE_PUBLISHED = 0x00002000,

    PRINTER_ACCESS_ADMINISTER = 0x00000004,
    PRINTER_ACCESS_USE = 0x00000008,
    PRINTER_DELETE = 0x00010000, // the standard DELETE right
    PRINTER_ALL_ACCESS = 0x000F000C,

    PORT_TYPE_WRITE = 0x0001,
    PORT_TYPE_READ = 0x0002,

    // Longest printer name the spooler takes.
    MAX_PRINTER_NAME = 220,
};

// Level 2 of a printer: the fields this system reads and writes.
struct PRINTER_INFO_2 {
    const char* pPrinterName;
    const char* pShareName;
    const char* pPortName;
    const char* pDriverName;
    const char* pComment;
    const char* pLocation;
    const char* pSepFile;
    uint32_t Attributes;
};

// Level 2 of a port.
struct PORT_INFO_2 {
    const char* pPortName;
    const char* pMonitorName;
    const char* pDescription;
    uint32_t fPortType;
};

// Level 2 of a port monitor.
struct MONITOR_INFO_2 {
    const char* pName;
    const char* pEnvironment; // null or "": the machine's own environment
    const char* pDLLName;
};

// Level 3 of a printer driver (without help file and dependent files).
struct DRIVER_INFO_3 {
    uint32_t cVersion; // 0 Windows 9x, 2 Windows NT 4.0, 3 Windows 2000 and later
    const char* pName;
    const char* pEnvironment; // "Windows 4.0", "Windows NT x86", ...; null: the machine's own
    const char* pDriverPath;
    const char* pDataFile;
    const char* pConfigFile;
};

struct PRINTER_DEFAULTS {
    const char* pDatatype;
    void* pDevMode;
    uint32_t DesiredAccess;
};

struct PrinterHandle;
using HPRINTER = PrinterHandle*;

// The spooler's stamp for the calling thread (see change_stamp.h): the local
// printers, ports, drivers and monitors; invalid while the spooler does not run,
// and always on Windows, whose spooler keeps none (callers read again).
ChangeStamp SpoolerChangeStamp();

// Printers. OpenPrinter without defaults (or with no access asked) opens for
// use only; SetPrinter needs PRINTER_ACCESS_ADMINISTER and DeletePrinter needs
// PRINTER_DELETE (both in PRINTER_ALL_ACCESS). An unknown name gives
// ERROR_INVALID_PRINTER_NAME.
bool OpenPrinter(const std::string& csPrinterName, HPRINTER* phPrinter,
                 const PRINTER_DEFAULTS* pDefault);
// Releases the handle in every case.
bool ClosePrinter(HPRINTER hPrinter);
// Adds a local printer (level 2) and opens it with all access; null on failure:
// 1801 bad name, 1802 the name exists, 1796 unknown port, 1797 no such driver
// for this machine's environment, 1215 shared without a share name, 2118 the
// share name is in use by another shared printer. A default-printer entry of
// any user that still names a printer of the new name is stale and removed, so
// a new printer never becomes a default nobody chose.
HPRINTER AddPrinter(uint32_t Level, const PRINTER_INFO_2* pPrinter);
bool GetPrinter(HPRINTER hPrinter, uint32_t Level, uint8_t* pPrinter, uint32_t cbBuf,
                uint32_t* pcbNeeded);
// Level 2 with command 0 replaces every field, the name included (a rename);
// the checks are those of AddPrinter. Null texts count as empty. A rename
// carries every user's default-printer entry that names the printer with it.
bool SetPrinter(HPRINTER hPrinter, uint32_t Level, const PRINTER_INFO_2* pPrinter,
                uint32_t Command);
// Deletes the printer with its jobs; every user's default-printer entry that
// names it is removed.
bool DeletePrinter(HPRINTER hPrinter);
// Flags must include PRINTER_ENUM_LOCAL; level 2. In creation order (on
// Windows in the order the spooler gives).
bool EnumPrinters(uint32_t Flags, uint32_t Level, uint8_t* pPrinterEnum, uint32_t cbBuf,
                  uint32_t* pcbNeeded, uint32_t* pcReturned);

// Ports, level 2, in creation order (on Windows in the spooler's order). A
// new port belongs to an installed monitor
// (ERROR_UNKNOWN_PRINT_MONITOR otherwise); its name must be new (183). On
// Windows the monitor is given the name only; the description and the type
// are the monitor's.
bool EnumPorts(uint32_t Level, uint8_t* pPorts, uint32_t cbBuf, uint32_t* pcbNeeded,
               uint32_t* pcReturned);
bool AddPortEx(uint32_t Level, const PORT_INFO_2* pPort, const std::string& csMonitorName);
// ERROR_BUSY while a printer prints to the port.
bool DeletePort(const std::string& csPortName);

// Port monitors, level 2. A monitor's DLL must lie in the system directory
// (ERROR_MOD_NOT_FOUND otherwise); 3006 when the name is taken.
bool EnumMonitors(uint32_t Level, uint8_t* pMonitors, uint32_t cbBuf, uint32_t* pcbNeeded,
                  uint32_t* pcReturned);
bool AddMonitor(uint32_t Level, const MONITOR_INFO_2* pMonitor);
// ERROR_PRINT_MONITOR_IN_USE while it owns ports.
bool DeleteMonitor(const char* pEnvironment, const std::string& csMonitorName);

// Printer drivers, level 3. pEnvironment null: this machine's environment;
// "all": every environment. Adding a driver that exists (same name,
// environment and version) replaces it.
bool EnumPrinterDrivers(const char* pEnvironment, uint32_t Level, uint8_t* pDriverInfo,
                        uint32_t cbBuf, uint32_t* pcbNeeded, uint32_t* pcReturned);
bool AddPrinterDriver(uint32_t Level, const DRIVER_INFO_3* pDriverInfo);
// Removes every version of the driver in the environment; ERROR_PRINTER_DRIVER_IN_USE
// while a printer of this machine's environment uses it.
bool DeletePrinterDriver(const char* pEnvironment, const std::string& csDriverName);

// Print jobs. A job is started on an open printer, written and ended through
// the same handle; closing the handle before EndDocPrinter discards the job.
// pOutputFile must be null or empty (printing to a file is not offered), and
// pDatatype null or "RAW". WritePrinter without a started job gives
// ERROR_SPL_NO_STARTDOC; a second StartDocPrinter on the handle gives
// ERROR_INVALID_PRINTER_STATE.
struct DOC_INFO_1 {
    const char* pDocName;
    const char* pOutputFile;
    const char* pDatatype;
};
// Starts a print job on an open printer; its job id, 0 on failure.
uint32_t StartDocPrinter(HPRINTER hPrinter, uint32_t Level, const DOC_INFO_1* pDocInfo);
bool WritePrinter(HPRINTER hPrinter, const void* pBuf, uint32_t cbBuf, uint32_t* pcWritten);
bool EndDocPrinter(HPRINTER hPrinter);

enum : uint32_t {
    JOB_STATUS_SPOOLING = 0x00000008,
    JOB_STATUS_PRINTED = 0x00000080,
};

// Level 1 of a job, with the size of level 2 and the time of submission.
struct JOB_INFO_1 {
    uint32_t JobId;
    const char* pPrinterName;
    const char* pUserName;
    const char* pDocument;
    const char* pDatatype;
    uint32_t Status;   // JOB_STATUS_SPOOLING until EndDocPrinter, then JOB_STATUS_PRINTED
                       // (on Windows the system's bits; a printed job leaves the list)
    uint32_t Size;     // bytes written
    int64_t Submitted; // seconds since 1970-01-01 UTC
};
// The printer's jobs in submission order, from the FirstJob-th (0-based), at
// most NoJobs of them; level 1. Deleting a printer deletes its jobs.
bool EnumJobs(HPRINTER hPrinter, uint32_t FirstJob, uint32_t NoJobs, uint32_t Level, uint8_t* pJob,
              uint32_t cbBuf, uint32_t* pcbNeeded, uint32_t* pcReturned);
// ---- the spooler's back end ----
// These belong to the emulated machine. On Windows the machine's own spooler
// holds the printers: GetSpoolerBackEnd answers Emulated (no CUPS scheduler),
// SetSpoolerBackEnd and ReadMonitorRegistrations ERROR_NOT_SUPPORTED,
// CupsServer "", IsCupsSchedulerShared false, and the private scheduler's
// calls succeed doing nothing (a root without one).

// Where a system root keeps its printers: in the emulated spooler's store (the
// default), or as the printers of a CUPS scheduler, either the root's own
// private one (csCupsServer empty; its files under "cups/" in the root) or a
// shared one whose local socket csCupsServer names. Ports, monitors and
// drivers stay in the emulated store in both cases. Kept in the registry
// (HKLM "System\CurrentControlSet\Control\Print", values "Spooler back end"
// and "CUPS server").
enum class SpoolerBackEnd { Emulated, Cups };
bool SetSpoolerBackEnd(SpoolerBackEnd eBackEnd, const std::string& csCupsServer);
SpoolerBackEnd GetSpoolerBackEnd();
// The local socket of the root's CUPS scheduler (the private one's when no
// shared one is set).
std::string CupsServer();
// Whether the root's scheduler is a shared one, which the system never stops.
bool IsCupsSchedulerShared();
// The CUPS name of a queue: letters, digits, "-" and "." stay, a blank becomes
// "_", every other byte "+XX" (two upper-case hex digits). Reversible and
// without collisions; empty when the result would be longer than CUPS takes
// (127 bytes). CupsPrinterName is the inverse (empty for a name the rule
// never makes).
std::string CupsQueueName(const std::string& csPrinterName);
std::string CupsPrinterName(const std::string& csQueueName);

// The root's private scheduler, for the "Spooler" service: its configuration
// and folders laid by LayPrivateScheduler, started (and waited for until it
// answers) with the service and stopped with it. Both are no-ops for a root
// without one; false (last error set) when the scheduler cannot run.
bool LayPrivateScheduler();
bool StartPrivateScheduler();
void StopPrivateScheduler();

// ---- the spooler service's own side ----

// Sent by AddMonitor and DeleteMonitor to the running "Spooler" service: load
// the monitors registered since, unload those deleted. The service answers
// once the monitors run (or failed to start).
constexpr uint32_t SPOOLER_CONTROL_MONITORS_CHANGED = 128;

struct MonitorRegistration {
    std::string csName;
    std::string csDLLName; // a file of the system directory
};
// The registered monitors, for the spooler service itself: readable while it
// starts, before the spooler answers calls.
bool ReadMonitorRegistrations(std::vector<MonitorRegistration>* pMonitors);

// The user's profile (the "win.ini" of the machine): section "windows", entry
// "device" holds "printer,driver,port" of the default printer. These are not
// spooler calls and work while the spooler is stopped. Each user has a
// profile of his own (on POSIX by real user id), so one user's default
// printer is not another's.
// Copies at most nSize - 1 characters of the entry (or csDefault) into
// *pcsReturned and returns their count.
uint32_t GetProfileString(const std::string& csSection, const std::string& csKey,
                          const std::string& csDefault, std::string* pcsReturned, uint32_t nSize);
// A null pszValue deletes the entry.
bool WriteProfileString(const std::string& csSection, const std::string& csKey,
                        const char* pszValue);

} // namespace platform
