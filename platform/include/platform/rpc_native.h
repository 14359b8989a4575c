// The rpc facility on Windows (Windows only): what the stubs that widl
// generates from an interface's .idl need of a binding, and the serving of an
// interface whose server stubs are generated. The system's runtime marshals
// and carries the calls.
#pragma once

#include "platform/rpc.h"

#include <cstdint>

namespace platform {

// The runtime's own binding handle (a handle_t) behind a binding; null for a
// null binding.
void* RpcNativeBinding(RPC_BINDING_HANDLE hBinding);

// Limits each later call on the binding to dwTimeoutMs; a call that outlasts
// it fails with RPC_S_CALL_TIMEOUT.
RPC_STATUS RpcSetCallTimeout(RPC_BINDING_HANDLE hBinding, uint32_t dwTimeoutMs);

// Answers the calls of an interface (its generated RPC_IF_HANDLE) on a named
// pipe of the runtime's choosing, registered with the endpoint mapper under
// the interface, where a binding without an endpoint finds it. The pipe lets
// in the system, the Administrators and the process's user. The calls run in
// the runtime's threads. RPC_S_DUPLICATE_ENDPOINT when this process serves the
// interface already.
RPC_STATUS RpcServeInterface(void* hIfSpec, const char* pszAnnotation);
// Takes the interface off the endpoint mapper and waits for its calls in
// progress.
RPC_STATUS RpcStopServing(void* hIfSpec);

} // namespace platform
