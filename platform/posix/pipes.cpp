// Named message pipes over AF_UNIX SOCK_SEQPACKET sockets in the system root.
//
// A pipe is a folder in run/. An instance that waits for its client is a socket
// "PID.N" there with a listen backlog of 0, which the kernel reads as room for
// exactly one pending connection: a second client finds it full (EAGAIN on a
// non-blocking connect) and tries the next socket. That gives the named pipe's
// rules without a helper thread: a client is joined to a free instance before
// the server calls ConnectNamedPipe, and fails at once when none is free. The
// marker "PID.srv" says that a live process holds instances (so the pipe is
// busy, not absent); markers and sockets of dead processes are swept by the
// next server. Folders are opened once without following links and used by
// descriptor; sockets are reached through /proc/self/fd, so a link planted
// along the path leads nowhere.
#include "platform/pipes.h"

#include "internal/local_socket.h"
#include "internal/root_access.h"
#include "internal/unique_fd.h"
#include "pipe_name.h"
#include "platform/error.h"
#include "platform/root.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace platform {

struct PipeInstance {
    enum class State { Listening, Connected, Disconnected, Client };
    State eState = State::Client;
    bool bServer = false;
    bool bShared = false; // the pipe of every administrator, else its user's own
    std::string csFolder; // the folder's path, the key of the served pipes
    int folderFd = -1;    // the served pipe's folder (owned by its SServed entry)
    std::string csEntry;  // the offered socket's name while listening
    posix::CUniqueFd listenFd;
    posix::CUniqueFd fd; // the connection
    std::shared_ptr<PipeCancel> pCancel;
    uint32_t dwReadTimeout = NMPWAIT_WAIT_FOREVER;
    std::string csPending; // the unread rest of a message longer than the last read
};

