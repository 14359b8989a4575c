// Named sections as lock files in the root's run/ folder: every handle holds a
// shared flock() on its own open file description; a section "exists" while
// any shared lock is held, which an exclusive non-blocking try detects. A guard
// lock makes the test and the taking one step, so two creators cannot both
// find the section new.
#include "platform/section.h"

#include "internal/unique_fd.h"
#include "platform/error.h"
#include "platform/root.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

struct SectionHandle {
    int fd;
};

namespace {
bool IsSafeName(const std::string& csName) {
    return !csName.empty() && csName.find('/') == std::string::npos && csName != "." &&
           csName != "..";
}

int OpenLockFile(const std::string& csPath) {
    return ::open(csPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
}

bool LockRetrying(int fd, int op) {
    while (::flock(fd, op) != 0)
        if (errno != EINTR)
            return false;
    return true;
}
} // namespace

HSECTION CreateFileMapping(const std::string& csName, uint32_t /*dwSize*/) {
    if (!IsSafeName(csName)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (!EnsureSystemRoot())
        return nullptr;
    const std::string csPath = RootPath("run/" + csName + ".section");
    posix::CUniqueFd guard(OpenLockFile(csPath + ".guard"));
    if (!guard.Valid()) {
        FailErrno();
        return nullptr;
    }
    posix::CUniqueFd fd(OpenLockFile(csPath));
    if (!fd.Valid() || !LockRetrying(guard.Get(), LOCK_EX)) {
        FailErrno();
        return nullptr;
    }
    bool bExists = false;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0)
        ::flock(fd.Get(), LOCK_UN);
    else
        bExists = errno == EWOULDBLOCK;
    const bool bHeld = LockRetrying(fd.Get(), LOCK_SH);
    const int err = errno;
    ::flock(guard.Get(), LOCK_UN);
    guard.Reset();
    if (!bHeld) {
        SetLastError(ErrorFromErrno(err));
        return nullptr;
    }
    SetLastError(bExists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return new SectionHandle{fd.Release()};
}

bool CloseSection(HSECTION hSection) {
    if (!hSection) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    ::close(hSection->fd);
    delete hSection;
    return true;
}

} // namespace platform
