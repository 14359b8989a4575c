// The spooler's port monitors and printer drivers (POSIX side of spooler.h).
#include "platform/spooler.h"

#include "internal/spooler_store.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/os.h"
#include "platform/service.h"

#include <strings.h>
#include <vector>

namespace platform {

using namespace posix::spooler;

// ---- monitors ---------------------------------------------------------------

bool EnumMonitors(uint32_t Level, uint8_t* pMonitors, uint32_t cbBuf, uint32_t* pcbNeeded,
                  uint32_t* pcReturned) {
    if (!SpoolerAnswers())
        return false;
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    struct SRow {
        std::string name, environment, dll;
    };
    std::vector<SRow> rows;
    {
        posix::StatementScope stmt(
            Store().Prepare("SELECT name, environment, dll FROM spl_monitors ORDER BY id"));
        if (!stmt)
            return false;
        while (sqlite3_step(stmt.get()) == SQLITE_ROW)
            rows.push_back(
                {ColumnText(stmt.get(), 0), ColumnText(stmt.get(), 1), ColumnText(stmt.get(), 2)});
    }
    return PackMonitors(rows, pMonitors, cbBuf, pcbNeeded, pcReturned);
}

// Tells the running spooler that its monitors changed; it loads them before
// it answers. A spooler that cannot be told loads them at its next start.
static void NotifyMonitorsChanged() {
    SC_HANDLE hManager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!hManager)
        return;
    if (SC_HANDLE hService = OpenService(hManager, "Spooler", SERVICE_ALL_ACCESS)) {
        SERVICE_STATUS status;
        ControlService(hService, SPOOLER_CONTROL_MONITORS_CHANGED, &status);
        CloseServiceHandle(hService);
    }
    CloseServiceHandle(hManager);
}

bool ReadMonitorRegistrations(std::vector<MonitorRegistration>* pMonitors) {
    pMonitors->clear();
    if (!Store().Db())
        return false;
    posix::StatementScope stmt(Store().Prepare("SELECT name, dll FROM spl_monitors ORDER BY id"));
    if (!stmt)
        return false;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        pMonitors->push_back({ColumnText(stmt.get(), 0), ColumnText(stmt.get(), 1)});
    return true;
}

