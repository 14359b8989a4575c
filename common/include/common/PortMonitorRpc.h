// The port monitor's RPC interface (common/idl/PortMonitor.idl): one
// procedure, monSetNewPort, that creates a port printing to a printer's
// address. The client call is the service's, the server the monitor's; both
// marshal as the interface states:
//   [in, out] wchar_t szPortName[258]   non-conformant varying string
//   [in, string, ref] wchar_t* pszAddr  conformant varying string
//   [in] char cFlag
//   result: a 32-bit signed code.
// On Windows the stubs are generated from the .idl and the system's runtime
// carries the calls; on POSIX they are written against the emulated runtime.
#pragma once

#include "platform/rpc.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Characters of the port name array, its terminating zero included.
constexpr size_t kMonPortNameChars = 258;

// 8bf15410-a8ed-11d4-8af1-0001021ee15d, version 1.0.
extern const platform::RpcInterface kPortMonitorInterface;

// The interface's implicit binding handle: one for the process, set by the
// client that binds (CPortManager) and used by every call.
extern platform::RPC_BINDING_HANDLE g_hPortMonitorBinding;

// Calls the monitor. szPortName holds at most 257 characters and a zero; the
// monitor's name comes back in it. The call's own failure (no server, a broken
// or silent connection, bad answer data) is *pStatus; the result is then 0 and
// szPortName is left as it was. dwTimeoutMs limits the whole call.
int32_t monSetNewPort(char16_t szPortName[kMonPortNameChars], const char16_t* pszAddr,
                      uint8_t cFlag, platform::RPC_STATUS* pStatus, uint32_t dwTimeoutMs);

// The monitor's side: its procedure, given the request's values; it may change
// szPortName (kept to 257 characters and a zero).
using MonSetNewPortProc = std::function<int32_t(char16_t szPortName[kMonPortNameChars],
                                                const std::u16string& csAddr, uint8_t cFlag)>;

// Answers monSetNewPort with a procedure until stopped or destroyed; each call
// runs in a thread of the runtime. Bad call data is refused with
// RPC_X_BAD_STUB_DATA before the procedure sees it.
class CPortMonitorServer {
public:
    CPortMonitorServer();
    ~CPortMonitorServer();
    CPortMonitorServer(const CPortMonitorServer&) = delete;
    CPortMonitorServer& operator=(const CPortMonitorServer&) = delete;

    // RPC_S_DUPLICATE_ENDPOINT while another server of the interface answers
    // (on Windows: another in this process; the endpoint mapper keeps one
    // entry per serving process).
    platform::RPC_STATUS Listen(MonSetNewPortProc proc);
    // Stops answering and waits for the calls in progress.
    void Stop();

    struct SState;

private:
    std::unique_ptr<SState> m_state;
};
