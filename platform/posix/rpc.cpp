// The RPC runtime on POSIX: string bindings, NDR buffers, and the
// connection-oriented DCE RPC exchange over the interface's local socket.
#include "platform/rpc.h"

#include "platform/error.h"
#include "platform/root.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

enum : uint8_t {
    kPtypeRequest = 0,
    kPtypeResponse = 2,
    kPtypeFault = 3,
    kPtypeBind = 11,
    kPtypeBindAck = 12,
    kPtypeBindNak = 13,
};
constexpr size_t kHeaderSize = 16;
constexpr uint16_t kMaxFragment = 65535;
constexpr const char* kNdrSyntax = "8a885d04-1ceb-11c9-9fe8-08002b104860";
constexpr uint32_t kNdrSyntaxVersion = 2;
constexpr int kServerIdleMs = 10000;
constexpr int kMaxConnections = 16;

// ---- UUIDs ----

bool ParseUuid(const std::string& text, uint8_t out[16]) {
    // 8-4-4-4-12 hex digits; the wire form keeps the first three fields as numbers.
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
        text[23] != '-')
        return false;
    std::string hex;
    for (char c : text) {
        if (c == '-')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        hex += c;
    }
    for (size_t i = 0; i < 16; ++i)
        out[i] = uint8_t(std::stoul(hex.substr(i * 2, 2), nullptr, 16));
    return true;
}

void WriteUuid(NdrWriter& w, const uint8_t uuid[16]) {
    w.U32(uint32_t(uuid[0]) << 24 | uint32_t(uuid[1]) << 16 | uint32_t(uuid[2]) << 8 | uuid[3]);
    w.U16(uint16_t(uuid[4] << 8 | uuid[5]));
    w.U16(uint16_t(uuid[6] << 8 | uuid[7]));
    for (int i = 8; i < 16; ++i)
        w.U8(uuid[i]);
}

bool ReadUuid(NdrReader& r, uint8_t uuid[16]) {
    uint32_t d1;
    uint16_t d2, d3;
    if (!r.U32(&d1) || !r.U16(&d2) || !r.U16(&d3))
        return false;
    uint8_t head[8] = {uint8_t(d1 >> 24), uint8_t(d1 >> 16), uint8_t(d1 >> 8), uint8_t(d1),
                       uint8_t(d2 >> 8),  uint8_t(d2),       uint8_t(d3 >> 8), uint8_t(d3)};
    std::memcpy(uuid, head, 8);
    for (int i = 8; i < 16; ++i) {
        if (!r.U8(&uuid[i]))
            return false;
    }
    return true;
}

// ---- sockets with a deadline ----

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::max<int64_t>(0, std::min<int64_t>(left.count(), 1 << 30)));
}

// 0 ok, else the errno (ETIMEDOUT when the time ran out).
int WaitFd(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd pfd{fd, events, 0};
        int n = ::poll(&pfd, 1, MsLeft(deadline));
        if (n > 0)
            return 0;
        if (n == 0)
            return ETIMEDOUT;
        if (errno != EINTR)
            return errno;
    }
}

int SendAll(int fd, const std::vector<uint8_t>& data, Clock::time_point deadline) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (int err = WaitFd(fd, POLLOUT, deadline))
            return err;
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return errno;
        sent += size_t(n);
    }
    return 0;
}

int RecvAll(int fd, uint8_t* p, size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (int err = WaitFd(fd, POLLIN, deadline))
            return err;
        ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ECONNRESET;
        p += n;
        size -= size_t(n);
    }
    return 0;
}

// ---- PDUs ----

struct SPdu {
    uint8_t ptype = 0;
    uint32_t callId = 0;
    NdrReader body;
};

std::vector<uint8_t> MakePdu(uint8_t ptype, uint32_t callId, const std::vector<uint8_t>& body) {
    NdrWriter w;
    w.U8(5);
    w.U8(0);
    w.U8(ptype);
    w.U8(0x03); // first and last fragment
    w.U8(0x10); // little-endian, ASCII, IEEE
    w.U8(0);
    w.U8(0);
    w.U8(0);
    w.U16(uint16_t(kHeaderSize + body.size()));
    w.U16(0);
    w.U32(callId);
    w.Data().insert(w.Data().end(), body.begin(), body.end());
    return w.Data();
}

