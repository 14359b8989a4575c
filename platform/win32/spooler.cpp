// The machine's spooler on Windows: printers through winspool, and what the
// spooler sources share.
//
// The spooler makes its own refusals; the back end makes the printer checks
// of the interface before it asks (the name rule, a name that exists, an
// unknown port or driver, the share name), so a machine whose spooler is
// lenient refuses what Windows' refuses. The system's check stays the one that
// holds when two processes add the same name at once.
#include "platform/spooler.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/os.h"
#include "printer_name.h"
#include "spooler_records.h"

#include "spooler_api.h"

#include <algorithm>
#include <cwchar>

namespace platform {

using namespace win32::spooler;

#if defined(_WIN64)
const char* const win32::spooler::kMachineEnvironment = "Windows x64";
#else
const char* const win32::spooler::kMachineEnvironment = "Windows NT x86";
#endif

std::string win32::spooler::Text(const char* psz) {
    return psz ? psz : "";
}

bool win32::spooler::SameText(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

bool win32::spooler::SystemFail() {
    return Fail(uint32_t(::GetLastError()));
}

bool win32::spooler::ReadSystemPrinters(std::vector<uint64_t>* pBuffer,
                                        std::vector<PRINTER_INFO_2A*>* pPrinters) {
    DWORD count = 0;
    if (!ReadSystemRecords(
            [](BYTE* p, DWORD cb, DWORD* pNeeded, DWORD* pReturned) {
                return ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, p, cb, pNeeded, pReturned);
            },
            pBuffer, &count))
        return false;
    auto* records = reinterpret_cast<PRINTER_INFO_2A*>(pBuffer->data());
    pPrinters->clear();
    for (DWORD i = 0; i < count; ++i)
        pPrinters->push_back(&records[i]);
    return true;
}

bool win32::spooler::ReadSystemPorts(std::vector<SPort>* pPorts) {
    std::vector<uint64_t> buffer;
    DWORD count = 0;
    if (!ReadSystemRecords(
            [](BYTE* p, DWORD cb, DWORD* pNeeded, DWORD* pReturned) {
                return ::EnumPortsW(nullptr, 2, p, cb, pNeeded, pReturned);
            },
            &buffer, &count))
        return false;
    auto text = [](const wchar_t* psz) {
        return psz ? Utf16ToAnsi(reinterpret_cast<const char16_t*>(psz), std::wcslen(psz)) : "";
    };
    auto* records = reinterpret_cast<PORT_INFO_2W*>(buffer.data());
    pPorts->clear();
    for (DWORD i = 0; i < count; ++i)
        pPorts->push_back({text(records[i].pPortName), text(records[i].pMonitorName),
                           text(records[i].pDescription), uint32_t(records[i].fPortType)});
    return true;
}

namespace {

// The fields of a printer that the platform has.
struct SPrinter {
    std::string name, share, port, driver, comment, location, sepFile;
    uint32_t attributes = 0;
};

SPrinter FromSystem(const PRINTER_INFO_2A& p) {
    return {Text(p.pPrinterName), Text(p.pShareName), Text(p.pPortName), Text(p.pDriverName),
            Text(p.pComment),     Text(p.pLocation),  Text(p.pSepFile),  uint32_t(p.Attributes)};
}

// A level-2 record as the spooler is given it: null texts are empty, and the
// published attribute stays only where it can hold.
bool FromRecord(const PRINTER_INFO_2* pPrinter, SPrinter* pOut) {
    if (!pPrinter)
        return Fail(ERROR_INVALID_PARAMETER);
    *pOut = {Text(pPrinter->pPrinterName), Text(pPrinter->pShareName), Text(pPrinter->pPortName),
             Text(pPrinter->pDriverName),  Text(pPrinter->pComment),   Text(pPrinter->pLocation),
             Text(pPrinter->pSepFile),     pPrinter->Attributes};
    if (!(pOut->attributes & PRINTER_ATTRIBUTE_SHARED) || GetVersion().dwMajorVersion <= 4)
        pOut->attributes &= ~uint32_t(PRINTER_ATTRIBUTE_PUBLISHED);
    return true;
}

// The fields of the platform's record set into the system's.
void ToSystem(const SPrinter& p, PRINTER_INFO_2A* pInfo) {
    pInfo->pPrinterName = const_cast<char*>(p.name.c_str());
    pInfo->pShareName = const_cast<char*>(p.share.c_str());
    pInfo->pPortName = const_cast<char*>(p.port.c_str());
    pInfo->pDriverName = const_cast<char*>(p.driver.c_str());
    pInfo->pComment = const_cast<char*>(p.comment.c_str());
    pInfo->pLocation = const_cast<char*>(p.location.c_str());
    pInfo->pSepFile = const_cast<char*>(p.sepFile.c_str());
    pInfo->Attributes = p.attributes;
}

bool HasDriver(const std::string& csDriver) {
    std::vector<uint64_t> buffer;
    DWORD count = 0;
    if (!ReadSystemRecords(
            [](BYTE* p, DWORD cb, DWORD* pNeeded, DWORD* pReturned) {
                return ::EnumPrinterDriversA(nullptr, nullptr, 1, p, cb, pNeeded, pReturned);
            },
            &buffer, &count))
        return false;
    auto* drivers = reinterpret_cast<DRIVER_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (SameText(Text(drivers[i].pName), csDriver))
            return true;
    return false;
}

// The checks of a new or changed printer; csSelf is the name of the printer
// being changed ("" for a new one).
bool CheckPrinter(const SPrinter& p, const std::string& csSelf) {
    if (!IsValidPrinterName(p.name))
        return Fail(ERROR_INVALID_PRINTER_NAME);
    std::vector<uint64_t> printerBuffer;
    std::vector<PRINTER_INFO_2A*> printers;
    std::vector<SPort> ports;
    if (!ReadSystemPrinters(&printerBuffer, &printers) || !ReadSystemPorts(&ports))
        return false;
    const bool bShared = p.attributes & PRINTER_ATTRIBUTE_SHARED;
    if (bShared && (p.share.empty() || !IsValidPrinterName(p.share)))
        return Fail(ERROR_INVALID_SHARENAME);
    for (const PRINTER_INFO_2A* other : printers) {
        const std::string csName = Text(other->pPrinterName);
        if (!csSelf.empty() && SameText(csName, csSelf))
            continue;
        if (SameText(csName, p.name))
            return Fail(ERROR_PRINTER_ALREADY_EXISTS);
        if (bShared && (other->Attributes & PRINTER_ATTRIBUTE_SHARED) &&
            SameText(Text(other->pShareName), p.share))
            return Fail(NERR_DuplicateShare);
    }
    bool bPort = false;
    for (const SPort& port : ports)
        bPort = bPort || SameText(port.name, p.port);
    if (!bPort)
        return Fail(ERROR_UNKNOWN_PORT);
    if (!HasDriver(p.driver))
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    return true;
}

// The system's level-2 record of an open printer, in *pBuffer.
bool ReadPrinter(::HANDLE h, std::vector<uint64_t>* pBuffer, PRINTER_INFO_2A** ppInfo) {
    DWORD count = 0;
    if (!ReadSystemRecords(
            [h](BYTE* p, DWORD cb, DWORD* pNeeded, DWORD* pReturned) {
                *pReturned = 1;
                return ::GetPrinterA(h, 2, p, cb, pNeeded);
            },
            pBuffer, &count))
        return false;
    *ppInfo = reinterpret_cast<PRINTER_INFO_2A*>(pBuffer->data());
    return true;
}

} // namespace

bool OpenPrinter(const std::string& csPrinterName, HPRINTER* phPrinter,
                 const PRINTER_DEFAULTS* pDefault) {
    if (!phPrinter)
        return Fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    // The system opens the print server for an empty name, and a monitor or
    // port for a name with a comma: neither is a printer.
    if (!IsValidPrinterName(csPrinterName))
        return Fail(ERROR_INVALID_PRINTER_NAME);
    // A spooler may hand out a handle for a name it does not have (wine's
    // does); a printer that is not listed is not there.
    std::vector<uint64_t> buffer;
    std::vector<PRINTER_INFO_2A*> printers;
    if (!ReadSystemPrinters(&buffer, &printers))
        return false;
    if (std::none_of(printers.begin(), printers.end(), [&](const PRINTER_INFO_2A* p) {
            return SameText(Text(p->pPrinterName), csPrinterName);
        }))
        return Fail(ERROR_INVALID_PRINTER_NAME);
    const uint32_t access = pDefault && pDefault->DesiredAccess ? pDefault->DesiredAccess
                                                                : uint32_t(PRINTER_ACCESS_USE);
    PRINTER_DEFAULTSA defaults{};
    defaults.pDatatype = const_cast<char*>(pDefault ? pDefault->pDatatype : nullptr);
    defaults.pDevMode = static_cast<DEVMODEA*>(pDefault ? pDefault->pDevMode : nullptr);
    defaults.DesiredAccess = access;
    ::HANDLE h = nullptr;
    if (!::OpenPrinterA(const_cast<char*>(csPrinterName.c_str()), &h, &defaults))
        return SystemFail();
    *phPrinter = new PrinterHandle{h, access};
    return true;
}

bool ClosePrinter(HPRINTER hPrinter) {
    if (!hPrinter)
        return Fail(ERROR_INVALID_HANDLE);
    // A job left open is discarded, not printed.
    if (hPrinter->jobId != 0)
        ::AbortPrinter(hPrinter->h);
    const bool bClosed = ::ClosePrinter(hPrinter->h);
    const DWORD dwError = ::GetLastError();
    delete hPrinter;
    return bClosed || Fail(uint32_t(dwError));
}

HPRINTER AddPrinter(uint32_t Level, const PRINTER_INFO_2* pPrinter) {
    if (Level != 2) {
        Fail(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    SPrinter p;
    if (!FromRecord(pPrinter, &p) || !CheckPrinter(p, ""))
        return nullptr;
    PRINTER_INFO_2A info{};
    ToSystem(p, &info);
    info.pPrintProcessor = const_cast<char*>("winprint");
    info.pDatatype = const_cast<char*>("RAW");
    ::HANDLE h = ::AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!h) {
        SystemFail();
        return nullptr;
    }
    // No printer had this name: an entry naming it is left from one renamed
    // or deleted outside this spooler, and must not make the new one a default.
    RetargetDefaults(p.name, nullptr);
    return new PrinterHandle{h, PRINTER_ALL_ACCESS};
}

bool GetPrinter(HPRINTER hPrinter, uint32_t Level, uint8_t* pPrinter, uint32_t cbBuf,
                uint32_t* pcbNeeded) {
    if (!hPrinter)
        return Fail(ERROR_INVALID_HANDLE);
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    std::vector<uint64_t> buffer;
    PRINTER_INFO_2A* info = nullptr;
    if (!ReadPrinter(hPrinter->h, &buffer, &info))
        return false;
    return PackPrinters(std::vector<SPrinter>{FromSystem(*info)}, pPrinter, cbBuf, pcbNeeded,
                        nullptr);
}

bool SetPrinter(HPRINTER hPrinter, uint32_t Level, const PRINTER_INFO_2* pPrinter,
                uint32_t Command) {
    if (!hPrinter)
        return Fail(ERROR_INVALID_HANDLE);
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (Command != 0)
        return Fail(ERROR_INVALID_PRINTER_COMMAND);
    if (!(hPrinter->access & PRINTER_ACCESS_ADMINISTER))
        return Fail(ERROR_ACCESS_DENIED);
    SPrinter p;
    std::vector<uint64_t> buffer;
    PRINTER_INFO_2A* info = nullptr;
    if (!FromRecord(pPrinter, &p) || !ReadPrinter(hPrinter->h, &buffer, &info))
        return false;
    const SPrinter current = FromSystem(*info);
    if (!CheckPrinter(p, current.name))
        return false;
    // The fields the platform does not have keep what the system holds.
    ToSystem(p, info);
    if (!::SetPrinterA(hPrinter->h, 2, reinterpret_cast<BYTE*>(info), 0))
        return SystemFail();
    // The users' default follows the printer through a rename (and a changed
    // driver or port), as the entry names all three.
    if (current.name != p.name || current.driver != p.driver || current.port != p.port) {
        const std::string csDevice = p.name + "," + p.driver + "," + p.port;
        RetargetDefaults(current.name, csDevice.c_str());
    }
    return true;
}

bool DeletePrinter(HPRINTER hPrinter) {
    if (!hPrinter)
        return Fail(ERROR_INVALID_HANDLE);
    if (!(hPrinter->access & PRINTER_DELETE))
        return Fail(ERROR_ACCESS_DENIED);
    std::vector<uint64_t> buffer;
    PRINTER_INFO_2A* info = nullptr;
    if (!ReadPrinter(hPrinter->h, &buffer, &info))
        return false;
    const std::string csName = Text(info->pPrinterName);
    // The printer goes with its jobs, which would otherwise keep it until
    // they are printed.
    if (hPrinter->access & PRINTER_ACCESS_ADMINISTER)
        ::SetPrinterA(hPrinter->h, 0, nullptr, PRINTER_CONTROL_PURGE);
    if (!::DeletePrinter(hPrinter->h))
        return SystemFail();
    RetargetDefaults(csName, nullptr);
    return true;
}

ChangeStamp SpoolerChangeStamp() {
    // The system keeps no stamp of its spooler: an invalid one makes every
    // caller read again.
    return ChangeStamp{};
}

bool EnumPrinters(uint32_t Flags, uint32_t Level, uint8_t* pPrinterEnum, uint32_t cbBuf,
                  uint32_t* pcbNeeded, uint32_t* pcReturned) {
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (!(Flags & PRINTER_ENUM_LOCAL))
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<uint64_t> buffer;
    std::vector<PRINTER_INFO_2A*> system;
    if (!ReadSystemPrinters(&buffer, &system))
        return false;
    std::vector<SPrinter> printers;
    for (const PRINTER_INFO_2A* p : system)
        printers.push_back(FromSystem(*p));
    return PackPrinters(printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
}

// ---- the emulated machine's back ends: Windows has its own spooler ---------

bool SetSpoolerBackEnd(SpoolerBackEnd, const std::string&) {
    return Fail(ERROR_NOT_SUPPORTED);
}

SpoolerBackEnd GetSpoolerBackEnd() {
    return SpoolerBackEnd::Emulated;
}

std::string CupsServer() {
    return "";
}

bool IsCupsSchedulerShared() {
    return false;
}

bool LayPrivateScheduler() {
    return true;
}

bool StartPrivateScheduler() {
    return true;
}

void StopPrivateScheduler() {}

bool ReadMonitorRegistrations(std::vector<MonitorRegistration>* pMonitors) {
    if (pMonitors)
        pMonitors->clear();
    return Fail(ERROR_NOT_SUPPORTED);
}

} // namespace platform