bool AddMonitor(uint32_t Level, const MONITOR_INFO_2* pMonitor) {
    if (!SpoolerAnswers())
        return false;
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (!pMonitor || Text(pMonitor->pName).empty() || Text(pMonitor->pDLLName).empty())
        return Fail(ERROR_INVALID_PARAMETER);
    std::string environment;
    if (!ResolveEnvironment(pMonitor->pEnvironment, &environment))
        return false;
    std::string dll = pMonitor->pDLLName;
    // The spooler loads the monitor from the system directory.
    if (dll.find(PathSeparator()) != std::string::npos || !FileExists(GetSystemDirectory() + dll))
        return Fail(ERROR_MOD_NOT_FOUND);
    posix::SqliteTransaction tx(Store().Db());
    if (!tx.Ok())
        return Fail(ERROR_BUSY);
    if (Exists("SELECT 1 FROM spl_monitors WHERE name=?", {pMonitor->pName}))
        return Fail(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    {
        posix::StatementScope ins(
            Store().Prepare("INSERT INTO spl_monitors(name, environment, dll) VALUES(?,?,?)"));
        if (!ins)
            return false;
        BindText(ins.get(), 1, pMonitor->pName);
        BindText(ins.get(), 2, environment);
        BindText(ins.get(), 3, dll);
        if (sqlite3_step(ins.get()) != SQLITE_DONE)
            return Fail(ERROR_GEN_FAILURE);
    }
    if (!tx.Commit())
        return Fail(ERROR_GEN_FAILURE);
    NotifyMonitorsChanged();
    return true;
}

bool DeleteMonitor(const char* pEnvironment, const std::string& csMonitorName) {
    if (!SpoolerAnswers())
        return false;
    std::string environment;
    if (!ResolveEnvironment(pEnvironment, &environment))
        return false;
    posix::SqliteTransaction tx(Store().Db());
    if (!tx.Ok())
        return Fail(ERROR_BUSY);
    if (!Exists("SELECT 1 FROM spl_monitors WHERE name=?", {csMonitorName}))
        return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
    if (Exists("SELECT 1 FROM spl_ports WHERE monitor=?", {csMonitorName}))
        return Fail(ERROR_PRINT_MONITOR_IN_USE);
    if (!Execute("DELETE FROM spl_monitors WHERE name=?", {csMonitorName}))
        return false;
    if (!tx.Commit())
        return Fail(ERROR_GEN_FAILURE);
    NotifyMonitorsChanged();
    return true;
}

// ---- drivers ----------------------------------------------------------------

bool EnumPrinterDrivers(const char* pEnvironment, uint32_t Level, uint8_t* pDriverInfo,
                        uint32_t cbBuf, uint32_t* pcbNeeded, uint32_t* pcReturned) {
    if (!SpoolerAnswers())
        return false;
    if (Level != 3)
        return Fail(ERROR_INVALID_LEVEL);
    bool bAll = pEnvironment && strcasecmp(pEnvironment, "all") == 0;
    std::string environment;
    if (!bAll && !ResolveEnvironment(pEnvironment, &environment))
        return false;
    struct SRow {
        uint32_t version;
        std::string name, environment, driverPath, dataFile, configFile;
    };
    std::vector<SRow> rows;
    {
        posix::StatementScope stmt(Store().Prepare(
            "SELECT version, name, environment, driver_path, data_file, config_file "
            "FROM spl_drivers WHERE ?1 OR environment=?2 ORDER BY id"));
        if (!stmt)
            return false;
        sqlite3_bind_int(stmt.get(), 1, bAll ? 1 : 0);
        BindText(stmt.get(), 2, environment);
        while (sqlite3_step(stmt.get()) == SQLITE_ROW)
            rows.push_back({uint32_t(sqlite3_column_int64(stmt.get(), 0)),
                            ColumnText(stmt.get(), 1), ColumnText(stmt.get(), 2),
                            ColumnText(stmt.get(), 3), ColumnText(stmt.get(), 4),
                            ColumnText(stmt.get(), 5)});
    }
    return PackDrivers(rows, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
}

bool AddPrinterDriver(uint32_t Level, const DRIVER_INFO_3* pDriverInfo) {
    if (!SpoolerAnswers())
        return false;
    if (Level != 3)
        return Fail(ERROR_INVALID_LEVEL);
    if (!pDriverInfo || Text(pDriverInfo->pName).empty())
        return Fail(ERROR_INVALID_PARAMETER);
    std::string environment;
    if (!ResolveEnvironment(pDriverInfo->pEnvironment, &environment))
        return false;
    posix::StatementScope ins(Store().Prepare(
        "INSERT INTO spl_drivers(name, environment, version, driver_path, data_file, config_file) "
        "VALUES(?1,?2,?3,?4,?5,?6) ON CONFLICT(name, environment, version) DO UPDATE SET "
        "name=?1, driver_path=?4, data_file=?5, config_file=?6"));
    if (!ins)
        return false;
    BindText(ins.get(), 1, pDriverInfo->pName);
    BindText(ins.get(), 2, environment);
    sqlite3_bind_int64(ins.get(), 3, pDriverInfo->cVersion);
    BindText(ins.get(), 4, Text(pDriverInfo->pDriverPath));
    BindText(ins.get(), 5, Text(pDriverInfo->pDataFile));
    BindText(ins.get(), 6, Text(pDriverInfo->pConfigFile));
    return sqlite3_step(ins.get()) == SQLITE_DONE || Fail(ERROR_GEN_FAILURE);
}

bool DeletePrinterDriver(const char* pEnvironment, const std::string& csDriverName) {
    if (!SpoolerAnswers())
        return false;
    std::string environment;
    if (!ResolveEnvironment(pEnvironment, &environment))
        return false;
    posix::SqliteTransaction tx(Store().Db());
    if (!tx.Ok())
        return Fail(ERROR_BUSY);
    if (!Exists("SELECT 1 FROM spl_drivers WHERE name=? AND environment=?",
                {csDriverName, environment}))
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    if (SameText(environment, kCurrentEnvironment) &&
        Exists("SELECT 1 FROM spl_printers WHERE driver=? COLLATE NOCASE", {csDriverName}))
        return Fail(ERROR_PRINTER_DRIVER_IN_USE);
    if (!Execute("DELETE FROM spl_drivers WHERE name=? AND environment=?",
                 {csDriverName, environment}))
        return false;
    return tx.Commit() || Fail(ERROR_GEN_FAILURE);
}

} // namespace platform
