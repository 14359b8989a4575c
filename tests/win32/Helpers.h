// The test program run again as a helper process: "test_win32.exe
// --vex-helper=NAME ARGS...".
#pragma once

#include <string>
#include <vector>

namespace win32test {

// The exit code of the helper NAME, or 100 when no helper has the name.
int RunHelper(const std::string& csName, const std::vector<std::string>& args);

// The service helper: "service NAME LOG" runs the service NAME under the
// service control manager, writing its arguments and controls to LOG.
int RunService(const std::vector<std::string>& args);

// The port monitor helper: "port_monitor MODE READY" serves the port monitor
// interface until the file READY, written once it listens, is deleted.
int RunPortMonitor(const std::vector<std::string>& args);

// csBase with this process's id: the names of machine-wide objects (pipes,
// registry keys) of tests that ctest runs at the same time stay apart.
std::string UniqueName(const std::string& csBase);

// A pipe of the name made first through the raw API, as a squatter would:
// owned by this user (not by the system or the Administrators), open to
// everyone. Null when it cannot be made.
void* SquatterPipe(const std::string& csName);
void CloseSquatterPipe(void* hPipe);

// True under wine (its ntdll exports wine_get_version), for the checks of
// what wine does not do as Windows does.
bool UnderWine();

// The command line that runs the helper with the arguments (each quoted).
std::string HelperLine(const std::string& csName, const std::vector<std::string>& args = {});

} // namespace win32test
