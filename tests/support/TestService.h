// A service played by the test binary itself, for tests of the service manager
// and of the code that drives services. The binary is registered as the
// service's program with a mode that sets its behaviour:
//   "normal"    start-pending (wait hint 2000), running; stop: stop-pending, stopped
//   "slowstart" four start-pending reports 10 ms apart (wait hint 1000), each a
//               check point further
//   "hang"      start-pending once, then nothing (the check point never grows)
//   "refuse"    reports stopped at once: exit code 1066, service-specific code 42
//   "stuckstop" as normal, but a stop leaves it in stop-pending for good
//   "quit"      ends without connecting to the service manager
//   "once"      as normal the first time; later starts as "refuse"
// In every mode a user code C (128..255) leaves the file "<root>/ctl-NAME-C",
// code 200 ends the process at once, and the service main writes its
// arguments, one a line, to "<root>/args-NAME" and adds its name as a line to
// "<root>/service-starts" (StartLog()).
#pragma once

#include <string>
#include <vector>

namespace vextest {

// The command line that runs the test service under this name and mode.
std::string TestServiceCommandLine(const std::string& name, const std::string& mode);
// Registers a test service (demand start) in the current system root.
bool CreateTestService(const std::string& name, const std::string& mode,
                       const std::vector<std::string>& dependencies = {});
// The marker file that control code C leaves.
std::string TestServiceMarker(const std::string& name, unsigned code);
// The names of the services in the order their service mains ran.
std::vector<std::string> StartLog();
// Starts a registered service and waits until it has left start-pending.
bool StartAndWait(const std::string& name, unsigned* pState = nullptr);
// The current state of a service (0 when it cannot be queried).
unsigned ServiceState(const std::string& name);
// Registers the machine's "Spooler" service (vexspoolerd of this build) in the
// current system root, if it is not there yet, and starts it; true when it runs.
bool StartSpoolerService();
// Stops the "Spooler" service; true when it has stopped.
bool StopSpoolerService();

} // namespace vextest
