// Local sockets of the system root (POSIX side only): listening sockets that
// appear with their rights already set, connections made through a folder's
// descriptor, and the credentials of the other end. Pipes, service controls
// and the port monitor's endpoint all follow these rules.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::posix {

// What the other end of a local socket must be.
enum class PeerRule {
    RootOwner,     // root or the root's owner (a server of the machine)
    Administrator, // root, the root's owner or a member of the administrators' group
    SameUser,      // root, the root's owner or the given user
};

struct SPeerCredentials {
    pid_t pid = 0;
    uid_t uid = uid_t(-1);
    gid_t gid = gid_t(-1);
    std::vector<gid_t> groups; // supplementary groups at the time of the connect
};

// The credentials of a connected AF_UNIX socket's other end (SO_PEERCRED and
// SO_PEERGROUPS). False with the last error set when they cannot be read.
bool ReadPeerCredentials(int fd, SPeerCredentials* pPeer);
// Whether the peer passes the rule; false with ERROR_ACCESS_DENIED when not.
bool PeerAllowed(const SPeerCredentials& peer, PeerRule eRule, uid_t uUser = uid_t(-1));
bool PeerAllowed(int fd, PeerRule eRule, uid_t uUser = uid_t(-1));

// A socket listening as csName in the open folder, of the given type
// (SOCK_SEQPACKET, SOCK_STREAM) and rights (past the umask). It is bound under
// a hidden name, given its rights and renamed into place, so no client ever
// finds it with other rights. A stale entry of that name is replaced. Returns
// the descriptor (close-on-exec) or -1 with the last error set.
int ListenInFolder(int folderFd, const std::string& csName, int iType, mode_t mode, int iBacklog);

// Connects to csName in the open folder (never through a link planted on the
// way). Returns the descriptor (close-on-exec) or -1 with errno and the last
// error set; bNonBlocking leaves it non-blocking.
int ConnectInFolder(int folderFd, const std::string& csName, int iType, bool bNonBlocking);

} // namespace platform::posix
