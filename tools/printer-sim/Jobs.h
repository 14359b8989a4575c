// The jobs printed to the simulated printers (--jobs DIR): each job's data in
// a file of its own, "ADDR-N.prn", and once it is whole a line in "jobs.log":
//   ADDR N BYTES START END FILE
// with START and END in seconds since the epoch (milliseconds), so a test or
// the demo sees a job only when all of it has arrived.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace sim {

struct SJob {
    int fd = -1;
    unsigned uNumber = 0;
    size_t nBytes = 0;
    double dStart = 0;
    bool Active() const { return fd >= 0; }
};

class CJobRecorder {
public:
    // False (after a message on stderr) when the folder cannot take jobs.
    bool Open(const std::string& csDir);
    bool Enabled() const { return !m_csDir.empty(); }
    // A job's first data; a job that cannot be written is dropped (traced).
    void Write(const std::string& csAddr, SJob* pJob, const char* pData, size_t nSize);
    // The end of a job's connection: the job's line goes into the log.
    void End(const std::string& csAddr, SJob* pJob);

private:
    std::string m_csDir;
    std::map<std::string, unsigned> m_count; // jobs per printer so far
};

} // namespace sim
