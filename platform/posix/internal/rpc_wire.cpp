// The wire of the RPC runtime on POSIX.
#include "rpc_wire.h"

#include "platform/error.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <poll.h>

namespace platform::posix::rpc {

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

// Rounded up: poll() must not wake before the deadline.
int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::max<int64_t>(0, std::min<int64_t>(left.count(), 1 << 30)));
}

// 0 ok, else the errno (ETIMEDOUT when the time ran out).
int WaitFd(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd pfd{fd, events, 0};
        int n = ::poll(&pfd, 1, MsLeft(deadline));
        if (n > 0)
            return 0;
        if (n == 0 && Clock::now() >= deadline)
            return ETIMEDOUT;
        if (n < 0 && errno != EINTR)
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

std::string RpcEndpointName(const RpcInterface& iface) {
    std::string uuid = iface.csUuid;
    std::transform(uuid.begin(), uuid.end(), uuid.begin(), ::tolower);
    return uuid + ".rpc";
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

} // namespace platform::posix::rpc
