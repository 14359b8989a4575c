// The spooler's hosted port monitors.
#include "MonitorHost.h"

#include "platform/error.h"
#include "platform/os.h"
#include "platform/spooler.h"
#include "platform/sync.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace platform;

namespace {

constexpr int kReadyTimeoutMs = 5000;

// Reads the program's "ready" line from the pipe within the time limit.
bool ReadReady(int fd) {
    std::string text;
    while (text.find('\n') == std::string::npos) {
        pollfd pfd{fd, POLLIN, 0};
        int n = ::poll(&pfd, 1, kReadyTimeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != 1)
            return false;
        char buffer[64];
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        text.append(buffer, size_t(got));
    }
    return text.rfind("ready\n", 0) == 0;
}

} // namespace

bool CMonitorHost::Start(SHosted* pHosted) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    ProcessOptions options;
    options.hStdOutput = fds[1];
    options.csCurrentDirectory = GetSystemDirectory();
    pHosted->process = std::make_unique<Process>();
    bool ok = pHosted->process->Start(QuoteArgument(GetSystemDirectory() + pHosted->csDLLName) +
                                          " --host " + QuoteArgument(pHosted->csName),
                                      options);
    ::close(fds[1]);
    if (ok && !ReadReady(fds[0])) {
        pHosted->process->Terminate(1);
        ok = false;
    }
    ::close(fds[0]);
    if (!ok) {
        std::fprintf(stderr, "vexspoolerd: the monitor '%s' (%s) did not start\n",
                     pHosted->csName.c_str(), pHosted->csDLLName.c_str());
        pHosted->process.reset();
    }
    return ok;
}

void CMonitorHost::Sync() {
    std::vector<MonitorRegistration> registered;
    if (!ReadMonitorRegistrations(&registered))
        return;
    std::lock_guard guard(m_lock);
    for (auto it = m_hosted.begin(); it != m_hosted.end();) {
        bool bKept = std::any_of(registered.begin(), registered.end(), [&](const auto& r) {
            return r.csName == it->csName && r.csDLLName == it->csDLLName;
        });
        if (bKept) {
            ++it;
            continue;
        }
        if (it->process)
            it->process->Terminate(0);
        it = m_hosted.erase(it);
    }
    for (const MonitorRegistration& r : registered) {
        auto it = std::find_if(m_hosted.begin(), m_hosted.end(),
                               [&](const SHosted& h) { return h.csName == r.csName; });
        if (it == m_hosted.end()) {
            m_hosted.push_back({r.csName, r.csDLLName, nullptr});
            it = m_hosted.end() - 1;
        }
        uint32_t code = 0;
        if (!it->process || !it->process->GetExitCode(&code) || code != STILL_ACTIVE)
            Start(&*it);
    }
}

void CMonitorHost::StopAll() {
    std::lock_guard guard(m_lock);
    for (SHosted& hosted : m_hosted) {
        if (hosted.process)
            hosted.process->Terminate(0);
    }
    m_hosted.clear();
}
