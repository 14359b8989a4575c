// The entry of vexsrv: the console commands that install, remove, start and
// debug the service, the service main, the control handler and the status
// reports. _tmain (service/app) picks the command from the command line.
//
// One service status record and one check-point counter serve the whole
// process; the check point runs 1, 2, ... over every pending report and is 0
// in running and stopped.
#pragma once

#include "platform/service.h"

#include <cstdint>

// The name the service manager knows the service by, and the name it shows.
inline constexpr const char SZSERVICENAME[] = "ZANTOR_AMBREL";
inline constexpr const char SZSERVICEDISPLAYNAME[] = "Zantor Ambrel";
// The user-defined control code that restarts the service's trace.
inline constexpr uint32_t SERVICE_CONTROL_RESTART_TRACE = 130;

// Console commands; each writes its messages to standard output.
void CmdInstallService();
void CmdRemoveService();
void CmdStartService();
// Runs the service in the console's own thread; returns only when it fails.
void CmdDebugService(int argc, char** argv);

// The service main that the dispatcher runs in a thread of its own.
void vex_main(uint32_t dwArgc, char** lpszArgv);
// The control handler: 1 stops, 130 restarts the trace, any other code
// reports the current state again.
void vex_ctrl(uint32_t dwCtrlCode);
// The console handler of debug mode.
bool ControlHandler(uint32_t dwCtrlType);

// Fills the status record and hands it to the service manager. In debug mode
// it does nothing and gives true.
bool ReportStatusToSCMgr(uint32_t dwCurrentState, uint32_t dwWin32ExitCode, uint32_t dwWaitHint);
// Reports start-pending and running, then runs the service.
void ServiceStart(uint32_t dwArgc, char** lpszArgv);
// Reports stop-pending and stopped.
void ServiceStop();

// The text of the calling thread's last error as "err=(0x%x) text", or the
// empty text when there is none or it would not fit with 22 characters to
// spare. Returns lpszBuf.
char* GetLastErrorText(char* lpszBuf, uint32_t dwSize);

// The debug flag: while set, status reporting does nothing.
void SetDebugMode(bool bDebug);
// The process's status record, as last filled.
const platform::SERVICE_STATUS& ServiceStatusRecord();
