// The rule of a string binding, the same for every back end, so that a binding
// one platform takes is never refused by another.
#pragma once

#include "platform/rpc.h"

#include <string>

namespace platform {

// Checks "[object uuid@]ncacn_np:[address][[endpoint][,options]]" for a local
// named-pipe binding and gives its object UUID (empty when none): RPC_S_OK, or
// RPC_S_INVALID_STRING_BINDING, RPC_S_PROTSEQ_NOT_SUPPORTED, or
// RPC_S_SERVER_UNAVAILABLE for another machine.
RPC_STATUS ParseLocalBinding(const char* pszStringBinding, std::string* pcsObjUuid);

} // namespace platform
