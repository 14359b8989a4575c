// The port monitor interface's stubs on the emulated machine: NDR marshalling
// of monSetNewPort over the emulated runtime.
#include "common/PortMonitorRpc.h"

#include "platform/rpc_ndr.h"

#include <algorithm>

using namespace platform;

namespace {

enum : uint16_t { kOpSetNewPort = 0 };

size_t WideLength(const char16_t* psz, size_t max) {
    size_t n = 0;
    while (n < max && psz[n] != 0)
        ++n;
    return n;
}

// Offset, actual count, characters (the zero included).
void WriteVarying(NdrWriter& w, const char16_t* psz, size_t count) {
    w.U32(0);
    w.U32(uint32_t(count));
    for (size_t i = 0; i < count; ++i)
        w.U16(i + 1 == count ? 0 : uint16_t(psz[i]));
}

// A varying string of at most max characters that ends in its zero.
bool ReadVarying(NdrReader& r, size_t max, std::u16string* pText) {
    uint32_t offset, count;
    if (!r.U32(&offset) || !r.U32(&count) || offset != 0 || count == 0 || count > max)
        return false;
    pText->clear();
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t c;
        if (!r.U16(&c))
            return false;
        if (i + 1 < count)
            *pText += char16_t(c);
        else if (c != 0)
            return false;
    }
    // A zero inside the string ends it, as the receiver reads it.
    pText->resize(WideLength(pText->c_str(), pText->size()));
    return true;
}

// Unmarshals a call, runs the procedure and marshals its answer.
RpcDispatchFunction Dispatch(MonSetNewPortProc proc) {
    return [proc](uint16_t wOpnum, NdrReader& in, NdrWriter* pOut) -> RPC_STATUS {
        if (wOpnum != kOpSetNewPort)
            return RPC_S_PROCNUM_OUT_OF_RANGE;
        std::u16string name, addr;
        uint32_t maxCount;
        uint8_t cFlag;
        if (!ReadVarying(in, kMonPortNameChars, &name) || !in.U32(&maxCount) ||
            !ReadVarying(in, maxCount, &addr) || !in.U8(&cFlag))
            return RPC_X_BAD_STUB_DATA;
        char16_t szPortName[kMonPortNameChars] = {};
        std::copy(name.begin(), name.end(), szPortName);
        int32_t result = proc(szPortName, addr, cFlag);
        szPortName[kMonPortNameChars - 1] = 0;
        WriteVarying(*pOut, szPortName, WideLength(szPortName, kMonPortNameChars - 1) + 1);
        pOut->U32(uint32_t(result));
        return RPC_S_OK;
    };
}

} // namespace

int32_t monSetNewPort(char16_t szPortName[kMonPortNameChars], const char16_t* pszAddr,
                      uint8_t cFlag, RPC_STATUS* pStatus, uint32_t dwTimeoutMs) {
    if (!pszAddr) {
        *pStatus = RPC_X_BAD_STUB_DATA; // a null reference pointer
        return 0;
    }
    NdrWriter w;
    w.Align(4);
    WriteVarying(w, szPortName, WideLength(szPortName, kMonPortNameChars - 1) + 1);
    size_t addrCount = WideLength(pszAddr, SIZE_MAX) + 1;
    w.Align(4);
    w.U32(uint32_t(addrCount)); // maximum count of the conformant string
    WriteVarying(w, pszAddr, addrCount);
    w.U8(cFlag);

    NdrReader r;
    *pStatus =
        RpcCall(g_hPortMonitorBinding, kPortMonitorInterface, kOpSetNewPort, w, &r, dwTimeoutMs);
    if (*pStatus != RPC_S_OK)
        return 0;
    std::u16string name;
    uint32_t result;
    if (!ReadVarying(r, kMonPortNameChars, &name) || !r.U32(&result)) {
        *pStatus = RPC_X_BAD_STUB_DATA;
        return 0;
    }
    std::copy(name.begin(), name.end(), szPortName);
    szPortName[name.size()] = 0;
    return int32_t(result);
}

struct CPortMonitorServer::SState {
    RpcServer server;
};

CPortMonitorServer::CPortMonitorServer() : m_state(std::make_unique<SState>()) {}
CPortMonitorServer::~CPortMonitorServer() = default;

RPC_STATUS CPortMonitorServer::Listen(MonSetNewPortProc proc) {
    return m_state->server.Listen(kPortMonitorInterface, Dispatch(std::move(proc)));
}

void CPortMonitorServer::Stop() {
    m_state->server.Stop();
}
