// The RPC runtime: string bindings, NDR data, calls to a server of the
// interface, faults, time limits, byte orders and who may call.
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/process.h"
#include "platform/root.h"
#include "platform/rpc_ndr.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

const RpcInterface kEcho{"0c5a1e7e-1234-4bcd-9abc-00112233aabb", 1, 2};

RPC_BINDING_HANDLE Bind() {
    char* psz = nullptr;
    RPC_BINDING_HANDLE h = nullptr;
    EXPECT_EQ(RPC_S_OK,
              RpcStringBindingCompose(nullptr, "ncacn_np", nullptr, nullptr, nullptr, &psz));
    EXPECT_EQ(RPC_S_OK, RpcBindingFromStringBinding(psz, &h));
    RpcStringFree(&psz);
    return h;
}

// Procedure 0 adds one to a 32-bit number; procedure 1 faults with the number.
RPC_STATUS Echo(uint16_t opnum, NdrReader& in, NdrWriter* out) {
    uint32_t value;
    if (!in.U32(&value))
        return RPC_X_BAD_STUB_DATA;
    if (opnum == 1)
        return value;
    out->U8(7);
    out->U32(value + 1);
    return RPC_S_OK;
}

RPC_STATUS CallEcho(RPC_BINDING_HANDLE h, const RpcInterface& iface, uint16_t opnum, uint32_t value,
                    uint32_t* pResult, uint32_t timeoutMs = 5000) {
    NdrWriter request;
    request.U32(value);
    NdrReader response;
    RPC_STATUS status = RpcCall(h, iface, opnum, request, &response, timeoutMs);
    uint8_t tag = 0;
    if (status == RPC_S_OK && (!response.U8(&tag) || tag != 7 || !response.U32(pResult)))
        return RPC_X_BAD_STUB_DATA;
    return status;
}

class RpcTest : public ::testing::Test {
protected:
    vextest::TempRoot root;
    void SetUp() override { ASSERT_TRUE(EnsureSystemRoot()); }
};

TEST(NdrTest, ValuesAreAlignedAndReadInTheSendersByteOrder) {
    NdrWriter w;
    w.U8(1);
    w.U16(0x0203);
    w.U32(0x04050607);
    EXPECT_EQ((std::vector<uint8_t>{1, 0, 3, 2, 7, 6, 5, 4}), w.Data());
    NdrReader big({0, 0, 0x12, 0x34, 0xDE, 0xAD, 0xBE, 0xEF}, false);
    uint16_t v16;
    uint32_t v32;
    ASSERT_TRUE(big.U16(&v16));
    ASSERT_TRUE(big.U32(&v32)); // aligned to 4 first
    EXPECT_EQ(0xDEADBEEFu, v32);
    EXPECT_TRUE(big.AtEnd());
    EXPECT_FALSE(big.U8(nullptr));
    NdrReader shortData({1, 2, 3}, true);
    EXPECT_FALSE(shortData.U32(&v32));
}

TEST_F(RpcTest, CallsReachTheServerAndFaultsComeBack) {
    RPC_BINDING_HANDLE h = Bind();
    uint32_t result = 0;
    EXPECT_EQ(RPC_S_SERVER_UNAVAILABLE, CallEcho(h, kEcho, 0, 41, &result));
    {
        RpcServer server;
        ASSERT_EQ(RPC_S_OK, server.Listen(kEcho, Echo));
        RpcServer second;
        EXPECT_EQ(RPC_S_DUPLICATE_ENDPOINT, second.Listen(kEcho, Echo));
        EXPECT_EQ(RPC_S_OK, CallEcho(h, kEcho, 0, 41, &result));
        EXPECT_EQ(42u, result);
        EXPECT_EQ(1234u, CallEcho(h, kEcho, 1, 1234, &result));
        // An older client minor version is served; another major is not.
        EXPECT_EQ(RPC_S_OK, CallEcho(h, {kEcho.csUuid, 1, 0}, 0, 1, &result));
        EXPECT_EQ(RPC_S_UNKNOWN_IF, CallEcho(h, {kEcho.csUuid, 2, 0}, 0, 1, &result));
        EXPECT_EQ(RPC_S_UNKNOWN_IF, CallEcho(h, {kEcho.csUuid, 1, 3}, 0, 1, &result));
    }
    // The stopped server leaves no endpoint behind.
    EXPECT_FALSE(std::filesystem::exists(RpcEndpointPath(kEcho)));
    EXPECT_EQ(RPC_S_SERVER_UNAVAILABLE, CallEcho(h, kEcho, 0, 41, &result));
    RpcBindingFree(&h);
}