namespace {

using posix::CDirStream;
using posix::CUniqueFd;
using posix::PeerRule;

const char kMarkerSuffix[] = ".srv";
const char kFolderSuffix[] = ".pipe";

// Instances this process holds of each pipe, for the instance cap and the marker.
struct SServed {
    uint32_t nInstances = 0;
    uint32_t nMax = 0;
    CUniqueFd folderFd;
};
std::mutex g_servedMutex;
std::map<std::string, SServed> g_served;
std::atomic<uint64_t> g_nextSocket{0};

// The pipe's NAME, in lower case; '@' separates a user's own pipe folder
// from its user id, so it is refused here.
bool BaseOfPipe(const std::string& csName, std::string* pcsBase) {
    if (!PipeBaseName(csName, pcsBase))
        return false;
    if (pcsBase->find('@') != std::string::npos)
        return Fail(ERROR_INVALID_NAME);
    return true;
}

// The folder in run/ of a pipe: "name.pipe" for the pipe of every
// administrator, "name@UID.pipe" for a user's own.
std::string FolderName(const std::string& csBase, bool bShared, uid_t uid) {
    return bShared ? csBase + kFolderSuffix : csBase + "@" + std::to_string(uid) + kFolderSuffix;
}

mode_t FolderMode(bool bShared) {
    return bShared ? posix::RootMode(02750) : 0700;
}

bool ProcessAlive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The process id at the start of an entry name "PID.x" (or ".PID.x", a socket
// on its way to being offered), or 0.
pid_t OwnerOf(const char* pszEntry) {
    pid_t pid = 0;
    const char* p = pszEntry + (pszEntry[0] == '.');
    for (; *p != '.'; ++p) {
        if (*p < '0' || *p > '9' || pid > 100000000)
            return 0;
        pid = pid * 10 + (*p - '0');
    }
    return pid;
}

// Removes the sockets and markers that processes which died left behind; only
// entries of this folder, whatever they are.
void SweepDeadOwners(int folderFd) {
    std::vector<std::string> dead;
    CDirStream dir(folderFd);
    while (dirent* pEntry = dir.Next()) {
        pid_t pid = OwnerOf(pEntry->d_name);
        if (pid != 0 && pid != ::getpid() && !ProcessAlive(pid))
            dead.push_back(pEntry->d_name);
    }
    for (const std::string& csEntry : dead)
        ::unlinkat(folderFd, csEntry.c_str(), 0);
}

std::string MarkerName() {
    return std::to_string(::getpid()) + kMarkerSuffix;
}

// A server may hold as many connections as it has descriptors: the most it
// is allowed, not the soft default.
void RaiseDescriptorLimit() {
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
}

// Waits until fd has the events or the cancel fires. 1 ready, 0 time-out, -1
// failure with the last error set (ERROR_OPERATION_ABORTED when cancelled).
int Wait(int fd, short events, const PipeCancel* pCancel, int iTimeoutMs) {
    pollfd fds[2] = {{fd, events, 0}, {pCancel ? int(pCancel->WaitHandle()) : -1, POLLIN, 0}};
    for (;;) {
        int n = ::poll(fds, 2, iTimeoutMs);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FailErrno();
            return -1;
        }
        if (pCancel && (fds[1].revents != 0 || pCancel->IsCancelled())) {
            SetLastError(ERROR_OPERATION_ABORTED);
            return -1;
        }
        return n == 0 ? 0 : 1;
    }
}

// Offers the instance to clients under a new socket name; the socket appears
// with its rights already set.
bool Offer(PipeInstance* p) {
    const std::string csEntry = std::to_string(::getpid()) + "." + std::to_string(++g_nextSocket);
    // A name left by an earlier process of the same id is stale by now.
    ::unlinkat(p->folderFd, csEntry.c_str(), 0);
    // Connecting needs write permission on the socket; who may reach it at
    // all is settled by the folder and by the peer's credentials.
    CUniqueFd fd(posix::ListenInFolder(p->folderFd, csEntry, SOCK_SEQPACKET,
                                       p->bShared ? posix::RootMode(0660) : 0600, 0));
    if (!fd.Valid())
        return false;
    p->listenFd = std::move(fd);
    p->csEntry = csEntry;
    p->eState = PipeInstance::State::Listening;
    return true;
}

// Takes the instance's socket name away and stops listening.
void Withdraw(PipeInstance* p) {
    if (!p->csEntry.empty())
        ::unlinkat(p->folderFd, p->csEntry.c_str(), 0);
    p->csEntry.clear();
    p->listenFd.Reset();
}

bool CheckConnected(const PipeInstance* p) {
    switch (p->eState) {
    case PipeInstance::State::Listening:
        return Fail(ERROR_PIPE_LISTENING);
    case PipeInstance::State::Disconnected:
        return Fail(ERROR_PIPE_NOT_CONNECTED);
    default:
        return true;
    }
}

// True when the other end has closed (after a read of 0 bytes: end rather than
// an empty message).
bool PeerGone(int fd) {
    pollfd pfd = {fd, POLLRDHUP, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLRDHUP | POLLHUP)) != 0;
}

} // namespace

PipeCancel::PipeCancel() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wait[0] = fds[0];
        m_wait[1] = fds[1];
    }
}

PipeCancel::~PipeCancel() {
    for (intptr_t fd : m_wait) {
        if (fd >= 0)
            ::close(int(fd));
    }
}

void PipeCancel::Cancel() {
    // One byte is enough: nobody reads it, so the descriptor stays readable.
    if (!m_bCancelled.exchange(true) && m_wait[1] >= 0) {
        ssize_t n = ::write(int(m_wait[1]), "x", 1);
        (void)n;
    }
}

bool PipeCancel::IsCancelled() const {
    return m_bCancelled.load();
}

bool PipeCancel::WaitForCancel(uint32_t dwMilliseconds) const {
    if (IsCancelled())
        return true;
    pollfd pfd = {int(m_wait[0]), POLLIN, 0};
    ::poll(&pfd, m_wait[0] >= 0 ? 1 : 0, int(std::min<uint32_t>(dwMilliseconds, 0x7FFFFFFF)));
    return IsCancelled();
}

