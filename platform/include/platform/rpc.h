// Remote procedure calls to a local interface: string bindings and binding
// handles, and the status numbers of the Win32 RPC runtime (1702 bad binding,
// 1703 protocol sequence not supported, 1717 unknown interface, 1722 server
// unavailable, 1726 call failed, 1727 call failed and did not run, 1728
// protocol error, 1745 procedure number out of range, 1753 no endpoint
// registered, 1783 bad stub data, 1818 time-out). Only the local named-pipe
// protocol sequence "ncacn_np" is offered; an interface's endpoint is found
// from its UUID.
//
// An interface's calls are marshalled by its stubs: on Windows the stubs
// generated from its .idl over the system's runtime (platform/rpc_native.h),
// on POSIX stubs written against the emulated runtime (platform/rpc_ndr.h).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using RPC_STATUS = uint32_t;

enum : uint32_t {
    RPC_S_OK = 0,
    RPC_S_OUT_OF_MEMORY = 14,
    RPC_S_INVALID_STRING_BINDING = 1700,
    RPC_S_WRONG_KIND_OF_BINDING = 1701,
    RPC_S_PROTSEQ_NOT_SUPPORTED = 1703,
    RPC_S_INVALID_ENDPOINT_FORMAT = 1706,
    RPC_S_UNKNOWN_IF = 1717,
    RPC_S_DUPLICATE_ENDPOINT = 1740,
    RPC_S_PROCNUM_OUT_OF_RANGE = 1745,
    EPT_S_NOT_REGISTERED = 1753,
    RPC_X_BAD_STUB_DATA = 1783,
    RPC_S_ACCESS_DENIED = 5,
};

// An interface: its UUID and version.
struct RpcInterface {
    std::string csUuid; // "8bf15410-a8ed-11d4-8af1-0001021ee15d"
    uint16_t wMajorVersion;
    uint16_t wMinorVersion;
};

// ---- client ----

struct RpcBinding;
using RPC_BINDING_HANDLE = RpcBinding*;

// "[object uuid@]protseq:[network address][[endpoint][,options]]"; the text is
// allocated here and freed with RpcStringFree. Null parts are left out.
RPC_STATUS RpcStringBindingCompose(const char* pszObjUuid, const char* pszProtSeq,
                                   const char* pszNetworkAddr, const char* pszEndpoint,
                                   const char* pszOptions, char** ppszStringBinding);
RPC_STATUS RpcStringFree(char** ppszString);
// Only "ncacn_np" on the local machine (no address, or "." / "localhost").
RPC_STATUS RpcBindingFromStringBinding(const char* pszStringBinding, RPC_BINDING_HANDLE* phBinding);
RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* phBinding);

} // namespace platform
