// The simulated printers' job files and their log.
#include "Jobs.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

double Now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string JobFile(const std::string& csAddr, unsigned uNumber) {
    return csAddr + "-" + std::to_string(uNumber) + ".prn";
}

} // namespace

bool CJobRecorder::Open(const std::string& csDir) {
    struct stat st {};
    if (::stat(csDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::access(csDir.c_str(), W_OK) != 0) {
        std::fprintf(stderr, "printer-sim: --jobs needs a writable folder, not '%s'\n",
                     csDir.c_str());
        return false;
    }
    m_csDir = csDir;
    return true;
}

void CJobRecorder::Write(const std::string& csAddr, SJob* pJob, const char* pData, size_t nSize) {
    if (!Enabled() || nSize == 0)
        return;
    if (!pJob->Active() && pJob->uNumber == 0) {
        pJob->uNumber = ++m_count[csAddr];
        pJob->dStart = Now();
        std::string path = m_csDir + "/" + JobFile(csAddr, pJob->uNumber);
        pJob->fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (!pJob->Active())
            std::fprintf(stderr, "printer-sim: cannot write %s: %s\n", path.c_str(),
                         std::strerror(errno));
    }
    if (!pJob->Active())
        return;
    if (::write(pJob->fd, pData, nSize) != ssize_t(nSize)) {
        std::fprintf(stderr, "printer-sim: job %s-%u lost: %s\n", csAddr.c_str(), pJob->uNumber,
                     std::strerror(errno));
        ::close(pJob->fd);
        pJob->fd = -1;
        return;
    }
    pJob->nBytes += nSize;
}

void CJobRecorder::End(const std::string& csAddr, SJob* pJob) {
    if (!pJob->Active())
        return;
    ::close(pJob->fd);
    pJob->fd = -1;
    FILE* pLog = std::fopen((m_csDir + "/jobs.log").c_str(), "a");
    if (!pLog) {
        std::fprintf(stderr, "printer-sim: cannot write %s/jobs.log\n", m_csDir.c_str());
        return;
    }
    std::fprintf(pLog, "%s %u %zu %.3f %.3f %s\n", csAddr.c_str(), pJob->uNumber, pJob->nBytes,
                 pJob->dStart, Now(), JobFile(csAddr, pJob->uNumber).c_str());
    std::fclose(pLog);
}

} // namespace sim