HPIPE CreateNamedPipe(const std::string& csName, uint32_t nMaxInstances, uint32_t, uint32_t,
                      uint32_t, PipeAccess eAccess) {
    std::string csBase;
    if (!BaseOfPipe(csName, &csBase))
        return INVALID_PIPE_HANDLE;
    if (nMaxInstances == 0 || nMaxInstances > PIPE_UNLIMITED_INSTANCES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_PIPE_HANDLE;
    }
    const bool bShared = eAccess == PipeAccess::EveryLocalUser;
    // The administrators' pipes are served by the machine's own programs only.
    if (bShared && !posix::IsRootOwner(::geteuid())) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_PIPE_HANDLE;
    }
    const std::string csFolderName = FolderName(csBase, bShared, ::geteuid());
    const std::string csFolder = RootPath("run/" + csFolderName);
    std::lock_guard lock(g_servedMutex);
    SServed& served = g_served[csFolder];
    const bool bFirst = served.nInstances == 0;
    if (bFirst) {
        RaiseDescriptorLimit();
        // Opened once: the folder stands while this process holds instances in it.
        CUniqueFd runFd(posix::OpenRootFolder("run"));
        if (runFd.Valid())
            served.folderFd.Reset(
                posix::OpenCheckedFolder(runFd.Get(), csFolderName, FolderMode(bShared),
                                         bShared ? uid_t(-1) : ::geteuid(), true));
        CUniqueFd markerFd;
        if (served.folderFd.Valid()) {
            SweepDeadOwners(served.folderFd.Get());
            markerFd.Reset(posix::OpenFileIn(served.folderFd.Get(), MarkerName(),
                                             O_WRONLY | O_CREAT,
                                             bShared ? posix::RootMode(0640) : 0600));
        }
        if (!markerFd.Valid()) {
            const uint32_t dwError = GetLastError();
            g_served.erase(csFolder);
            SetLastError(dwError);
            return INVALID_PIPE_HANDLE;
        }
        served.nMax = nMaxInstances;
    } else if (served.nMax != PIPE_UNLIMITED_INSTANCES && served.nInstances >= served.nMax) {
        SetLastError(ERROR_PIPE_BUSY);
        return INVALID_PIPE_HANDLE;
    }

    auto p = std::make_unique<PipeInstance>();
    p->bServer = true;
    p->bShared = bShared;
    p->csFolder = csFolder;
    p->folderFd = served.folderFd.Get();
    if (!Offer(p.get())) {
        if (bFirst) {
            uint32_t dwError = GetLastError();
            ::unlinkat(served.folderFd.Get(), MarkerName().c_str(), 0);
            g_served.erase(csFolder);
            SetLastError(dwError);
        }
        return INVALID_PIPE_HANDLE;
    }
    ++served.nInstances;
    return p.release();
}

