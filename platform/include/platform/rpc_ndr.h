// The emulated machine's RPC runtime (POSIX only): call data in NDR, one call
// of an interface's procedure by number, and the server that answers an
// interface's calls. On Windows, stubs generated from the interface's .idl do
// this over the system's runtime.
//
// The endpoint of an interface is the stream socket "run/<interface uuid>.rpc"
// in the system root. The exchange is that of connection-oriented DCE RPC: a
// bind naming the interface and the NDR transfer syntax, then request and
// response (or fault) PDUs of one fragment each, in the data representation
// the sender's header states. Both ends check the other's credentials: only
// root and the user who runs the server may call, and a client talks only to
// a server run by root or by itself.
#pragma once

#include "platform/rpc.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// ---- NDR encoding ----

// Writes call data in NDR, little-endian, each value aligned to its size.
class NdrWriter {
public:
    void Align(size_t n);
    void U8(uint8_t v) { m_data.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    const std::vector<uint8_t>& Data() const { return m_data; }
    std::vector<uint8_t>& Data() { return m_data; }

private:
    std::vector<uint8_t> m_data;
};

// Reads call data in the byte order the sender's data representation states.
// Every read fails (false) past the end of the data, and stays failed.
class NdrReader {
public:
    NdrReader() = default;
    NdrReader(std::vector<uint8_t> data, bool bLittleEndian)
        : m_data(std::move(data)), m_bLittle(bLittleEndian) {}
    bool Align(size_t n);
    bool U8(uint8_t* p);
    bool U16(uint16_t* p);
    bool U32(uint32_t* p);
    bool AtEnd() const { return m_pos == m_data.size(); }
    bool LittleEndian() const { return m_bLittle; }

private:
    std::vector<uint8_t> m_data;
    size_t m_pos = 0;
    bool m_bLittle = true;
};

// One call of procedure wOpnum of the interface: connects to its endpoint,
// binds, sends the request data and reads the answer's data, all within
// dwTimeoutMs. A fault answered by the server is returned as its status.
RPC_STATUS RpcCall(RPC_BINDING_HANDLE hBinding, const RpcInterface& iface, uint16_t wOpnum,
                   const NdrWriter& request, NdrReader* pResponse, uint32_t dwTimeoutMs);

// ---- server ----

// Carries out one call: reads the request, writes the answer; a status other
// than RPC_S_OK is sent back as a fault.
using RpcDispatchFunction =
    std::function<RPC_STATUS(uint16_t wOpnum, NdrReader& request, NdrWriter* pResponse)>;

// Answers the calls of one interface on its endpoint, each connection in a
// thread of its own (up to 16 at once; more are refused, and a connection idle
// for 10 s, scaled by VEX_DELAY_PERCENT, is dropped).
class RpcServer {
public:
    RpcServer();
    ~RpcServer(); // stops listening and waits for the calls in progress
    RpcServer(const RpcServer&) = delete;
    RpcServer& operator=(const RpcServer&) = delete;

    // Takes the interface's endpoint: RPC_S_DUPLICATE_ENDPOINT while another
    // server answers there.
    RPC_STATUS Listen(const RpcInterface& iface, RpcDispatchFunction dispatch);
    void Stop();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// The file of an interface's endpoint.
std::string RpcEndpointPath(const RpcInterface& iface);

} // namespace platform
