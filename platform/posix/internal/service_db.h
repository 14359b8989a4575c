// The service database of the system root ("services.db") and the facts about
// service processes that both sides of the service manager share (POSIX only).
//
// A row holds a service's configuration and the status its process reported
// last, with the pid (and the process's start time, against pid reuse). While a
// start is under way the row is "starting": pid names the starting process and
// a token waits to be claimed by the service's dispatcher.
#pragma once

#include "platform/service.h"

#include "sqlite_store.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::posix {

// The environment variables by which the manager tells a started program that
// it runs as a service; the dispatcher's start acknowledgement goes to fd 3.
constexpr const char* kServiceNameEnv = "VEX_SERVICE_NAME";
constexpr const char* kServiceTokenEnv = "VEX_SERVICE_START";
constexpr int kServiceAckFd = 3;

struct SServiceRow {
    std::string name;
    std::string display;
    uint32_t type = SERVICE_WIN32_OWN_PROCESS;
    uint32_t startType = SERVICE_DEMAND_START;
    uint32_t errorControl = SERVICE_ERROR_NORMAL;
    std::string binaryPath;
    std::string account;
    bool deleted = false;
    pid_t pid = 0;
    uint64_t pidStart = 0;
    bool starting = false;
    std::string token;
    pid_t childPid = 0;
    SERVICE_STATUS status{};
    std::vector<std::string> startArgs;
    std::vector<std::string> dependencies;
};

SqliteStore& ServiceStore();
// True when the database file exists (so that a look does not create it).
bool ServiceStoreExists();

// Reads a row (dependencies included). False with ERROR_SERVICE_DOES_NOT_EXIST
// when there is none.
bool LoadServiceRow(const std::string& csName, SServiceRow* pRow);
// Every row in name order (without start arguments).
bool LoadAllServiceRows(std::vector<SServiceRow>* pRows);

// The status as the manager gives it out: a row whose process has gone reads as
// stopped (exit code 1067 unless it gave one), and the row is brought up to date.
SERVICE_STATUS EffectiveStatus(SServiceRow& row);

// The time the process started (in clock ticks since boot), or 0 when it does
// not exist or has ended (a zombie counts as ended).
uint64_t ProcessStartTime(pid_t pid);
bool ProcessAlive(pid_t pid, uint64_t uStartTime);

// The control socket of a service process in run/. Named after the process
// and its start time, so the leftover of an ended process never shares the
// name of a live service that got the same pid.
std::string ControlSocketName(pid_t pid, uint64_t uStartTime);
// Removes a control socket that an ended service process left in run/.
void RemoveControlSocket(pid_t pid, uint64_t uStartTime);

// Marks a row stopped with an exit code; with a token, only while that start is
// still unclaimed. Removes a row marked for delete.
void MarkServiceStopped(const std::string& csName, uint32_t dwExitCode, const char* pszToken);
// Removes the row and its dependency list.
bool RemoveServiceRow(sqlite3* db, const std::string& csName);

// Whether a control code may go to a service in this status; false with the
// manager's refusal (87 undefined, 1062 not active, 1061 pending, 1052 not
// accepted) as last error. Both the manager and the dispatcher check.
bool ControlAllowed(uint32_t dwControl, const SERVICE_STATUS& status);

// The start arguments as stored (NUL-separated).
std::string PackArgs(const std::vector<std::string>& args);
std::vector<std::string> UnpackArgs(const void* pData, int cbData);

} // namespace platform::posix