// 0 ok; EPROTO for a malformed header; else the transport's errno.
int ReadPdu(int fd, Clock::time_point deadline, SPdu* pPdu) {
    uint8_t header[kHeaderSize];
    if (int err = RecvAll(fd, header, sizeof header, deadline))
        return err;
    if (header[0] != 5 || header[1] != 0 || (header[3] & 0x03) != 0x03)
        return EPROTO;
    bool bLittle = (header[4] & 0xF0) == 0x10;
    if (!bLittle && (header[4] & 0xF0) != 0x00)
        return EPROTO;
    NdrReader h(std::vector<uint8_t>(header + 8, header + 16), bLittle);
    uint16_t fragLength, authLength;
    h.U16(&fragLength);
    h.U16(&authLength);
    h.U32(&pPdu->callId);
    if (fragLength < kHeaderSize || authLength != 0)
        return EPROTO;
    std::vector<uint8_t> body(fragLength - kHeaderSize);
    if (int err = RecvAll(fd, body.data(), body.size(), deadline))
        return err;
    pPdu->ptype = header[2];
    pPdu->body = NdrReader(std::move(body), bLittle);
    return 0;
}

// The stub data behind a request's or a response's 8 bytes of fields.
NdrReader StubOf(NdrReader& body, std::vector<uint8_t>* pRest) {
    pRest->clear();
    for (uint8_t b; body.U8(&b);)
        pRest->push_back(b);
    return NdrReader(*pRest, body.LittleEndian());
}

bool PeerCredentials(int fd, ucred* pCred) {
    socklen_t len = sizeof *pCred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, pCred, &len) == 0;
}

bool TrustedUser(uid_t uid) {
    return uid == 0 || uid == ::geteuid();
}

sockaddr_un EndpointAddress(const std::string& path, bool* pOk) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    *pOk = path.size() < sizeof addr.sun_path;
    if (*pOk)
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return addr;
}

RPC_STATUS StatusFromErrno(int err, bool bSent) {
    switch (err) {
    case ETIMEDOUT:
        return RPC_S_CALL_TIMEOUT;
    case EPROTO:
        return RPC_S_PROTOCOL_ERROR;
    default:
        return bSent ? RPC_S_CALL_FAILED : RPC_S_CALL_FAILED_DNE;
    }
}

} // namespace

// ---- NDR ----

void NdrWriter::Align(size_t n) {
    while (m_data.size() % n != 0)
        m_data.push_back(0);
}
void NdrWriter::U16(uint16_t v) {
    Align(2);
    m_data.push_back(uint8_t(v));
    m_data.push_back(uint8_t(v >> 8));
}
void NdrWriter::U32(uint32_t v) {
    Align(4);
    for (int i = 0; i < 4; ++i)
        m_data.push_back(uint8_t(v >> (8 * i)));
}

bool NdrReader::Align(size_t n) {
    size_t aligned = (m_pos + n - 1) / n * n;
    if (aligned > m_data.size()) {
        m_pos = m_data.size() + 1; // failed for good
        return false;
    }
    m_pos = aligned;
    return true;
}
bool NdrReader::U8(uint8_t* p) {
    if (m_pos >= m_data.size())
        return false;
    *p = m_data[m_pos++];
    return true;
}
bool NdrReader::U16(uint16_t* p) {
    if (!Align(2) || m_pos + 2 > m_data.size())
        return false;
    uint16_t a = m_data[m_pos], b = m_data[m_pos + 1];
    *p = m_bLittle ? uint16_t(a | b << 8) : uint16_t(a << 8 | b);
    m_pos += 2;
    return true;
}
bool NdrReader::U32(uint32_t* p) {
    if (!Align(4) || m_pos + 4 > m_data.size())
        return false;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t byte = m_data[m_pos + size_t(i)];
        v |= m_bLittle ? byte << (8 * i) : byte << (8 * (3 - i));
    }
    *p = v;
    m_pos += 4;
    return true;
}

// ---- client ----

struct RpcBinding {
    std::string csObjUuid;
};

std::string RpcEndpointPath(const RpcInterface& iface) {
    std::string uuid = iface.csUuid;
    std::transform(uuid.begin(), uuid.end(), uuid.begin(), ::tolower);
    return RootPath("run/" + uuid + ".rpc");
}

