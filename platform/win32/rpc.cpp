// The rpc facility on Windows: bindings over the system's RPC runtime (the
// string rule is the portable one), and the serving of an interface whose
// stubs widl generated.
#include "platform/rpc_native.h"

#include "pipe_security.h"
#include "rpc_binding.h"
#include "windows_api.h"

#include <mutex>
#include <new>
#include <rpc.h>
#include <set>

// The A/W switch of the runtime's header, which shares the platform call's name.
#undef RpcBindingFromStringBinding

namespace platform {

struct RpcBinding {
    handle_t hNative = nullptr;
};

RPC_STATUS RpcBindingFromStringBinding(const char* pszStringBinding,
                                       RPC_BINDING_HANDLE* phBinding) {
    if (!phBinding)
        return RPC_S_INVALID_STRING_BINDING;
    std::string objUuid;
    if (RPC_STATUS status = ParseLocalBinding(pszStringBinding, &objUuid))
        return status;
    handle_t hNative = nullptr;
    RPC_STATUS status = ::RpcBindingFromStringBindingA(
        reinterpret_cast<RPC_CSTR>(const_cast<char*>(pszStringBinding)), &hNative);
    if (status != RPC_S_OK)
        return status;
    *phBinding = new (std::nothrow) RpcBinding{hNative};
    if (!*phBinding) {
        ::RpcBindingFree(&hNative);
        return RPC_S_OUT_OF_MEMORY;
    }
    return RPC_S_OK;
}

RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* phBinding) {
    if (!phBinding || !*phBinding)
        return RPC_S_INVALID_BINDING;
    RPC_STATUS status = ::RpcBindingFree(&(*phBinding)->hNative);
    delete *phBinding;
    *phBinding = nullptr;
    return status;
}

void* RpcNativeBinding(RPC_BINDING_HANDLE hBinding) {
    return hBinding ? hBinding->hNative : nullptr;
}

RPC_STATUS RpcSetCallTimeout(RPC_BINDING_HANDLE hBinding, uint32_t dwTimeoutMs) {
    if (!hBinding)
        return RPC_S_INVALID_BINDING;
    return ::RpcBindingSetOption(hBinding->hNative, RPC_C_OPT_CALL_TIMEOUT, dwTimeoutMs);
}

namespace {

// The process's named-pipe endpoint, made once: every interface the process
// serves is reached through it.
RPC_STATUS UseNamedPipes() {
    static std::once_flag once;
    static RPC_STATUS status = RPC_S_OK;
    std::call_once(once, [] {
        PSECURITY_DESCRIPTOR pSd = PipeSecurity(PipeAccess::Default);
        if (!pSd) {
            status = ::GetLastError();
            return;
        }
        status = ::RpcServerUseProtseqA(reinterpret_cast<RPC_CSTR>(const_cast<char*>("ncacn_np")),
                                        RPC_C_PROTSEQ_MAX_REQS_DEFAULT, pSd);
        ::LocalFree(pSd);
    });
    return status;
}

// Applies fn to the process's server bindings.
template <typename Fn> RPC_STATUS WithServerBindings(Fn fn) {
    RPC_BINDING_VECTOR* pBindings = nullptr;
    RPC_STATUS status = ::RpcServerInqBindings(&pBindings);
    if (status != RPC_S_OK)
        return status;
    status = fn(pBindings);
    ::RpcBindingVectorFree(&pBindings);
    return status;
}

// The interfaces this process serves.
std::mutex g_servedLock;
std::set<void*> g_served;

} // namespace

RPC_STATUS RpcServeInterface(void* hIfSpec, const char* pszAnnotation) {
    if (RPC_STATUS status = UseNamedPipes())
        return status;
    const std::lock_guard<std::mutex> lock(g_servedLock);
    if (g_served.count(hIfSpec))
        return RPC_S_DUPLICATE_ENDPOINT;
    RPC_STATUS status = ::RpcServerRegisterIf2(hIfSpec, nullptr, nullptr, RPC_IF_AUTOLISTEN,
                                               RPC_C_LISTEN_MAX_CALLS_DEFAULT, ~0u, nullptr);
    if (status != RPC_S_OK)
        return status;
    status = WithServerBindings([&](RPC_BINDING_VECTOR* pBindings) {
        return ::RpcEpRegisterA(hIfSpec, pBindings, nullptr,
                                reinterpret_cast<RPC_CSTR>(const_cast<char*>(pszAnnotation)));
    });
    if (status != RPC_S_OK)
        ::RpcServerUnregisterIf(hIfSpec, nullptr, TRUE);
    else
        g_served.insert(hIfSpec);
    return status;
}

RPC_STATUS RpcStopServing(void* hIfSpec) {
    {
        const std::lock_guard<std::mutex> lock(g_servedLock);
        if (!g_served.erase(hIfSpec))
            return RPC_S_UNKNOWN_IF;
    }
    RPC_STATUS epStatus = WithServerBindings([&](RPC_BINDING_VECTOR* pBindings) {
        return ::RpcEpUnregister(hIfSpec, pBindings, nullptr);
    });
    RPC_STATUS status = ::RpcServerUnregisterIf(hIfSpec, nullptr, TRUE);
    return status != RPC_S_OK ? status : epStatus;
}

} // namespace platform
