// The port monitor interface on Windows: the generated stubs over the system's
// RPC runtime. The client's call keeps the caller's port name until the call
// succeeded; the server hands each call to the procedure it listens with.
#include "common/PortMonitorRpc.h"

#include "PortMonitorCall.h"
#include "platform/rpc_native.h"

#include "PortMonitor.h"

#include <algorithm>
#include <mutex>

using namespace platform;

namespace {

size_t WideLength(const char16_t* psz, size_t max) {
    size_t n = 0;
    while (n < max && psz[n] != 0)
        ++n;
    return n;
}

// The procedure of this process's server; calls copy it, so that Stop can
// clear it while none waits.
std::mutex g_procLock;
MonSetNewPortProc g_proc;

} // namespace

// The stub's memory comes from and returns to the process heap.
extern "C" void* __RPC_USER midl_user_allocate(size_t cBytes) {
    return ::HeapAlloc(::GetProcessHeap(), 0, cBytes);
}
extern "C" void __RPC_USER midl_user_free(void* p) {
    ::HeapFree(::GetProcessHeap(), 0, p);
}

// The server stub's manager routine: the procedure's answer, the name kept to
// 257 characters and a zero.
extern "C" LONG __cdecl Serve_monSetNewPort(wchar_t szPortName[kMonPortNameChars], wchar_t* pszAddr,
                                            char cFlag) {
    MonSetNewPortProc proc;
    {
        const std::lock_guard<std::mutex> lock(g_procLock);
        proc = g_proc;
    }
    char16_t* psz = reinterpret_cast<char16_t*>(szPortName);
    psz[kMonPortNameChars - 1] = 0;
    if (!proc)
        return 0;
    const int32_t result = proc(psz, reinterpret_cast<const char16_t*>(pszAddr), uint8_t(cFlag));
    psz[kMonPortNameChars - 1] = 0;
    return result;
}

int32_t monSetNewPort(char16_t szPortName[kMonPortNameChars], const char16_t* pszAddr,
                      uint8_t cFlag, platform::RPC_STATUS* pStatus, uint32_t dwTimeoutMs) {
    if (!pszAddr) {
        *pStatus = RPC_X_BAD_STUB_DATA; // a null reference pointer
        return 0;
    }
    *pStatus = RpcSetCallTimeout(g_hPortMonitorBinding, dwTimeoutMs);
    if (*pStatus != RPC_S_OK)
        return 0;
    uint16_t szName[kMonPortNameChars] = {};
    std::copy_n(szPortName, WideLength(szPortName, kMonPortNameChars - 1), szName);
    int32_t result = 0;
    *pStatus = CallPortMonitor(RpcNativeBinding(g_hPortMonitorBinding), szName,
                               reinterpret_cast<const uint16_t*>(pszAddr), char(cFlag), &result);
    if (*pStatus != RPC_S_OK)
        return 0;
    szName[kMonPortNameChars - 1] = 0;
    std::copy_n(szName, kMonPortNameChars, szPortName);
    return result;
}

struct CPortMonitorServer::SState {
    bool bListening = false;
};

CPortMonitorServer::CPortMonitorServer() : m_state(std::make_unique<SState>()) {}
CPortMonitorServer::~CPortMonitorServer() {
    Stop();
}

platform::RPC_STATUS CPortMonitorServer::Listen(MonSetNewPortProc proc) {
    {
        const std::lock_guard<std::mutex> lock(g_procLock);
        if (g_proc)
            return RPC_S_DUPLICATE_ENDPOINT;
        g_proc = std::move(proc);
    }
    platform::RPC_STATUS status =
        RpcServeInterface(Serve_PortMonitor_v1_0_s_ifspec, "port monitor");
    if (status != RPC_S_OK) {
        const std::lock_guard<std::mutex> lock(g_procLock);
        g_proc = nullptr;
        return status;
    }
    m_state->bListening = true;
    return RPC_S_OK;
}

void CPortMonitorServer::Stop() {
    if (!m_state->bListening)
        return;
    RpcStopServing(Serve_PortMonitor_v1_0_s_ifspec);
    m_state->bListening = false;
    const std::lock_guard<std::mutex> lock(g_procLock);
    g_proc = nullptr;
}