bool ConnectNamedPipe(HPIPE hPipe) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    if (!hPipe->bServer)
        return Fail(ERROR_INVALID_FUNCTION);
    if (hPipe->eState == PipeInstance::State::Connected)
        return Fail(ERROR_PIPE_CONNECTED);
    bool bFirstLook = true;
    bool bCameBefore = false;
    for (;;) {
        if (hPipe->eState == PipeInstance::State::Disconnected && !Offer(hPipe))
            return false;
        const PipeCancel* pCancel = hPipe->pCancel.get();
        int iReady = Wait(hPipe->listenFd.Get(), POLLIN, pCancel, 0);
        if (bFirstLook)
            bCameBefore = iReady == 1;
        bFirstLook = false;
        if (iReady == 0)
            iReady = Wait(hPipe->listenFd.Get(), POLLIN, pCancel, -1);
        if (iReady < 0)
            return false;
        // No later client may be joined to this instance. Its one slot is full
        // until the pending connection is taken, and from the shutdown on the
        // socket refuses (a client that found the name just before it went
        // tries the next instance) instead of queueing a connection that the
        // close would drop.
        ::shutdown(hPipe->listenFd.Get(), SHUT_RD);
        CUniqueFd listenFd = std::move(hPipe->listenFd);
        Withdraw(hPipe);
        CUniqueFd fd(::accept4(listenFd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        listenFd.Reset();
        hPipe->eState = PipeInstance::State::Disconnected;
        if (!fd.Valid())
            return FailErrno();
        // A client the pipe does not admit is dropped, and the instance waits
        // for the next one.
        if (!posix::PeerAllowed(fd.Get(),
                                hPipe->bShared ? PeerRule::Administrator : PeerRule::SameUser,
                                ::geteuid()))
            continue;
        hPipe->fd = std::move(fd);
        hPipe->eState = PipeInstance::State::Connected;
        return bCameBefore ? Fail(ERROR_PIPE_CONNECTED) : true;
    }
}

namespace {

enum class OpenOutcome { Joined, Busy, Denied, Absent };

// Joins a free instance in an open pipe folder whose server must pass the rule.
OpenOutcome JoinInstance(int folderFd, PeerRule eServerRule, uid_t uServer, HPIPE* phPipe) {
    OpenOutcome eOutcome = OpenOutcome::Absent;
    CDirStream dir(folderFd);
    while (dirent* pEntry = dir.Next()) {
        const std::string csEntry = pEntry->d_name;
        if (csEntry[0] == '.')
            continue;
        if (csEntry.size() > 4 && csEntry.compare(csEntry.size() - 4, 4, kMarkerSuffix) == 0) {
            if (eOutcome == OpenOutcome::Absent && ProcessAlive(OwnerOf(csEntry.c_str())))
                eOutcome = OpenOutcome::Busy;
            continue;
        }
        CUniqueFd fd(posix::ConnectInFolder(folderFd, csEntry, SOCK_SEQPACKET, true));
        if (fd.Valid()) {
            // Whoever holds the socket must be the pipe's rightful server.
            if (!posix::PeerAllowed(fd.Get(), eServerRule, uServer)) {
                eOutcome = OpenOutcome::Denied;
                continue;
            }
            ::fcntl(fd.Get(), F_SETFL, 0); // blocking from now on
            auto p = new PipeInstance;
            p->fd = std::move(fd);
            *phPipe = p;
            return OpenOutcome::Joined;
        }
        // EAGAIN: that instance has its client; ECONNREFUSED, ENOENT: it is gone.
        if (errno == EACCES || errno == EPERM)
            eOutcome = OpenOutcome::Denied;
        else if (errno == EMFILE || errno == ENFILE)
            break;
    }
    return eOutcome;
}

// The users' own folders of a pipe in run/: "name@UID.pipe".
std::vector<std::pair<std::string, uid_t>> UserFolders(int runFd, const std::string& csBase) {
    std::vector<std::pair<std::string, uid_t>> folders;
    CDirStream dir(runFd);
    const std::string csPrefix = csBase + "@";
    const size_t nSuffix = sizeof kFolderSuffix - 1;
    while (dirent* pEntry = dir.Next()) {
        const std::string csEntry = pEntry->d_name;
        if (csEntry.size() <= csPrefix.size() + nSuffix ||
            csEntry.compare(0, csPrefix.size(), csPrefix) != 0 ||
            csEntry.compare(csEntry.size() - nSuffix, nSuffix, kFolderSuffix) != 0)
            continue;
        const std::string csUid =
            csEntry.substr(csPrefix.size(), csEntry.size() - nSuffix - csPrefix.size());
        if (csUid.size() > 10 || csUid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        folders.emplace_back(csEntry, uid_t(std::strtoul(csUid.c_str(), nullptr, 10)));
    }
    return folders;
}

} // namespace

HPIPE OpenNamedPipe(const std::string& csName, PipeAccess eAccess, uint32_t uPreferredUser) {
    std::string csBase;
    if (!BaseOfPipe(csName, &csBase))
        return INVALID_PIPE_HANDLE;
    CUniqueFd runFd(posix::OpenRootFolder("run"));
    if (!runFd.Valid())
        return INVALID_PIPE_HANDLE;
    // The administrators' pipe, or the users' own ones: never a user's pipe
    // where the machine's is meant.
    std::vector<std::pair<std::string, uid_t>> folders;
    if (eAccess == PipeAccess::EveryLocalUser)
        folders.emplace_back(FolderName(csBase, true, 0), uid_t(-1));
    else
        folders = UserFolders(runFd.Get(), csBase);
    std::stable_partition(folders.begin(), folders.end(), [&](const auto& folder) {
        return uPreferredUser != kAnyPipeUser && folder.second == uid_t(uPreferredUser);
    });
    bool bDenied = false;
    bool bServed = false;
    for (const auto& [csFolderName, uOwner] : folders) {
        const bool bShared = uOwner == uid_t(-1);
        CUniqueFd folderFd(posix::OpenCheckedFolder(runFd.Get(), csFolderName, FolderMode(bShared),
                                                    uOwner, false));
        if (!folderFd.Valid()) {
            bDenied = bDenied || GetLastError() == ERROR_ACCESS_DENIED;
            continue;
        }
        HPIPE hPipe = INVALID_PIPE_HANDLE;
        const OpenOutcome eOutcome = JoinInstance(
            folderFd.Get(), bShared ? PeerRule::RootOwner : PeerRule::SameUser, uOwner, &hPipe);
        if (eOutcome == OpenOutcome::Joined)
            return hPipe;
        bDenied = bDenied || eOutcome == OpenOutcome::Denied;
        bServed = bServed || eOutcome == OpenOutcome::Busy;
    }
    SetLastError(bDenied ? ERROR_ACCESS_DENIED
                         : (bServed ? ERROR_PIPE_BUSY : ERROR_FILE_NOT_FOUND));
    return INVALID_PIPE_HANDLE;
}

bool SetNamedPipeHandleState(HPIPE hPipe, uint32_t dwReadMode) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    // Every end reads whole messages; a byte stream is not offered.
    return dwReadMode == PIPE_READMODE_MESSAGE ? true : Fail(ERROR_INVALID_PARAMETER);
}

bool SetPipeReadTimeout(HPIPE hPipe, uint32_t dwMilliseconds) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    hPipe->dwReadTimeout = dwMilliseconds;
    return true;
}