RPC_STATUS RpcStringBindingCompose(const char* pszObjUuid, const char* pszProtSeq,
                                   const char* pszNetworkAddr, const char* pszEndpoint,
                                   const char* pszOptions, char** ppszStringBinding) {
    if (!ppszStringBinding)
        return RPC_S_INVALID_STRING_BINDING;
    std::string text;
    if (pszObjUuid && *pszObjUuid)
        text += std::string(pszObjUuid) + "@";
    text += pszProtSeq ? pszProtSeq : "";
    text += ":";
    text += pszNetworkAddr ? pszNetworkAddr : "";
    if ((pszEndpoint && *pszEndpoint) || (pszOptions && *pszOptions)) {
        text += "[";
        text += pszEndpoint ? pszEndpoint : "";
        if (pszOptions && *pszOptions)
            text += std::string(",") + pszOptions;
        text += "]";
    }
    *ppszStringBinding = ::strdup(text.c_str());
    return *ppszStringBinding ? RPC_S_OK : RPC_S_OUT_OF_MEMORY;
}

RPC_STATUS RpcStringFree(char** ppszString) {
    if (!ppszString)
        return RPC_S_INVALID_STRING_BINDING;
    std::free(*ppszString);
    *ppszString = nullptr;
    return RPC_S_OK;
}

RPC_STATUS RpcBindingFromStringBinding(const char* pszStringBinding,
                                       RPC_BINDING_HANDLE* phBinding) {
    if (!pszStringBinding || !phBinding)
        return RPC_S_INVALID_STRING_BINDING;
    std::string text = pszStringBinding;
    std::string objUuid;
    size_t at = text.find('@');
    if (at != std::string::npos) {
        objUuid = text.substr(0, at);
        text = text.substr(at + 1);
    }
    size_t colon = text.find(':');
    if (colon == std::string::npos)
        return RPC_S_INVALID_STRING_BINDING;
    if (text.substr(0, colon) != "ncacn_np")
        return RPC_S_PROTSEQ_NOT_SUPPORTED;
    std::string rest = text.substr(colon + 1);
    std::string address = rest.substr(0, rest.find('['));
    if (!address.empty() && address != "." && address != "localhost")
        return RPC_S_SERVER_UNAVAILABLE; // local calls only
    *phBinding = new (std::nothrow) RpcBinding{objUuid};
    return *phBinding ? RPC_S_OK : RPC_S_OUT_OF_MEMORY;
}

RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* phBinding) {
    if (!phBinding || !*phBinding)
        return RPC_S_INVALID_BINDING;
    delete *phBinding;
    *phBinding = nullptr;
    return RPC_S_OK;
}

