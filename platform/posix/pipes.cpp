// Named message pipes over AF_UNIX SOCK_SEQPACKET sockets in the system root.
//
// A pipe is the folder run/NAME.pipe. An instance that waits for its client is a
// socket "PID.N" there with a listen backlog of 0, which the kernel reads as room
// for exactly one pending connection: a second client finds it full (EAGAIN on a
// non-blocking connect) and tries the next socket. That gives the named pipe's
// rules without a helper thread: a client is joined to a free instance before the
// server calls ConnectNamedPipe, and fails at once when none is free. The marker
// "PID.srv" says that a live process holds instances (so the pipe is busy, not
// absent); markers and sockets of dead processes are swept by the next server.
#include "platform/pipes.h"

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
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace platform {

struct PipeInstance {
    enum class State { Listening, Connected, Disconnected, Client };
    State eState = State::Client;
    bool bServer = false;
    PipeAccess eAccess = PipeAccess::Default;
    std::string csFolder;
    std::string csSocket; // the offered socket's path while listening
    int listenFd = -1;
    int fd = -1; // the connection
    std::shared_ptr<PipeCancel> pCancel;
    uint32_t dwReadTimeout = NMPWAIT_WAIT_FOREVER;
    std::string csPending; // the unread rest of a message longer than the last read
};

namespace {

const char kMarkerSuffix[] = ".srv";

// Instances this process holds of each pipe, for the instance cap and the marker.
struct SServed {
    uint32_t nInstances = 0;
    uint32_t nMax = 0;
};
std::mutex g_servedMutex;
std::map<std::string, SServed> g_served;
std::atomic<uint64_t> g_nextSocket{0};

// "\\.\pipe\NAME" -> "<root>/run/name.pipe".
bool FolderOfPipe(const std::string& csName, std::string* pcsFolder) {
    static const char kPrefix[] = "\\\\.\\pipe\\";
    const size_t nPrefix = sizeof kPrefix - 1;
    if (csName.size() <= nPrefix || ::strncasecmp(csName.c_str(), kPrefix, nPrefix) != 0)
        return Fail(ERROR_INVALID_NAME);
    std::string csRest = csName.substr(nPrefix);
    if (csRest.size() > 200)
        return Fail(ERROR_INVALID_NAME);
    for (char& c : csRest) {
        if (c == '/' || c == '\\' || c == '\0')
            return Fail(ERROR_INVALID_NAME);
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    *pcsFolder = RootPath("run/" + csRest + ".pipe");
    return true;
}

bool MakeAddress(const std::string& csPath, sockaddr_un* pAddr) {
    std::memset(pAddr, 0, sizeof *pAddr);
    pAddr->sun_family = AF_UNIX;
    // A system root too deep for a socket address cannot hold pipes.
    if (csPath.size() >= sizeof pAddr->sun_path)
        return Fail(ERROR_INVALID_NAME);
    std::memcpy(pAddr->sun_path, csPath.c_str(), csPath.size());
    return true;
}

bool ProcessAlive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The process id at the start of an entry name "PID.x", or 0.
pid_t OwnerOf(const char* pszEntry) {
    pid_t pid = 0;
    for (const char* p = pszEntry; *p != '.'; ++p) {
        if (*p < '0' || *p > '9' || pid > 100000000)
            return 0;
        pid = pid * 10 + (*p - '0');
    }
    return pid;
}

// Removes the sockets and markers that processes which died left behind.
void SweepDeadOwners(const std::string& csFolder) {
    DIR* pDir = ::opendir(csFolder.c_str());
    if (!pDir)
        return;
    std::vector<std::string> dead;
    while (dirent* pEntry = ::readdir(pDir)) {
        pid_t pid = OwnerOf(pEntry->d_name);
        if (pid != 0 && pid != ::getpid() && !ProcessAlive(pid))
            dead.push_back(csFolder + "/" + pEntry->d_name);
    }
    ::closedir(pDir);
    for (const std::string& csPath : dead)
        ::unlink(csPath.c_str());
}

bool MakePipeFolder(const std::string& csFolder, PipeAccess eAccess) {
    if (!EnsureSystemRoot())
        return false;
    const bool bEveryone = eAccess == PipeAccess::EveryLocalUser;
    if (::mkdir(csFolder.c_str(), bEveryone ? 0777 : 0700) == 0) {
        // Everyone may add a socket, only its owner may take it away.
        if (bEveryone)
            ::chmod(csFolder.c_str(), 01777);
    } else if (errno != EEXIST) {
        return FailErrno();
    }
    return true;
}

std::string MarkerPath(const std::string& csFolder) {
    return csFolder + "/" + std::to_string(::getpid()) + kMarkerSuffix;
}

// Waits until fd has the events or the cancel fires. 1 ready, 0 time-out, -1
// failure with the last error set (ERROR_OPERATION_ABORTED when cancelled).
int Wait(int fd, short events, const PipeCancel* pCancel, int iTimeoutMs) {
    pollfd fds[2] = {{fd, events, 0}, {pCancel ? pCancel->WaitDescriptor() : -1, POLLIN, 0}};
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

// Offers the instance to clients under a new socket name.
bool Offer(PipeInstance* p) {
    std::string csPath =
        p->csFolder + "/" + std::to_string(::getpid()) + "." + std::to_string(++g_nextSocket);
    sockaddr_un addr;
    if (!MakeAddress(csPath, &addr))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return FailErrno();
    // A name left by an earlier process of the same id is stale by now.
    ::unlink(csPath.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int err = errno;
        ::close(fd);
        errno = err;
        return FailErrno();
    }
    // Connecting needs write permission on the socket file.
    ::chmod(csPath.c_str(), p->eAccess == PipeAccess::EveryLocalUser ? 0777 : 0700);
    if (::listen(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        ::unlink(csPath.c_str());
        errno = err;
        return FailErrno();
    }
    p->listenFd = fd;
    p->csSocket = csPath;
    p->eState = PipeInstance::State::Listening;
    return true;
}

// Takes the instance's socket name away and stops listening.
void Withdraw(PipeInstance* p) {
    if (!p->csSocket.empty())
        ::unlink(p->csSocket.c_str());
    p->csSocket.clear();
    if (p->listenFd >= 0)
        ::close(p->listenFd);
    p->listenFd = -1;
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
    if (::pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        m_fds[0] = m_fds[1] = -1;
}

PipeCancel::~PipeCancel() {
    for (int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

void PipeCancel::Cancel() {
    // One byte is enough: nobody reads it, so the descriptor stays readable.
    if (!m_bCancelled.exchange(true) && m_fds[1] >= 0) {
        ssize_t n = ::write(m_fds[1], "x", 1);
        (void)n;
    }
}

bool PipeCancel::IsCancelled() const {
    return m_bCancelled.load();
}

HPIPE CreateNamedPipe(const std::string& csName, uint32_t nMaxInstances, uint32_t, uint32_t,
                      uint32_t, PipeAccess eAccess) {
    std::string csFolder;
    if (!FolderOfPipe(csName, &csFolder))
        return INVALID_PIPE_HANDLE;
    if (nMaxInstances == 0 || nMaxInstances > PIPE_UNLIMITED_INSTANCES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_PIPE_HANDLE;
    }
    std::lock_guard lock(g_servedMutex);
    SServed& served = g_served[csFolder];
    const bool bFirst = served.nInstances == 0;
    if (bFirst) {
        // Made once: the folder stands while this process holds instances in it.
        if (!MakePipeFolder(csFolder, eAccess)) {
            g_served.erase(csFolder);
            return INVALID_PIPE_HANDLE;
        }
        SweepDeadOwners(csFolder);
        int fd = ::open(MarkerPath(csFolder).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            FailErrno();
            g_served.erase(csFolder);
            return INVALID_PIPE_HANDLE;
        }
        ::close(fd);
        served.nMax = nMaxInstances;
    } else if (served.nInstances >= served.nMax) {
        SetLastError(ERROR_PIPE_BUSY);
        return INVALID_PIPE_HANDLE;
    }

    auto p = std::make_unique<PipeInstance>();
    p->bServer = true;
    p->eAccess = eAccess;
    p->csFolder = csFolder;
    if (!Offer(p.get())) {
        if (bFirst) {
            uint32_t dwError = GetLastError();
            ::unlink(MarkerPath(csFolder).c_str());
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
    if (hPipe->eState == PipeInstance::State::Disconnected && !Offer(hPipe))
        return false;

    const PipeCancel* pCancel = hPipe->pCancel.get();
    int iReady = Wait(hPipe->listenFd, POLLIN, pCancel, 0);
    const bool bCameBefore = iReady == 1;
    if (iReady == 0)
        iReady = Wait(hPipe->listenFd, POLLIN, pCancel, -1);
    if (iReady < 0)
        return false;
    // No later client may be joined to this instance. Its one slot is full until
    // the pending connection is taken, and from the shutdown on the socket
    // refuses (a client that found the name just before it went tries the next
    // instance) instead of queueing a connection that the close would drop.
    ::shutdown(hPipe->listenFd, SHUT_RD);
    int listenFd = hPipe->listenFd;
    hPipe->listenFd = -1;
    Withdraw(hPipe);
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    int err = errno;
    ::close(listenFd);
    if (fd < 0) {
        hPipe->eState = PipeInstance::State::Disconnected;
        errno = err;
        return FailErrno();
    }
    hPipe->fd = fd;
    hPipe->eState = PipeInstance::State::Connected;
    return bCameBefore ? Fail(ERROR_PIPE_CONNECTED) : true;
}

HPIPE OpenNamedPipe(const std::string& csName) {
    std::string csFolder;
    if (!FolderOfPipe(csName, &csFolder))
        return INVALID_PIPE_HANDLE;
    DIR* pDir = ::opendir(csFolder.c_str());
    if (!pDir) {
        FailErrno();
        return INVALID_PIPE_HANDLE;
    }
    bool bDenied = false;
    bool bServed = false;
    while (dirent* pEntry = ::readdir(pDir)) {
        const std::string csEntry = pEntry->d_name;
        if (csEntry[0] == '.')
            continue;
        if (csEntry.size() > 4 && csEntry.compare(csEntry.size() - 4, 4, kMarkerSuffix) == 0) {
            bServed = bServed || ProcessAlive(OwnerOf(csEntry.c_str()));
            continue;
        }
        sockaddr_un addr;
        if (!MakeAddress(csFolder + "/" + csEntry, &addr))
            continue;
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            FailErrno();
            ::closedir(pDir);
            return INVALID_PIPE_HANDLE;
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            ::closedir(pDir);
            ::fcntl(fd, F_SETFL, 0); // blocking from now on
            auto p = new PipeInstance;
            p->csFolder = csFolder;
            p->fd = fd;
            return p;
        }
        // EAGAIN: that instance has its client; ECONNREFUSED, ENOENT: it is gone.
        if (errno == EACCES || errno == EPERM)
            bDenied = true;
        ::close(fd);
    }
    ::closedir(pDir);
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
        ssize_t n = ::send(hPipe->fd, pBuffer, nBytes, MSG_NOSIGNAL | (pCancel ? MSG_DONTWAIT : 0));
        if (n >= 0) {
            if (pnWritten)
                *pnWritten = uint32_t(n);
            return true;
        }
        if (errno == EINTR)
            continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && pCancel) {
            if (Wait(hPipe->fd, POLLOUT, pCancel, -1) < 0)
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
        const int iReady = Wait(hPipe->fd, POLLIN, hPipe->pCancel.get(), iTimeout);
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
        n = ::recvmsg(hPipe->fd, &msg, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == ECONNRESET || errno == EPIPE || errno == ENOTCONN)
            return Fail(ERROR_BROKEN_PIPE);
        return FailErrno();
    }
    if (n == 0)
        return PeerGone(hPipe->fd) ? Fail(ERROR_BROKEN_PIPE) : true;
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
    if (hPipe->fd >= 0)
        ::close(hPipe->fd);
    hPipe->fd = -1;
    hPipe->csPending.clear();
    hPipe->eState = PipeInstance::State::Disconnected;
    return true;
}

bool ClosePipe(HPIPE hPipe) {
    if (!hPipe)
        return Fail(ERROR_INVALID_HANDLE);
    Withdraw(hPipe);
    if (hPipe->fd >= 0)
        ::close(hPipe->fd);
    if (hPipe->bServer) {
        std::lock_guard lock(g_servedMutex);
        auto it = g_served.find(hPipe->csFolder);
        if (it != g_served.end() && --it->second.nInstances == 0) {
            ::unlink(MarkerPath(hPipe->csFolder).c_str());
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
