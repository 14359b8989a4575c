// String bindings: composed, freed and checked the same way on every back end.
#include "rpc_binding.h"

#include "platform/error.h"

#include <cstdlib>
#include <cstring>

namespace platform {

RPC_STATUS RpcStringBindingCompose(const char* pszObjUuid, const char* pszProtSeq,
                                   const char* pszNetworkAddr, const char* pszEndpoint,
                                   const char* pszOptions, char** ppszStringBinding) {
    if (!ppszStringBinding)
        return RPC_S_INVALID_STRING_BINDING;
    std::string text;
    if (pszObjUuid && *pszObjUuid)
        text += std::string(pszObjUuid) + "@";
    text += pszProtSeq ? pszProtSeq : "";
    text += ":";
    text += pszNetworkAddr ? pszNetworkAddr : "";
    if ((pszEndpoint && *pszEndpoint) || (pszOptions && *pszOptions)) {
        text += "[";
        text += pszEndpoint ? pszEndpoint : "";
        if (pszOptions && *pszOptions)
            text += std::string(",") + pszOptions;
        text += "]";
    }
    *ppszStringBinding = ::strdup(text.c_str());
    return *ppszStringBinding ? RPC_S_OK : RPC_S_OUT_OF_MEMORY;
}

RPC_STATUS RpcStringFree(char** ppszString) {
    if (!ppszString)
        return RPC_S_INVALID_STRING_BINDING;
    std::free(*ppszString);
    *ppszString = nullptr;
    return RPC_S_OK;
}

RPC_STATUS ParseLocalBinding(const char* pszStringBinding, std::string* pcsObjUuid) {
    if (!pszStringBinding)
        return RPC_S_INVALID_STRING_BINDING;
    std::string text = pszStringBinding;
    pcsObjUuid->clear();
    size_t at = text.find('@');
    if (at != std::string::npos) {
        *pcsObjUuid = text.substr(0, at);
        text = text.substr(at + 1);
    }
    size_t colon = text.find(':');
    if (colon == std::string::npos)
        return RPC_S_INVALID_STRING_BINDING;
    if (text.substr(0, colon) != "ncacn_np")
        return RPC_S_PROTSEQ_NOT_SUPPORTED;
    std::string rest = text.substr(colon + 1);
    std::string address = rest.substr(0, rest.find('['));
    if (!address.empty() && address != "." && address != "localhost")
        return RPC_S_SERVER_UNAVAILABLE; // local calls only
    return RPC_S_OK;
}

} // namespace platform
