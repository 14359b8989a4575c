// The detached start of a service program (POSIX only).
//
// The program runs in a session of its own, with standard input and output on
// /dev/null and the system directory as its current folder, and learns from
// its environment that the manager started it (service_db.h). Its dispatcher
// acknowledges the start with one byte on fd 3.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::posix {

// A random text that a start hands to the program it starts.
std::string NewStartToken();

struct SSpawnedService {
    pid_t pid = -1;
    int ackFd = -1; // read end of the dispatcher's acknowledgement
};

// Starts the program detached (never through a shell). False, with the
// program's exec error as last error, when it cannot be run.
bool SpawnService(const std::string& csName, const std::string& csToken,
                  const std::vector<std::string>& argv, SSpawnedService* pSpawned);
// Waits for the dispatcher's acknowledgement; false when the program ended or
// the time ran out first. Closes the acknowledgement pipe.
bool WaitForStartAck(SSpawnedService* pSpawned, int iTimeoutMs);

} // namespace platform::posix
