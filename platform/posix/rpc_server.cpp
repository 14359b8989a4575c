// The RPC runtime's server on POSIX: the interface's endpoint, a thread per
// connection, bind and request PDUs answered through the dispatch function.
#include "platform/rpc_ndr.h"

#include "internal/local_socket.h"
#include "internal/root_access.h"
#include "internal/rpc_wire.h"
#include "internal/unique_fd.h"
#include "platform/clock.h"
#include "platform/error.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {

using namespace posix::rpc;

namespace {
// A connection idle this long is dropped (scaled by VEX_DELAY_PERCENT).
constexpr uint32_t kServerIdleMs = 10000;
constexpr int kMaxConnections = 16;
} // namespace

struct RpcServer::State {
    RpcInterface iface;
    RpcDispatchFunction dispatch;
    int listenFd = -1;
    int wakePipe[2] = {-1, -1};
    std::string path;
    ino_t inode = 0;
    std::thread acceptThread;
    std::mutex lock;
    std::condition_variable idle;
    std::set<int> connections;
    int active = 0;
    std::atomic<bool> stopping{false};
};

namespace {

void SendFault(int fd, uint32_t callId, RPC_STATUS status, Clock::time_point deadline) {
    NdrWriter w;
    w.U32(0);
    w.U16(0);
    w.U8(0);
    w.U8(0);
    w.U32(status);
    w.U32(0);
    SendAll(fd, MakePdu(kPtypeFault, callId, w.Data()), deadline);
}

bool AnswerBind(RpcServer::State& s, int fd, SPdu& pdu, Clock::time_point deadline) {
    uint8_t ifUuid[16], want[16], ndrUuid[16], syntax[16];
    ParseUuid(s.iface.csUuid, want);
    ParseUuid(kNdrSyntax, ndrUuid);
    uint16_t maxXmit, maxRecv, contextId, major, minor;
    uint32_t assoc, syntaxVersion;
    uint8_t nContexts, nSyntaxes, pad;
    NdrReader& r = pdu.body;
    bool ok = r.U16(&maxXmit) && r.U16(&maxRecv) && r.U32(&assoc) && r.U8(&nContexts) &&
              r.Align(4) && r.U16(&contextId) && r.U8(&nSyntaxes) && r.U8(&pad) &&
              ReadUuid(r, ifUuid) && r.U16(&major) && r.U16(&minor) && ReadUuid(r, syntax) &&
              r.U32(&syntaxVersion) && nContexts >= 1 && nSyntaxes >= 1;
    bool bAccepted = ok && std::memcmp(ifUuid, want, 16) == 0 && major == s.iface.wMajorVersion &&
                     minor <= s.iface.wMinorVersion && std::memcmp(syntax, ndrUuid, 16) == 0 &&
                     syntaxVersion == kNdrSyntaxVersion;
    NdrWriter w;
    if (!bAccepted) {
        w.U16(ok ? 4 : 1); // reason: unsupported interface / protocol error
        SendAll(fd, MakePdu(kPtypeBindNak, pdu.callId, w.Data()), deadline);
        return false;
    }
    w.U16(kMaxFragment);
    w.U16(kMaxFragment);
    w.U32(1);
    w.U16(0); // no secondary address
    w.Align(4);
    w.U8(1);
    w.U8(0);
    w.U8(0);
    w.U8(0);
    w.U16(0); // acceptance
    w.U16(0);
    WriteUuid(w, ndrUuid);
    w.U32(kNdrSyntaxVersion);
    return SendAll(fd, MakePdu(kPtypeBindAck, pdu.callId, w.Data()), deadline) == 0;
}

void Serve(std::shared_ptr<RpcServer::State> s, int fd) {
    bool bBound = false;
    while (!s->stopping) {
        auto deadline = Clock::now() + std::chrono::milliseconds(ScaledDelay(kServerIdleMs));
        SPdu pdu;
        if (ReadPdu(fd, deadline, &pdu) != 0)
            break;
        if (pdu.ptype == kPtypeBind) {
            bBound = AnswerBind(*s, fd, pdu, deadline);
            if (!bBound)
                break;
            continue;
        }
        if (pdu.ptype != kPtypeRequest || !bBound) {
            SendFault(fd, pdu.callId, RPC_S_PROTOCOL_ERROR, deadline);
            break;
        }
        uint32_t allocHint;
        uint16_t contextId, opnum;
        if (!pdu.body.U32(&allocHint) || !pdu.body.U16(&contextId) || !pdu.body.U16(&opnum)) {
            SendFault(fd, pdu.callId, RPC_S_PROTOCOL_ERROR, deadline);
            break;
        }
        std::vector<uint8_t> stub;
        NdrReader in = StubOf(pdu.body, &stub);
        NdrWriter out;
        RPC_STATUS status = s->dispatch(opnum, in, &out);
        if (status != RPC_S_OK) {
            SendFault(fd, pdu.callId, status, deadline);
            continue;
        }
        NdrWriter body;
        body.U32(uint32_t(out.Data().size()));
        body.U16(contextId);
        body.U8(0);
        body.U8(0);
        body.Data().insert(body.Data().end(), out.Data().begin(), out.Data().end());
        if (body.Data().size() + kHeaderSize > kMaxFragment) {
            SendFault(fd, pdu.callId, RPC_X_BAD_STUB_DATA, deadline);
            continue;
        }
        if (SendAll(fd, MakePdu(kPtypeResponse, pdu.callId, body.Data()), deadline) != 0)
            break;
    }
    std::lock_guard guard(s->lock);
    s->connections.erase(fd);
    ::close(fd);
    --s->active;
    s->idle.notify_all();
}

void AcceptLoop(std::shared_ptr<RpcServer::State> s) {
    for (;;) {
        pollfd pfds[2] = {{s->listenFd, POLLIN, 0}, {s->wakePipe[0], POLLIN, 0}};
        if (::poll(pfds, 2, -1) < 0 && errno != EINTR)
            break;
        if (s->stopping)
            break;
        if (!(pfds[0].revents & POLLIN))
            continue;
        int fd = ::accept4(s->listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        std::lock_guard guard(s->lock);
        if (s->active >= kMaxConnections ||
            !posix::PeerAllowed(fd, posix::PeerRule::Administrator)) {
            ::close(fd); // refused; the server goes on
            continue;
        }
        ++s->active;
        s->connections.insert(fd);
        std::thread(Serve, s, fd).detach();
    }
}

} // namespace

RpcServer::RpcServer() : m_state(std::make_shared<State>()) {}

RpcServer::~RpcServer() {
    Stop();
}

RPC_STATUS RpcServer::Listen(const RpcInterface& iface, RpcDispatchFunction dispatch) {
    State& s = *m_state;
    if (s.listenFd >= 0)
        return RPC_S_DUPLICATE_ENDPOINT;
    uint8_t uuid[16];
    if (!ParseUuid(iface.csUuid, uuid))
        return RPC_S_UNKNOWN_IF;
    s.iface = iface;
    s.dispatch = std::move(dispatch);
    s.stopping = false;
    s.path = RpcEndpointPath(iface);
    const std::string csName = RpcEndpointName(iface);
    const posix::CUniqueFd runFd(posix::OpenRootFolder("run"));
    if (!runFd.Valid())
        return RPC_S_CALL_FAILED_DNE;
    if (posix::CUniqueFd(posix::ConnectInFolder(runFd.Get(), csName, SOCK_STREAM, true)).Valid())
        return RPC_S_DUPLICATE_ENDPOINT;
    // Reachable by the administrators (the socket's rights, and the folder's);
    // each client's credentials are checked again at the accept. A dead
    // server's leftover is replaced.
    posix::CUniqueFd fd(posix::ListenInFolder(runFd.Get(), csName, SOCK_STREAM,
                                              posix::RootMode(0660), kMaxConnections));
    struct stat st;
    if (!fd.Valid() || ::fstatat(runFd.Get(), csName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::pipe2(s.wakePipe, O_CLOEXEC) != 0)
        return RPC_S_CALL_FAILED_DNE;
    s.inode = st.st_ino;
    s.listenFd = fd.Release();
    s.acceptThread = std::thread(AcceptLoop, m_state);
    return RPC_S_OK;
}

void RpcServer::Stop() {
    State& s = *m_state;
    if (s.listenFd < 0)
        return;
    s.stopping = true;
    (void)!::write(s.wakePipe[1], "x", 1);
    s.acceptThread.join();
    struct stat st;
    if (::stat(s.path.c_str(), &st) == 0 && st.st_ino == s.inode)
        ::unlink(s.path.c_str());
    ::close(s.listenFd);
    s.listenFd = -1;
    std::unique_lock guard(s.lock);
    for (int fd : s.connections)
        ::shutdown(fd, SHUT_RDWR);
    s.idle.wait(guard, [&] { return s.active == 0; });
    ::close(s.wakePipe[0]);
    ::close(s.wakePipe[1]);
}

} // namespace platform
