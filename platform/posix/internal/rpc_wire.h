// The wire of the RPC runtime on POSIX (internal): connection-oriented DCE
// RPC PDUs of one fragment over a local stream socket, with deadlines, the
// interface UUIDs in their wire form, and the peers a socket may talk to.
#pragma once

#include "platform/rpc_ndr.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <vector>

namespace platform::posix::rpc {

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
// The NDR transfer syntax, version 2.0.
constexpr const char* kNdrSyntax = "8a885d04-1ceb-11c9-9fe8-08002b104860";
constexpr uint32_t kNdrSyntaxVersion = 2;

// "8-4-4-4-12" hex digits to 16 bytes; the first three fields travel as numbers.
bool ParseUuid(const std::string& text, uint8_t out[16]);
void WriteUuid(NdrWriter& w, const uint8_t uuid[16]);
bool ReadUuid(NdrReader& r, uint8_t uuid[16]);

// 0 or the errno; ETIMEDOUT when the deadline passed first.
int WaitFd(int fd, short events, Clock::time_point deadline);
int SendAll(int fd, const std::vector<uint8_t>& data, Clock::time_point deadline);
int RecvAll(int fd, uint8_t* p, size_t size, Clock::time_point deadline);

struct SPdu {
    uint8_t ptype = 0;
    uint32_t callId = 0;
    NdrReader body;
};
// A whole PDU (one fragment, little-endian) around the body.
std::vector<uint8_t> MakePdu(uint8_t ptype, uint32_t callId, const std::vector<uint8_t>& body);
// 0 ok; EPROTO for a malformed header; else the transport's errno.
int ReadPdu(int fd, Clock::time_point deadline, SPdu* pPdu);
// The stub data behind a request's or a response's fields.
NdrReader StubOf(NdrReader& body, std::vector<uint8_t>* pRest);

// The endpoint's socket name in the root's run/ folder.
std::string RpcEndpointName(const RpcInterface& iface);
// The status of a call whose transport failed, before or after the request went.
RPC_STATUS StatusFromErrno(int err, bool bSent);

} // namespace platform::posix::rpc
