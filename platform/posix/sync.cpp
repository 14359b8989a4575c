// Named mutexes over flock() on a lock file in the system root's run/ folder.
//
// flock() locks belong to an open file description, so a process keeps one
// descriptor per name, and ownership by thread (with recursion) is tracked in
// the process. The kernel drops the lock when the owning process dies.
#include "platform/sync.h"

#include "internal/root_access.h"
#include "internal/unique_fd.h"
#include "object_name.h"
#include "platform/error.h"
#include "platform/root.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace platform {

struct NamedMutex::State {
    std::string path;
    int fd = -1;
    std::mutex mutex;
    std::condition_variable cv;
    std::thread::id owner;
    unsigned count = 0;
    ~State() {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

std::mutex g_registryMutex;
// Every name this process has opened, shared by all handles of that name. Kept
// open for the process's life: the settings store opens its mutex for every
// value, and a lock file per name is cheap.
std::map<std::string, std::shared_ptr<NamedMutex::State>> g_openMutexes;

} // namespace

NamedMutex::NamedMutex(const std::string& csName) {
    if (!IsValidObjectName(csName)) {
        SetLastError(ERROR_INVALID_NAME);
        return;
    }
    std::string path = RootPath("run/" + csName + ".mutex");
    std::lock_guard lock(g_registryMutex);
    auto it = g_openMutexes.find(path);
    if (it != g_openMutexes.end()) {
        m_state = it->second;
        return;
    }
    const posix::CUniqueFd runFd(posix::OpenRootFolder("run"));
    if (!runFd.Valid())
        return;
    auto state = std::make_shared<State>();
    state->path = path;
    // Only the administrators may open a lock file, so nobody else can hold
    // one and freeze the machine's settings.
    state->fd =
        posix::OpenFileIn(runFd.Get(), csName + ".mutex", O_RDWR | O_CREAT, posix::RootMode(0660));
    if (state->fd < 0)
        return;
    g_openMutexes[path] = state;
    m_state = std::move(state);
}

NamedMutex::~NamedMutex() = default;

WaitResult NamedMutex::Wait(uint32_t dwMilliseconds) {
    if (!m_state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WaitResult::Failed;
    }
    State& s = *m_state;
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);
    auto self = std::this_thread::get_id();
    {
        std::unique_lock lock(s.mutex);
        if (s.count > 0 && s.owner == self) {
            ++s.count;
            return WaitResult::Signaled;
        }
        auto free = [&] { return s.count == 0; };
        if (dwMilliseconds == INFINITE)
            s.cv.wait(lock, free);
        else if (!s.cv.wait_until(lock, deadline, free))
            return WaitResult::Timeout;
        // Claim the in-process side first so that other threads wait on the cv.
        s.owner = self;
        s.count = 1;
    }
    auto giveUp = [&] {
        std::lock_guard lock(s.mutex);
        s.count = 0;
        s.owner = {};
        s.cv.notify_one();
    };
    if (dwMilliseconds == INFINITE) {
        while (::flock(s.fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                FailErrno();
                giveUp();
                return WaitResult::Failed;
            }
        }
        return WaitResult::Signaled;
    }
    // flock() has no time-out of its own: poll until the deadline.
    for (;;) {
        if (::flock(s.fd, LOCK_EX | LOCK_NB) == 0)
            return WaitResult::Signaled;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            FailErrno();
            giveUp();
            return WaitResult::Failed;
        }
        if (Clock::now() >= deadline) {
            giveUp();
            return WaitResult::Timeout;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool NamedMutex::Release() {
    if (!m_state)
        return Fail(ERROR_INVALID_HANDLE);
    State& s = *m_state;
    std::lock_guard lock(s.mutex);
    if (s.count == 0 || s.owner != std::this_thread::get_id())
        return Fail(ERROR_ACCESS_DENIED);
    if (--s.count == 0) {
        ::flock(s.fd, LOCK_UN);
        s.owner = {};
        s.cv.notify_one();
    }
    return true;
}

} // namespace platform