bool WritePipe(HPIPE hPipe, const void* pBuffer, uint32_t nBytes, uint32_t* pnWritten) {
    if (pnWritten)
        *pnWritten = 0;
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    if (!CheckConnected(hPipe))
        return false;
    if (nBytes > PIPE_MAX_MESSAGE || (nBytes > 0 && !pBuffer))
        return Fail(ERROR_INVALID_PARAMETER);
    const PipeCancel* pCancel = hPipe->pCancel.get();
    if (pCancel && pCancel->IsCancelled())
        return Fail(ERROR_OPERATION_ABORTED);
    for (;;) {
        ssize_t n =
            ::send(hPipe->fd.Get(), pBuffer, nBytes, MSG_NOSIGNAL | (pCancel ? MSG_DONTWAIT : 0));
        if (n >= 0) {
            if (pnWritten)
                *pnWritten = uint32_t(n);
            return true;
        }
        if (errno == EINTR)
            continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && pCancel) {
            if (Wait(hPipe->fd.Get(), POLLOUT, pCancel, -1) < 0)
                return false;
            continue;
        }
        if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN)
            return Fail(ERROR_NO_DATA);
        return FailErrno();
    }
}

bool ReadPipe(HPIPE hPipe, void* pBuffer, uint32_t nBytes, uint32_t* pnRead) {
    if (pnRead)
        *pnRead = 0;
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    if (!CheckConnected(hPipe))
        return false;
    if (nBytes > 0 && !pBuffer)
        return Fail(ERROR_INVALID_PARAMETER);
    char* pOut = static_cast<char*>(pBuffer);
    if (!hPipe->csPending.empty()) {
        const size_t nTake = std::min<size_t>(nBytes, hPipe->csPending.size());
        std::memcpy(pOut, hPipe->csPending.data(), nTake);
        hPipe->csPending.erase(0, nTake);
        if (pnRead)
            *pnRead = uint32_t(nTake);
        return hPipe->csPending.empty() ? true : Fail(ERROR_MORE_DATA);
    }
    if (hPipe->pCancel || hPipe->dwReadTimeout != NMPWAIT_WAIT_FOREVER) {
        const int iTimeout = hPipe->dwReadTimeout == NMPWAIT_WAIT_FOREVER
                                 ? -1
                                 : int(std::min<uint32_t>(hPipe->dwReadTimeout, 0x7FFFFFFF));
        const int iReady = Wait(hPipe->fd.Get(), POLLIN, hPipe->pCancel.get(), iTimeout);
        if (iReady < 0)
            return false;
        if (iReady == 0)
            return Fail(ERROR_WAIT_TIMEOUT);
    }

    // What does not fit the caller's buffer lands here and is kept for the next read.
    thread_local std::unique_ptr<char[]> t_overflow;
    if (!t_overflow)
        t_overflow.reset(new char[PIPE_MAX_MESSAGE]);
    iovec iov[2] = {{pOut, nBytes}, {t_overflow.get(), PIPE_MAX_MESSAGE}};
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = 2;
    ssize_t n;
    do {
        n = ::recvmsg(hPipe->fd.Get(), &msg, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == ECONNRESET || errno == EPIPE || errno == ENOTCONN)
            return Fail(ERROR_BROKEN_PIPE);
        return FailErrno();
    }
    if (n == 0)
        return PeerGone(hPipe->fd.Get()) ? Fail(ERROR_BROKEN_PIPE) : true;
    if (size_t(n) <= nBytes) {
        if (pnRead)
            *pnRead = uint32_t(n);
        return true;
    }
    // A message longer than both parts (only a foreign writer sends one) keeps
    // what fitted; the kernel has dropped the rest.
    hPipe->csPending.assign(t_overflow.get(), size_t(n) - nBytes);
    if (pnRead)
        *pnRead = nBytes;
    return Fail(ERROR_MORE_DATA);
}

