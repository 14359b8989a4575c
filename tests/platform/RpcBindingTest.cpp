// String bindings: composed from their parts and taken only for local named
// pipes, by the same rule on every platform.
#include "platform/error.h"
#include "platform/rpc.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(RpcBindingTest, OnlyLocalNamedPipeBindings) {
    char* psz = nullptr;
    ASSERT_EQ(RPC_S_OK, RpcStringBindingCompose("obj", "ncacn_np", "", "\\pipe\\x", "opt", &psz));
    EXPECT_STREQ("obj@ncacn_np:[\\pipe\\x,opt]", psz);
    RpcStringFree(&psz);
    EXPECT_EQ(nullptr, psz);
    RPC_BINDING_HANDLE h = nullptr;
    EXPECT_EQ(RPC_S_PROTSEQ_NOT_SUPPORTED, RpcBindingFromStringBinding("ncacn_ip_tcp:", &h));
    EXPECT_EQ(RPC_S_SERVER_UNAVAILABLE, RpcBindingFromStringBinding("ncacn_np:elsewhere", &h));
    EXPECT_EQ(RPC_S_INVALID_STRING_BINDING, RpcBindingFromStringBinding("nonsense", &h));
    EXPECT_EQ(RPC_S_OK, RpcBindingFromStringBinding("ncacn_np:", &h));
    EXPECT_EQ(RPC_S_OK, RpcBindingFree(&h));
    EXPECT_EQ(RPC_S_INVALID_BINDING, RpcBindingFree(&h));
}
