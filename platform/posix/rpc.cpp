// The RPC runtime on POSIX: NDR buffers, bindings, and the client's call over
// the interface's local socket.
#include "platform/rpc_ndr.h"

#include "rpc_binding.h"

#include "internal/local_socket.h"
#include "internal/root_access.h"
#include "internal/rpc_wire.h"
#include "internal/unique_fd.h"
#include "platform/error.h"
#include "platform/root.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

using namespace posix::rpc;

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
    return RootPath("run/" + RpcEndpointName(iface));
}

RPC_STATUS RpcBindingFromStringBinding(const char* pszStringBinding,
                                       RPC_BINDING_HANDLE* phBinding) {
    if (!phBinding)
        return RPC_S_INVALID_STRING_BINDING;
    std::string objUuid;
    if (RPC_STATUS status = ParseLocalBinding(pszStringBinding, &objUuid))
        return status;
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
    // Only the machine's own server may answer in the endpoint's place.
    posix::CUniqueFd connection;
    {
        const posix::CUniqueFd runFd(posix::OpenRootFolder("run"));
        if (!runFd.Valid())
            return RPC_S_SERVER_UNAVAILABLE;
        connection.Reset(
            posix::ConnectInFolder(runFd.Get(), RpcEndpointName(iface), SOCK_STREAM, true));
    }
    if (!connection.Valid())
        return RPC_S_SERVER_UNAVAILABLE;
    const int fd = connection.Get();
    if (!posix::PeerAllowed(fd, posix::PeerRule::RootOwner))
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

} // namespace platform
