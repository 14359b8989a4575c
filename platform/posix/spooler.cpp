// The spooler kept in SQLite ("spooler.db" in the system root).
//
// Printers, ports, monitors and drivers are rows; names use NOCASE collation.
// Every change that checks before it writes runs in one immediate transaction,
// so two processes cannot both take a free name. Printer handles carry the
// printer's row id, so a rename through one handle leaves other handles valid.
// On a root whose back end is CUPS every printer is a CUPS queue as well
// (internal/spooler_cups.h).
#include "platform/spooler.h"

#include "internal/spooler_cups.h"
#include "internal/spooler_handles.h"
#include "internal/spooler_store.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "printer_name.h"

#include <mutex>
#include <set>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {
// Handles handed out and not yet closed, so a stale or foreign pointer is
// refused instead of being followed.
std::mutex g_handlesMutex;
std::set<PrinterHandle*> g_handles;
} // namespace

bool posix::spooler::ValidHandle(HPRINTER hPrinter) {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    return g_handles.count(hPrinter) != 0;
}

namespace {

using namespace posix::spooler;

// ---- printers ---------------------------------------------------------------

struct SPrinterRow {
    int64_t id = 0;
    std::string name, share, port, driver, comment, location, sepFile;
    uint32_t attributes = 0;
};

const char* const kPrinterColumns =
    "id, name, share_name, port, driver, comment, location, sep_file, attributes";

SPrinterRow PrinterFromStatement(sqlite3_stmt* stmt) {
    SPrinterRow row;
    row.id = sqlite3_column_int64(stmt, 0);
    row.name = ColumnText(stmt, 1);
    row.share = ColumnText(stmt, 2);
    row.port = ColumnText(stmt, 3);
    row.driver = ColumnText(stmt, 4);
    row.comment = ColumnText(stmt, 5);
    row.location = ColumnText(stmt, 6);
    row.sepFile = ColumnText(stmt, 7);
    row.attributes = uint32_t(sqlite3_column_int64(stmt, 8));
    return row;
}

// Looks a printer up by id (csName empty) or by name; false (last error set)
// when there is none.
bool FindPrinter(int64_t id, const std::string& csName, SPrinterRow* pRow) {
    std::string sql = std::string("SELECT ") + kPrinterColumns + " FROM spl_printers WHERE " +
                      (csName.empty() ? "id=?" : "name=?");
    posix::StatementScope stmt(Store().Prepare(sql.c_str()));
    if (!stmt)
        return false;
    if (csName.empty())
        sqlite3_bind_int64(stmt.get(), 1, id);
    else
        BindText(stmt.get(), 1, csName);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return Fail(csName.empty() ? ERROR_PRINTER_DELETED : ERROR_INVALID_PRINTER_NAME);
    *pRow = PrinterFromStatement(stmt.get());
    return true;
}

// A level-2 record as the store keeps it: null texts are empty, and the
// published attribute stays only where it can hold.
bool RowFromRecord(const PRINTER_INFO_2* pPrinter, SPrinterRow* pRow) {
    if (!pPrinter)
        return Fail(ERROR_INVALID_PARAMETER);
    pRow->name = Text(pPrinter->pPrinterName);
    pRow->share = Text(pPrinter->pShareName);
    pRow->port = Text(pPrinter->pPortName);
    pRow->driver = Text(pPrinter->pDriverName);
    pRow->comment = Text(pPrinter->pComment);
    pRow->location = Text(pPrinter->pLocation);
    pRow->sepFile = Text(pPrinter->pSepFile);
    pRow->attributes = pPrinter->Attributes;
    bool bShared = pRow->attributes & PRINTER_ATTRIBUTE_SHARED;
    if (!bShared || GetVersion().dwMajorVersion <= 4)
        pRow->attributes &= ~uint32_t(PRINTER_ATTRIBUTE_PUBLISHED);
    return true;
}

// The checks of a new or changed printer, inside the writing transaction.
// selfId is the printer being changed (0 for a new one).
bool CheckPrinterRow(const SPrinterRow& row, int64_t selfId) {
    if (!IsValidPrinterName(row.name))
        return Fail(ERROR_INVALID_PRINTER_NAME);
    if (Exists("SELECT 1 FROM spl_printers WHERE name=? AND id<>?", {row.name}, selfId))
        return Fail(ERROR_PRINTER_ALREADY_EXISTS);
    if (row.port.empty() || !Exists("SELECT 1 FROM spl_ports WHERE name=?", {row.port}))
        return Fail(ERROR_UNKNOWN_PORT);
    if (row.driver.empty() || !Exists("SELECT 1 FROM spl_drivers WHERE name=? AND environment=?",
                                      {row.driver, kCurrentEnvironment}))
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    if (row.attributes & PRINTER_ATTRIBUTE_SHARED) {
        if (row.share.empty() || !IsValidPrinterName(row.share))
            return Fail(ERROR_INVALID_SHARENAME);
        if (Exists("SELECT 1 FROM spl_printers WHERE share_name=? COLLATE NOCASE AND id<>? AND "
                   "(attributes & 8)<>0",
                   {row.share}, selfId))
            return Fail(NERR_DuplicateShare);
    }
    return true;
}

void BindPrinterRow(sqlite3_stmt* stmt, const SPrinterRow& row) {
    BindText(stmt, 1, row.name);
    BindText(stmt, 2, row.share);
    BindText(stmt, 3, row.port);
    BindText(stmt, 4, row.driver);
    BindText(stmt, 5, row.comment);
    BindText(stmt, 6, row.location);
    BindText(stmt, 7, row.sepFile);
    sqlite3_bind_int64(stmt, 8, row.attributes);
}

HPRINTER NewHandle(int64_t id, uint32_t access) {
    auto* handle = new PrinterHandle();
    handle->id = id;
    handle->access = access;
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    g_handles.insert(handle);
    return handle;
}

// "windows", "device": the default printer's entry of the profile.
bool IsDefaultPrinterEntry(const std::string& csSection, const std::string& csKey) {
    return SameText(csSection, "windows") && SameText(csKey, "device");
}

// The profile of the calling user: as each Windows user has a hive of his
// own, each user (by real user id) has a key of his own here.
const char* const kProfilesKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Profiles";

std::string ProfileKey(const std::string& csSection) {
    return std::string(kProfilesKey) + "\\" + std::to_string(::getuid()) + "\\" + csSection;
}

// Every user's default-printer entry ("printer,driver,port" in the profile's
// section "windows") that names csName: set to pszDevice, or removed when it
// is null. Users' profiles lie side by side under one key. On CUPS the calling
// user's default is CUPS's own (lpoptions), which follows too.
void RetargetDefaults(const std::string& csName, const char* pszDevice) {
    if (OnCups() && SameText(CupsUserDefault(), csName)) {
        const std::string csDevice = pszDevice ? pszDevice : "";
        CupsSetUserDefault(csDevice.substr(0, csDevice.find(',')));
    }
    HKEY hProfiles = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kProfilesKey, &hProfiles) != ERROR_SUCCESS)
        return;
    std::string csUser;
    for (uint32_t i = 0; RegEnumKeyEx(hProfiles, i, &csUser) == ERROR_SUCCESS; ++i) {
        HKEY hWindows = nullptr;
        if (RegOpenKeyEx(hProfiles, csUser + "\\windows", &hWindows) != ERROR_SUCCESS)
            continue;
        std::string csDevice;
        if (RegQueryString(hWindows, "device", &csDevice) == ERROR_SUCCESS &&
            SameText(csDevice.substr(0, csDevice.find(',')), csName)) {
            if (pszDevice)
                RegSetString(hWindows, "device", pszDevice);
            else
                RegDeleteValue(hWindows, "device");
        }
        RegCloseKey(hWindows);
    }
    RegCloseKey(hProfiles);
}

} // namespace