bool FlushPipe(HPIPE hPipe) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    // A write puts the message straight into the reader's queue, where it
    // outlives this end; there is nothing left to wait for.
    return CheckConnected(hPipe);
}

bool DisconnectNamedPipe(HPIPE hPipe) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    if (!hPipe->bServer)
        return Fail(ERROR_INVALID_FUNCTION);
    Withdraw(hPipe);
    hPipe->fd.Reset();
    hPipe->csPending.clear();
    hPipe->eState = PipeInstance::State::Disconnected;
    return true;
}

bool ClosePipe(HPIPE hPipe) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    Withdraw(hPipe);
    hPipe->fd.Reset();
    if (hPipe->bServer) {
        std::lock_guard lock(g_servedMutex);
        auto it = g_served.find(hPipe->csFolder);
        if (it != g_served.end() && --it->second.nInstances == 0) {
            ::unlinkat(it->second.folderFd.Get(), MarkerName().c_str(), 0);
            it->second.folderFd.Reset();
            // A user's own pipe goes with its last server (another process of
            // the same user may still hold the folder; then it stays).
            if (!hPipe->bShared) {
                CUniqueFd runFd(posix::OpenRootFolder("run"));
                if (runFd.Valid()) {
                    const size_t nSlash = hPipe->csFolder.rfind('/');
                    ::unlinkat(runFd.Get(), hPipe->csFolder.substr(nSlash + 1).c_str(),
                               AT_REMOVEDIR);
                }
            }
            g_served.erase(it);
        }
    }
    delete hPipe;
    return true;
}

bool SetPipeCancel(HPIPE hPipe, std::shared_ptr<PipeCancel> pCancel) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    hPipe->pCancel = std::move(pCancel);
    return true;
}

} // namespace platform