// A raw endpoint: accepts, then runs the script on the connection.
class CRawEndpoint {
public:
    explicit CRawEndpoint(std::function<void(int)> script) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::string path = RpcEndpointPath(kEcho);
        std::strcpy(addr.sun_path, path.c_str());
        EXPECT_EQ(0, ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
        EXPECT_EQ(0, ::listen(m_fd, 4));
        m_thread = std::thread([this, script] {
            int client = ::accept(m_fd, nullptr, nullptr);
            if (client >= 0) {
                script(client);
                ::close(client);
            }
        });
    }
    ~CRawEndpoint() {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }

private:
    int m_fd;
    std::thread m_thread;
};

std::vector<uint8_t> ReadPdu(int fd) {
    std::vector<uint8_t> pdu(16);
    if (::recv(fd, pdu.data(), 16, MSG_WAITALL) != 16)
        return {};
    size_t length = pdu[8] | pdu[9] << 8;
    pdu.resize(length);
    ::recv(fd, pdu.data() + 16, length - 16, MSG_WAITALL);
    return pdu;
}

// A PDU in big-endian data representation.
std::vector<uint8_t> BigEndianPdu(uint8_t ptype, uint32_t callId,
                                  const std::vector<uint8_t>& body) {
    size_t length = 16 + body.size();
    std::vector<uint8_t> pdu;
    for (uint8_t byte :
         {uint8_t(5), uint8_t(0), ptype, uint8_t(3), uint8_t(0), uint8_t(0), uint8_t(0), uint8_t(0),
          uint8_t(length >> 8), uint8_t(length), uint8_t(0), uint8_t(0), uint8_t(callId >> 24),
          uint8_t(callId >> 16), uint8_t(callId >> 8), uint8_t(callId)})
        pdu.push_back(byte);
    for (uint8_t byte : body)
        pdu.push_back(byte);
    return pdu;
}

TEST_F(RpcTest, AnswersInTheOtherByteOrderAreConverted) {
    CRawEndpoint endpoint([](int fd) {
        ReadPdu(fd);
        // bind_ack: xmit, recv, assoc, no secondary address, pad, one result (accepted), syntax.
        std::vector<uint8_t> ack = {0x10, 0, 0x10, 0, 0, 0, 0, 1, 0, 0,
                                    0,    0, 1,    0, 0, 0, 0, 0, 0, 0};
        ack.insert(ack.end(), 20, 0);
        auto pdu = BigEndianPdu(12, 1, ack);
        ::send(fd, pdu.data(), pdu.size(), 0);
        ReadPdu(fd);
        // response: alloc hint, context, cancel count, pad; stub: tag 7, then 0x0000002A.
        std::vector<uint8_t> response = {0, 0, 0, 8, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0x2A};
        pdu = BigEndianPdu(2, 2, response);
        ::send(fd, pdu.data(), pdu.size(), 0);
    });
    RPC_BINDING_HANDLE h = Bind();
    uint32_t result = 0;
    EXPECT_EQ(RPC_S_OK, CallEcho(h, kEcho, 0, 1, &result));
    EXPECT_EQ(42u, result);
    RpcBindingFree(&h);
}