RPC_STATUS RpcCall(RPC_BINDING_HANDLE hBinding, const RpcInterface& iface, uint16_t wOpnum,
                   const NdrWriter& request, NdrReader* pResponse, uint32_t dwTimeoutMs) {
    if (!hBinding)
        return RPC_S_INVALID_BINDING;
    uint8_t ifUuid[16], ndrUuid[16];
    if (!ParseUuid(iface.csUuid, ifUuid) || !ParseUuid(kNdrSyntax, ndrUuid))
        return RPC_S_UNKNOWN_IF;
    if (request.Data().size() + kHeaderSize + 8 > kMaxFragment)
        return RPC_S_CALL_FAILED_DNE;
    auto deadline = Clock::now() + std::chrono::milliseconds(dwTimeoutMs);
    bool bPathOk;
    sockaddr_un addr = EndpointAddress(RpcEndpointPath(iface), &bPathOk);
    if (!bPathOk)
        return RPC_S_SERVER_UNAVAILABLE;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return RPC_S_OUT_OF_MEMORY;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN)
            return RPC_S_SERVER_UNAVAILABLE;
        if (WaitFd(fd, POLLOUT, deadline) != 0)
            return RPC_S_SERVER_UNAVAILABLE;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)
            return RPC_S_SERVER_UNAVAILABLE;
    }
    ucred cred;
    if (!PeerCredentials(fd, &cred) || !TrustedUser(cred.uid))
        return RPC_S_ACCESS_DENIED;

    NdrWriter bind;
    bind.U16(kMaxFragment);
    bind.U16(kMaxFragment);
    bind.U32(0); // no association group
    bind.U8(1);  // one presentation context
    bind.Align(4);
    bind.U16(0); // its id
    bind.U8(1);  // one transfer syntax
    bind.U8(0);
    WriteUuid(bind, ifUuid);
    bind.U16(iface.wMajorVersion);
    bind.U16(iface.wMinorVersion);
    WriteUuid(bind, ndrUuid);
    bind.U32(kNdrSyntaxVersion);
    if (int err = SendAll(fd, MakePdu(kPtypeBind, 1, bind.Data()), deadline))
        return StatusFromErrno(err, false);
    SPdu answer;
    if (int err = ReadPdu(fd, deadline, &answer))
        return StatusFromErrno(err, false);
    if (answer.ptype == kPtypeBindNak)
        return RPC_S_UNKNOWN_IF;
    if (answer.ptype != kPtypeBindAck)
        return RPC_S_PROTOCOL_ERROR;
    {
        uint16_t maxXmit, maxRecv, secAddrLen, result, reason;
        uint32_t assoc;
        uint8_t nResults, pad;
        NdrReader& r = answer.body;
        if (!r.U16(&maxXmit) || !r.U16(&maxRecv) || !r.U32(&assoc) || !r.U16(&secAddrLen))
            return RPC_S_PROTOCOL_ERROR;
        for (uint16_t i = 0; i < secAddrLen; ++i) {
            if (!r.U8(&pad))
                return RPC_S_PROTOCOL_ERROR;
        }
        if (!r.Align(4) || !r.U8(&nResults) || !r.U8(&pad) || !r.U8(&pad) || !r.U8(&pad) ||
            !r.U16(&result) || !r.U16(&reason) || nResults < 1)
            return RPC_S_PROTOCOL_ERROR;
        if (result != 0)
            return RPC_S_UNKNOWN_IF;
    }

    NdrWriter call;
    call.U32(uint32_t(request.Data().size()));
    call.U16(0);
    call.U16(wOpnum);
    call.Data().insert(call.Data().end(), request.Data().begin(), request.Data().end());
    if (int err = SendAll(fd, MakePdu(kPtypeRequest, 2, call.Data()), deadline))
        return StatusFromErrno(err, false);
    if (int err = ReadPdu(fd, deadline, &answer))
        return StatusFromErrno(err, true);
    uint32_t allocHint, status;
    uint16_t contextId;
    uint8_t cancelCount, pad;
    NdrReader& r = answer.body;
    if (!r.U32(&allocHint) || !r.U16(&contextId) || !r.U8(&cancelCount) || !r.U8(&pad))
        return RPC_S_PROTOCOL_ERROR;
    if (answer.ptype == kPtypeFault)
        return r.U32(&status) && status != 0 ? status : RPC_S_CALL_FAILED;
    if (answer.ptype != kPtypeResponse || answer.callId != 2)
        return RPC_S_PROTOCOL_ERROR;
    std::vector<uint8_t> stub;
    *pResponse = StubOf(r, &stub);
    return RPC_S_OK;
}

// ---- server ----

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
        auto deadline = Clock::now() + std::chrono::milliseconds(kServerIdleMs);
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
        ucred cred;
        std::lock_guard guard(s->lock);
        if (!PeerCredentials(fd, &cred) || !TrustedUser(cred.uid) || s->active >= kMaxConnections) {
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
    bool bPathOk;
    sockaddr_un addr = EndpointAddress(s.path, &bPathOk);
    if (!bPathOk)
        return RPC_S_INVALID_ENDPOINT_FORMAT;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return RPC_S_OUT_OF_MEMORY;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        ::close(fd);
        return RPC_S_DUPLICATE_ENDPOINT;
    }
    ::unlink(s.path.c_str()); // a dead server's leftover
    // Everyone may connect; the peer's credentials decide.
    mode_t old = ::umask(0111);
    int rc = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::umask(old);
    struct stat st;
    if (rc != 0 || ::listen(fd, kMaxConnections) != 0 || ::stat(s.path.c_str(), &st) != 0 ||
        ::pipe2(s.wakePipe, O_CLOEXEC) != 0) {
        ::close(fd);
        return rc != 0 && errno == EADDRINUSE ? RPC_STATUS(RPC_S_DUPLICATE_ENDPOINT)
                                              : RPC_STATUS(RPC_S_CALL_FAILED_DNE);
    }
    s.inode = st.st_ino;
    s.listenFd = fd;
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
