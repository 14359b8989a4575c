// Ownership rules of the system root: its owner, the administrators' group,
// peer credentials of local sockets, and checked folders and files.
#include "root_access.h"

#include "platform/access.h"
#include "platform/error.h"
#include "platform/root.h"
#include "unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

namespace {

// A folder or file that breaks the rules is refused, never repaired.
int RefuseFd() {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
}

// A link where a folder or file should be, or a folder that is not one.
int FailOpen() {
    if (errno == ELOOP || errno == ENOTDIR || errno == EMLINK)
        return RefuseFd();
    FailErrno();
    return -1;
}

// The rights of an existing folder or file against those it was laid with.
bool RightsAllowed(const struct stat& st, mode_t mode) {
    if ((st.st_mode & 0777 & ~mode) != 0)
        return false;
    gid_t gid;
    // Whoever may write into it must be an administrator.
    return (st.st_mode & S_IWGRP) == 0 || (AdministratorsGroupId(&gid) && st.st_gid == gid);
}

void GiveToAdministrators(int fd, mode_t mode) {
    gid_t gid;
    if ((mode & 070) != 0 && AdministratorsGroupId(&gid))
        (void)!::fchown(fd, uid_t(-1), gid);
    ::fchmod(fd, mode);
}

} // namespace

uid_t RootOwner() {
    struct stat st;
    if (::stat(SystemRoot().c_str(), &st) == 0)
        return st.st_uid;
    return ::geteuid();
}

bool IsRootOwner(uid_t uid) {
    return uid == 0 || uid == RootOwner();
}

bool AdministratorsGroupId(gid_t* pGid) {
    const std::string csName = AdministratorsGroupName();
    if (!csName.empty() &&
        std::all_of(csName.begin(), csName.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (csName.size() > 9)
            return false;
        *pGid = gid_t(std::strtoul(csName.c_str(), nullptr, 10));
        return true;
    }
    group entry;
    group* pFound = nullptr;
    std::vector<char> buffer(4096);
    while (::getgrnam_r(csName.c_str(), &entry, buffer.data(), buffer.size(), &pFound) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (!pFound)
        return false;
    *pGid = pFound->gr_gid;
    return true;
}

mode_t RootMode(mode_t mode) {
    gid_t gid;
    return AdministratorsGroupId(&gid) ? mode : mode & ~mode_t(02070);
}

int OpenCheckedFolder(int dirFd, const std::string& csName, mode_t mode, uid_t uOwner,
                      bool bCreate) {
    const int iFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(dirFd, csName.c_str(), iFlags);
    if (fd < 0 && errno == ENOENT && bCreate) {
        const bool bMade = ::mkdirat(dirFd, csName.c_str(), 0700) == 0;
        if (!bMade && errno != EEXIST) {
            FailErrno();
            return -1;
        }
        fd = ::openat(dirFd, csName.c_str(), iFlags);
        if (fd >= 0 && bMade)
            GiveToAdministrators(fd, mode);
    }
    if (fd < 0)
        return FailOpen();
    CUniqueFd folder(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) ||
        !(uOwner == uid_t(-1) ? IsRootOwner(st.st_uid) : st.st_uid == uOwner) ||
        !RightsAllowed(st, mode))
        return RefuseFd();
    return folder.Release();
}

int OpenFileIn(int dirFd, const std::string& csName, int iFlags, mode_t mode) {
    // O_NONBLOCK: a fifo planted under the name must not hold the open up.
    const int iOpen = (iFlags & ~O_CREAT) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    int fd = -1;
    for (int iTry = 0; fd < 0 && iTry < 3; ++iTry) {
        fd = ::openat(dirFd, csName.c_str(), iOpen);
        if (fd >= 0 || errno != ENOENT || !(iFlags & O_CREAT))
            break;
        fd = ::openat(dirFd, csName.c_str(), iOpen | O_CREAT | O_EXCL, mode);
        if (fd >= 0)
            GiveToAdministrators(fd, mode);
        else if (errno != EEXIST)
            break;
    }
    if (fd < 0)
        return FailOpen();
    CUniqueFd file(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return RefuseFd();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return file.Release();
}

int OpenRootFolder(const std::string& csName) {
    const std::string csRoot = SystemRoot();
    int rootFd = ::open(csRoot.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (rootFd < 0 && errno == ENOENT) {
        // Missing parents are made as `mkdir -p` would; the root itself is
        // laid by whoever comes first, who becomes its owner.
        for (size_t pos = 1; (pos = csRoot.find('/', pos)) != std::string::npos; ++pos) {
            if (::mkdir(csRoot.substr(0, pos).c_str(), 0755) != 0 && errno != EEXIST)
                return FailOpen();
        }
        if (::mkdir(csRoot.c_str(), 0700) == 0) {
            rootFd = ::open(csRoot.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (rootFd >= 0)
                GiveToAdministrators(rootFd, RootMode(02770));
        } else if (errno == EEXIST) {
            rootFd = ::open(csRoot.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
    }
    if (rootFd < 0)
        return FailOpen();
    CUniqueFd root(rootFd);
    struct stat st;
    if (::fstat(rootFd, &st) != 0 || !RightsAllowed(st, 02770))
        return RefuseFd();
    if (csName.empty())
        return root.Release();
    // run/ is shared by the administrators' programs (the GUI makes its
    // notification pipe there); the sticky bit keeps each entry its owner's.
    const mode_t mode = RootMode(csName == "run" ? 03770 : 02770);
    return OpenCheckedFolder(rootFd, csName, mode, uid_t(-1), IsRootOwner(::geteuid()));
}

} // namespace platform::posix

namespace platform {

std::string AdministratorsGroupName() {
    const char* pszGroup = std::getenv("VEX_ADMIN_GROUP");
    return pszGroup && *pszGroup ? pszGroup : "lpadmin";
}

bool IsMachineAdministrator() {
    const uid_t uid = ::geteuid();
    if (posix::IsRootOwner(uid))
        return true;
    gid_t gid;
    if (!posix::AdministratorsGroupId(&gid))
        return false;
    if (::getegid() == gid)
        return true;
    int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(n, 0)));
    n = ::getgroups(int(groups.size()), groups.data());
    return n > 0 && std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

} // namespace platform