TEST_F(RpcTest, SilentBrokenAndGarbledServersFailTheCall) {
    RPC_BINDING_HANDLE h = Bind();
    uint32_t result = 0;
    {
        CRawEndpoint silent([](int fd) {
            char byte;
            ::recv(fd, &byte, 1, MSG_PEEK);
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
        });
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RPC_S_CALL_TIMEOUT, CallEcho(h, kEcho, 0, 1, &result, 200));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
    std::filesystem::remove(RpcEndpointPath(kEcho));
    {
        CRawEndpoint broken([](int fd) { ReadPdu(fd); });
        EXPECT_EQ(RPC_S_CALL_FAILED_DNE, CallEcho(h, kEcho, 0, 1, &result));
    }
    std::filesystem::remove(RpcEndpointPath(kEcho));
    {
        CRawEndpoint garbled([](int fd) {
            ReadPdu(fd);
            const char junk[] = "HTTP/1.1 400 Bad Request\r\n\r\n";
            ::send(fd, junk, sizeof junk, 0);
        });
        EXPECT_EQ(RPC_S_PROTOCOL_ERROR, CallEcho(h, kEcho, 0, 1, &result));
    }
    RpcBindingFree(&h);
}

int ConnectRaw() {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, RpcEndpointPath(kEcho).c_str());
    return ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? fd : -1;
}

TEST_F(RpcTest, IdleAndSurplusClientsNeverStopTheServer) {
    ::setenv("VEX_DELAY_PERCENT", "1", 1);
    RpcServer server;
    ASSERT_EQ(RPC_S_OK, server.Listen(kEcho, Echo));
    // An idle connection is dropped (10 s, shortened to 100 ms here).
    int idle = ConnectRaw();
    ASSERT_GE(idle, 0);
    char byte;
    EXPECT_EQ(0, ::recv(idle, &byte, 1, 0));
    ::close(idle);
    // Sixteen silent connections fill the server; a newcomer is refused...
    ::setenv("VEX_DELAY_PERCENT", "100", 1);
    RpcServer busy;
    server.Stop();
    ASSERT_EQ(RPC_S_OK, busy.Listen(kEcho, Echo));
    std::vector<int> silent;
    for (int i = 0; i < 16; ++i)
        silent.push_back(ConnectRaw());
    RPC_BINDING_HANDLE h = Bind();
    uint32_t result = 0;
    ASSERT_TRUE(vextest::WaitFor([&] { return CallEcho(h, kEcho, 0, 1, &result) != RPC_S_OK; }));
    // ...and served again once one of them goes.
    ::close(silent.back());
    silent.pop_back();
    EXPECT_TRUE(vextest::WaitFor([&] { return CallEcho(h, kEcho, 0, 1, &result) == RPC_S_OK; }));
    EXPECT_EQ(2u, result);
    for (int fd : silent)
        ::close(fd);
    RpcBindingFree(&h);
    ::unsetenv("VEX_DELAY_PERCENT");
}

// Calls the echo interface; exits with the status.
VEX_TEST_HELPER(rpc_call) {
    RPC_BINDING_HANDLE h = Bind();
    uint32_t result = 0;
    const RPC_STATUS status = CallEcho(h, kEcho, 0, 1, &result);
    RpcBindingFree(&h);
    return status == RPC_S_OK ? 0 : 1;
}

// The exit code of the echo call made by uid 65534 with the given group.
uint32_t CallAsNobodyWithGroup(uint32_t uiGroupId) {
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ProcessOptions options;
    options.bRunAsUser = true;
    options.uiUserId = 65534;
    options.uiGroupId = uiGroupId;
    Process client;
    uint32_t code = 99;
    EXPECT_TRUE(client.Start(QuoteArgument(std::string(self, size_t(n))) + " --vex-helper=rpc_call",
                             options));
    EXPECT_EQ(WaitResult::Signaled, client.Wait(10000));
    EXPECT_TRUE(client.GetExitCode(&code));
    return code;
}

TEST_F(RpcTest, OnlyTheMachinesAdministratorsMayCall) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a client as another user";
    RpcServer server;
    ASSERT_EQ(RPC_S_OK, server.Listen(kEcho, Echo));
    // A stranger is refused; a member of the administrators' group is served.
    EXPECT_NE(0u, CallAsNobodyWithGroup(65534));
    EXPECT_EQ(0u, CallAsNobodyWithGroup(vextest::kTestAdminGroup));
    // The server keeps serving.
    RPC_BINDING_HANDLE h = Bind();
    uint32_t result = 0;
    EXPECT_EQ(RPC_S_OK, CallEcho(h, kEcho, 0, 1, &result));
    RpcBindingFree(&h);
}

} // namespace
