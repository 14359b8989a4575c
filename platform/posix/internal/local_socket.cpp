// Local sockets in the folders of the system root, and their peers.
#include "local_socket.h"

#include "platform/error.h"
#include "root_access.h"
#include "unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::posix {

namespace {

// A path that reaches an entry of an open folder whatever becomes of the
// folder's own path, and that fits a socket address however deep the root is.
bool MakeAddress(int folderFd, const std::string& csEntry, sockaddr_un* pAddr) {
    const std::string csPath = "/proc/self/fd/" + std::to_string(folderFd) + "/" + csEntry;
    std::memset(pAddr, 0, sizeof *pAddr);
    pAddr->sun_family = AF_UNIX;
    if (csPath.size() >= sizeof pAddr->sun_path)
        return Fail(ERROR_INVALID_NAME);
    std::memcpy(pAddr->sun_path, csPath.c_str(), csPath.size());
    return true;
}

bool Refuse() {
    return Fail(ERROR_ACCESS_DENIED);
}

} // namespace

bool ReadPeerCredentials(int fd, SPeerCredentials* pPeer) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return FailErrno();
    pPeer->pid = cred.pid;
    pPeer->uid = cred.uid;
    pPeer->gid = cred.gid;
    pPeer->groups.assign(64, 0);
    for (;;) {
        len = socklen_t(pPeer->groups.size() * sizeof(gid_t));
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, pPeer->groups.data(), &len) == 0) {
            pPeer->groups.resize(len / sizeof(gid_t));
            return true;
        }
        if (errno != ERANGE || pPeer->groups.size() >= 65536) {
            pPeer->groups.clear(); // then only the primary group counts
            return true;
        }
        pPeer->groups.resize(std::max<size_t>(len / sizeof(gid_t), pPeer->groups.size() * 2));
    }
}

bool PeerAllowed(const SPeerCredentials& peer, PeerRule eRule, uid_t uUser) {
    if (IsRootOwner(peer.uid))
        return true;
    switch (eRule) {
    case PeerRule::RootOwner:
        return Refuse();
    case PeerRule::SameUser:
        return peer.uid == uUser || Refuse();
    case PeerRule::Administrator: {
        gid_t gid;
        if (!AdministratorsGroupId(&gid))
            return Refuse();
        return peer.gid == gid ||
               std::find(peer.groups.begin(), peer.groups.end(), gid) != peer.groups.end() ||
               Refuse();
    }
    }
    return Refuse();
}

bool PeerAllowed(int fd, PeerRule eRule, uid_t uUser) {
    SPeerCredentials peer;
    return ReadPeerCredentials(fd, &peer) && PeerAllowed(peer, eRule, uUser);
}

int ListenInFolder(int folderFd, const std::string& csName, int iType, mode_t mode, int iBacklog) {
    const std::string csHidden = "." + csName;
    sockaddr_un addr;
    if (!MakeAddress(folderFd, csHidden, &addr))
        return -1;
    CUniqueFd fd(::socket(AF_UNIX, iType | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        FailErrno();
        return -1;
    }
    ::unlinkat(folderFd, csHidden.c_str(), 0);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::fchmodat(folderFd, csHidden.c_str(), mode, 0) != 0 || ::listen(fd.Get(), iBacklog) != 0 ||
        ::renameat(folderFd, csHidden.c_str(), folderFd, csName.c_str()) != 0) {
        int err = errno;
        fd.Reset();
        ::unlinkat(folderFd, csHidden.c_str(), 0);
        errno = err;
        FailErrno();
        return -1;
    }
    return fd.Release();
}

int ConnectInFolder(int folderFd, const std::string& csName, int iType, bool bNonBlocking) {
    struct stat st;
    sockaddr_un addr;
    if (::fstatat(folderFd, csName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        FailErrno();
        return -1;
    }
    if (!S_ISSOCK(st.st_mode)) {
        errno = ECONNREFUSED;
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    if (!MakeAddress(folderFd, csName, &addr))
        return -1;
    CUniqueFd fd(::socket(AF_UNIX, iType | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        FailErrno();
        return -1;
    }
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        // The caller reads errno (a full instance is EAGAIN): the close keeps it.
        fd.Reset();
        FailErrno();
        return -1;
    }
    if (!bNonBlocking)
        ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    return fd.Release();
}

} // namespace platform::posix