bool OpenPrinter(const std::string& csPrinterName, HPRINTER* phPrinter,
                 const PRINTER_DEFAULTS* pDefault) {
    if (!phPrinter)
        return Fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    if (!SpoolerAnswers() || (OnCups() && !CupsForgetVanishedQueues()))
        return false;
    SPrinterRow row;
    if (csPrinterName.empty() || !FindPrinter(0, csPrinterName, &row))
        return Fail(ERROR_INVALID_PRINTER_NAME);
    uint32_t access = pDefault && pDefault->DesiredAccess ? pDefault->DesiredAccess
                                                          : uint32_t(PRINTER_ACCESS_USE);
    *phPrinter = NewHandle(row.id, access);
    return true;
}

bool ClosePrinter(HPRINTER hPrinter) {
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        if (!g_handles.erase(hPrinter))
            return Fail(ERROR_INVALID_HANDLE);
    }
    DiscardJob(hPrinter);
    delete hPrinter;
    return true;
}

HPRINTER AddPrinter(uint32_t Level, const PRINTER_INFO_2* pPrinter) {
    if (!SpoolerAnswers())
        return nullptr;
    if (Level != 2) {
        Fail(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    SPrinterRow row;
    if (!RowFromRecord(pPrinter, &row))
        return nullptr;
    posix::SqliteTransaction tx(Store().Db());
    if (!tx.Ok()) {
        Fail(ERROR_BUSY);
        return nullptr;
    }
    if (!CheckPrinterRow(row, 0) || (OnCups() && !CupsPutQueue("", *pPrinter)))
        return nullptr;
    {
        posix::StatementScope ins(
            Store().Prepare("INSERT INTO spl_printers(name, share_name, port, driver, comment, "
                            "location, sep_file, attributes) VALUES(?,?,?,?,?,?,?,?)"));
        if (!ins)
            return nullptr;
        BindPrinterRow(ins.get(), row);
        if (sqlite3_step(ins.get()) != SQLITE_DONE) {
            Fail(ERROR_GEN_FAILURE);
            return nullptr;
        }
    }
    int64_t id = sqlite3_last_insert_rowid(Store().Db());
    if (!tx.Commit()) {
        Fail(ERROR_GEN_FAILURE);
        return nullptr;
    }
    // No printer had this name: an entry naming it is left from one renamed
    // or deleted outside this spooler, and must not make the new one a default.
    RetargetDefaults(row.name, nullptr);
    return NewHandle(id, PRINTER_ALL_ACCESS);
}

bool GetPrinter(HPRINTER hPrinter, uint32_t Level, uint8_t* pPrinter, uint32_t cbBuf,
                uint32_t* pcbNeeded) {
    if (!SpoolerAnswers())
        return false;
    if (!ValidHandle(hPrinter))
        return Fail(ERROR_INVALID_HANDLE);
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    SPrinterRow row;
    if ((OnCups() && !CupsForgetVanishedQueues()) || !FindPrinter(hPrinter->id, "", &row))
        return false;
    return PackPrinters(std::vector<SPrinterRow>{row}, pPrinter, cbBuf, pcbNeeded, nullptr);
}

bool SetPrinter(HPRINTER hPrinter, uint32_t Level, const PRINTER_INFO_2* pPrinter,
                uint32_t Command) {
    if (!SpoolerAnswers())
        return false;
    if (!ValidHandle(hPrinter))
        return Fail(ERROR_INVALID_HANDLE);
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (Command != 0)
        return Fail(ERROR_INVALID_PRINTER_COMMAND);
    if (!(hPrinter->access & PRINTER_ACCESS_ADMINISTER))
        return Fail(ERROR_ACCESS_DENIED);
    SPrinterRow row;
    if (!RowFromRecord(pPrinter, &row))
        return false;
    posix::SqliteTransaction tx(Store().Db());
    if (!tx.Ok())
        return Fail(ERROR_BUSY);
    SPrinterRow current;
    if (!FindPrinter(hPrinter->id, "", &current) || !CheckPrinterRow(row, hPrinter->id))
        return false;
    PRINTER_INFO_2 record{row.name.c_str(),    row.share.c_str(),   row.port.c_str(),
                          row.driver.c_str(),  row.comment.c_str(), row.location.c_str(),
                          row.sepFile.c_str(), row.attributes};
    if (OnCups() && !CupsPutQueue(current.name, record))
        return false;
    {
        posix::StatementScope upd(
            Store().Prepare("UPDATE spl_printers SET name=?, share_name=?, port=?, driver=?, "
                            "comment=?, location=?, sep_file=?, attributes=? WHERE id=?"));
        if (!upd)
            return false;
        BindPrinterRow(upd.get(), row);
        sqlite3_bind_int64(upd.get(), 9, hPrinter->id);
        if (sqlite3_step(upd.get()) != SQLITE_DONE)
            return Fail(ERROR_GEN_FAILURE);
    }
    if (!tx.Commit())
        return Fail(ERROR_GEN_FAILURE);
    // The users' default follows the queue through a rename (and a changed
    // driver or port), as the entry names all three.
    if (current.name != row.name || current.driver != row.driver || current.port != row.port) {
        const std::string csDevice = row.name + "," + row.driver + "," + row.port;
        RetargetDefaults(current.name, csDevice.c_str());
    }
    return true;
}

bool DeletePrinter(HPRINTER hPrinter) {
    if (!SpoolerAnswers())
        return false;
    if (!ValidHandle(hPrinter))
        return Fail(ERROR_INVALID_HANDLE);
    if (!(hPrinter->access & PRINTER_DELETE))
        return Fail(ERROR_ACCESS_DENIED);
    SPrinterRow row;
    if (!FindPrinter(hPrinter->id, "", &row) || (OnCups() && !CupsRemoveQueue(row.name)))
        return false;
    if (!Execute("DELETE FROM spl_printers WHERE id=?", {}, hPrinter->id))
        return false;
    Execute("DELETE FROM spl_jobs WHERE printer_id=?", {}, hPrinter->id);
    // The default printer is gone with it, for every user.
    RetargetDefaults(row.name, nullptr);
    return true;
}

ChangeStamp SpoolerChangeStamp() {
    // A queue deleted in CUPS changes the store as it is dropped.
    if (!SpoolerAnswers() || (OnCups() && !CupsForgetVanishedQueues()))
        return ChangeStamp{};
    return Store().Stamp();
}

bool EnumPrinters(uint32_t Flags, uint32_t Level, uint8_t* pPrinterEnum, uint32_t cbBuf,
                  uint32_t* pcbNeeded, uint32_t* pcReturned) {
    if (!SpoolerAnswers())
        return false;
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (!(Flags & PRINTER_ENUM_LOCAL))
        return Fail(ERROR_INVALID_PARAMETER);
    if (OnCups() && !CupsForgetVanishedQueues())
        return false;
    std::vector<SPrinterRow> rows;
    {
        std::string sql =
            std::string("SELECT ") + kPrinterColumns + " FROM spl_printers ORDER BY id";
        posix::StatementScope stmt(Store().Prepare(sql.c_str()));
        if (!stmt)
            return false;
        while (sqlite3_step(stmt.get()) == SQLITE_ROW)
            rows.push_back(PrinterFromStatement(stmt.get()));
    }
    return PackPrinters(rows, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
}

// ---- ports ------------------------------------------------------------------

bool EnumPorts(uint32_t Level, uint8_t* pPorts, uint32_t cbBuf, uint32_t* pcbNeeded,
               uint32_t* pcReturned) {
    if (!SpoolerAnswers())
        return false;
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    struct SRow {
        std::string name, monitor, description;
        uint32_t type;
    };
    std::vector<SRow> rows;
    {
        posix::StatementScope stmt(Store().Prepare(
            "SELECT p.name, COALESCE(m.name, p.monitor), p.description, p.type FROM spl_ports p "
            "LEFT JOIN spl_monitors m ON m.name=p.monitor ORDER BY p.id"));
        if (!stmt)
            return false;
        while (sqlite3_step(stmt.get()) == SQLITE_ROW)
            rows.push_back({ColumnText(stmt.get(), 0), ColumnText(stmt.get(), 1),
                            ColumnText(stmt.get(), 2),
                            uint32_t(sqlite3_column_int64(stmt.get(), 3))});
    }
    return PackPorts(rows, pPorts, cbBuf, pcbNeeded, pcReturned);
}

bool AddPortEx(uint32_t Level, const PORT_INFO_2* pPort, const std::string& csMonitorName) {
    if (!SpoolerAnswers())
        return false;
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (!pPort || Text(pPort->pPortName).empty())
        return Fail(ERROR_INVALID_PARAMETER);
    posix::SqliteTransaction tx(Store().Db());
    if (!tx.Ok())
        return Fail(ERROR_BUSY);
    std::string monitor;
    {
        posix::StatementScope stmt(Store().Prepare("SELECT name FROM spl_monitors WHERE name=?"));
        if (!stmt)
            return false;
        BindText(stmt.get(), 1, csMonitorName);
        if (sqlite3_step(stmt.get()) != SQLITE_ROW)
            return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
        monitor = ColumnText(stmt.get(), 0);
    }
    if (Exists("SELECT 1 FROM spl_ports WHERE name=?", {pPort->pPortName}))
        return Fail(ERROR_ALREADY_EXISTS);
    {
        posix::StatementScope ins(Store().Prepare(
            "INSERT INTO spl_ports(name, monitor, description, type) VALUES(?,?,?,?)"));
        if (!ins)
            return false;
        BindText(ins.get(), 1, pPort->pPortName);
        BindText(ins.get(), 2, monitor);
        BindText(ins.get(), 3, Text(pPort->pDescription));
        sqlite3_bind_int64(ins.get(), 4, pPort->fPortType ? pPort->fPortType : PORT_TYPE_WRITE);
        if (sqlite3_step(ins.get()) != SQLITE_DONE)
            return Fail(ERROR_GEN_FAILURE);
    }
    return tx.Commit() || Fail(ERROR_GEN_FAILURE);
}

bool DeletePort(const std::string& csPortName) {
    if (!SpoolerAnswers())
        return false;
    posix::SqliteTransaction tx(Store().Db());
    if (!tx.Ok())
        return Fail(ERROR_BUSY);
    if (!Exists("SELECT 1 FROM spl_ports WHERE name=?", {csPortName}))
        return Fail(ERROR_UNKNOWN_PORT);
    if (Exists("SELECT 1 FROM spl_printers WHERE port=? COLLATE NOCASE", {csPortName}))
        return Fail(ERROR_BUSY);
    if (!Execute("DELETE FROM spl_ports WHERE name=?", {csPortName}))
        return false;
    return tx.Commit() || Fail(ERROR_GEN_FAILURE);
}

// ---- the user's profile -----------------------------------------------------

uint32_t GetProfileString(const std::string& csSection, const std::string& csKey,
                          const std::string& csDefault, std::string* pcsReturned, uint32_t nSize) {
    std::string value = csDefault;
    HKEY hKey = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, ProfileKey(csSection), &hKey) == ERROR_SUCCESS) {
        std::string stored;
        if (RegQueryString(hKey, csKey, &stored) == ERROR_SUCCESS)
            value = stored;
        RegCloseKey(hKey);
    }
    // On CUPS the user's default is CUPS's (lpoptions), whoever set it.
    if (IsDefaultPrinterEntry(csSection, csKey) && OnCups()) {
        std::string cupsDefault = CupsUserDefault();
        if (cupsDefault.empty())
            value = csDefault;
        else if (!SameText(value.substr(0, value.find(',')), cupsDefault))
            value = cupsDefault + ",,";
    }
    if (nSize == 0)
        value.clear();
    else if (value.size() > nSize - 1)
        value.resize(nSize - 1);
    if (pcsReturned)
        *pcsReturned = value;
    return uint32_t(value.size());
}

bool WriteProfileString(const std::string& csSection, const std::string& csKey,
                        const char* pszValue) {
    HKEY hKey = nullptr;
    uint32_t rc = RegCreateKeyEx(HKEY_CURRENT_USER, ProfileKey(csSection), &hKey);
    if (rc != ERROR_SUCCESS)
        return Fail(rc);
    rc = pszValue ? RegSetString(hKey, csKey, pszValue) : RegDeleteValue(hKey, csKey);
    RegCloseKey(hKey);
    if (rc == ERROR_FILE_NOT_FOUND && !pszValue)
        rc = ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return Fail(rc);
    if (IsDefaultPrinterEntry(csSection, csKey) && OnCups()) {
        std::string device = pszValue ? pszValue : "";
        return CupsSetUserDefault(device.substr(0, device.find(',')));
    }
    return true;
}

} // namespace platform
