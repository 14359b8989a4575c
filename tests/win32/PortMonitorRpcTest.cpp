// The port monitor interface over the system's RPC runtime: the generated
// client stub against the generated server stub in another process (the test
// program run again as a helper), found through the endpoint mapper; the
// answer's name and code, names cut to 257 characters, the caller's name kept
// when a call fails, a silent server ended by the call's limit, one server of
// the interface per process.
#include "common/PortMonitorRpc.h"
#include "Helpers.h"
#include "platform/error.h"
#include "platform/process.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;

namespace {

// The helper's procedure: the name comes back as "name|address", the code is
// 48 plus the flag (51 for the service's 3).
int32_t EchoProc(char16_t szPortName[kMonPortNameChars], const std::u16string& csAddr,
                 uint8_t cFlag) {
    std::u16string csName = std::u16string(szPortName) + u"|" + csAddr;
    csName.resize(std::min(csName.size(), kMonPortNameChars - 1));
    std::copy(csName.begin(), csName.end(), szPortName);
    szPortName[csName.size()] = 0;
    return 48 + cFlag;
}

} // namespace

namespace win32test {

// "port_monitor MODE READY": serves the interface until the file READY, which
// it writes once it listens, is deleted. MODE echo answers with EchoProc;
// silent holds each call until then.
int RunPortMonitor(const std::vector<std::string>& args) {
    const std::string& csMode = args.at(0);
    const std::string& csReady = args.at(1);
    CPortMonitorServer server;
    RPC_STATUS status =
        server.Listen([&](char16_t* szName, const std::u16string& csAddr, uint8_t cFlag) {
            while (csMode == "silent" && std::filesystem::exists(csReady))
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return EchoProc(szName, csAddr, cFlag);
        });
    if (status != RPC_S_OK)
        return int(status);
    std::ofstream(csReady) << "listening\n";
    while (std::filesystem::exists(csReady))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.Stop();
    return 0;
}

} // namespace win32test

namespace {

class PortMonitorRpcTest : public ::testing::Test {
protected:
    void SetUp() override {
        char* psz = nullptr;
        ASSERT_EQ(RPC_S_OK,
                  RpcStringBindingCompose(nullptr, "ncacn_np", nullptr, nullptr, nullptr, &psz));
        ASSERT_EQ(RPC_S_OK, RpcBindingFromStringBinding(psz, &g_hPortMonitorBinding));
        RpcStringFree(&psz);
    }
    void TearDown() override {
        // The helper unregisters and ends once its file is gone.
        std::filesystem::remove(csReady);
        if (server.IsStarted() && server.Wait(60000) != WaitResult::Signaled)
            server.Terminate(1);
        RpcBindingFree(&g_hPortMonitorBinding);
    }

    // Starts the helper server and waits until it listens.
    void StartServer(const std::string& csMode) {
        ASSERT_TRUE(server.Start(win32test::HelperLine("port_monitor", {csMode, csReady})));
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!std::filesystem::exists(csReady) && server.Wait(0) == WaitResult::Timeout &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(std::filesystem::exists(csReady)) << "the helper server does not listen";
    }

    int32_t Call(std::u16string* pcsName, const char16_t* pszAddr, RPC_STATUS* pStatus,
                 uint32_t dwTimeoutMs = 30000) {
        char16_t szName[kMonPortNameChars] = {};
        std::copy(pcsName->begin(), pcsName->end(), szName);
        int32_t rc = monSetNewPort(szName, pszAddr, 3, pStatus, dwTimeoutMs);
        *pcsName = szName;
        return rc;
    }

    const std::string csReady = win32test::UniqueName("portmon-ready");
    Process server;
};

TEST_F(PortMonitorRpcTest, AServerInAnotherProcessAnswersNameAndCode) {
    StartServer("echo");
    RPC_STATUS status = RPC_S_OK;
    std::u16string csName = u"IP_10.0.0.7";
    EXPECT_EQ(51, Call(&csName, u"10.0.0.7", &status));
    EXPECT_EQ(RPC_S_OK, status);
    EXPECT_EQ(u"IP_10.0.0.7|10.0.0.7", csName);
    // A name of 257 characters reaches the monitor whole; its longer answer
    // is cut to 257.
    csName = std::u16string(kMonPortNameChars - 1, u'p');
    EXPECT_EQ(51, Call(&csName, u"printer.example", &status));
    EXPECT_EQ(RPC_S_OK, status);
    EXPECT_EQ(std::u16string(kMonPortNameChars - 1, u'p'), csName);
    // An empty name and a long address.
    csName.clear();
    const std::u16string csLongAddr(1000, u'a');
    EXPECT_EQ(51, Call(&csName, csLongAddr.c_str(), &status));
    EXPECT_EQ((u"|" + csLongAddr).substr(0, kMonPortNameChars - 1), csName);
}

TEST_F(PortMonitorRpcTest, AFailedCallKeepsTheCallersName) {
    RPC_STATUS status = RPC_S_OK;
    std::u16string csName = u"IP_kept";
    // No server: the endpoint mapper knows none (or the server is gone).
    EXPECT_EQ(0, Call(&csName, u"10.0.0.7", &status));
    EXPECT_NE(RPC_S_OK, status);
    EXPECT_EQ(u"IP_kept", csName);
    // A null address is a null reference pointer, refused before the call.
    EXPECT_EQ(0, Call(&csName, nullptr, &status));
    EXPECT_EQ(RPC_X_BAD_STUB_DATA, status);
    EXPECT_EQ(u"IP_kept", csName);
}

TEST_F(PortMonitorRpcTest, ASilentServerIsEndedByTheCallsLimit) {
    // Windows ends the call after the binding's RPC_C_OPT_CALL_TIMEOUT; wine's
    // runtime takes the option and ignores it, so the call would wait for the
    // server.
    if (win32test::UnderWine())
        GTEST_SKIP() << "wine ignores the call time-out of a binding";
    StartServer("silent");
    RPC_STATUS status = RPC_S_OK;
    std::u16string csName = u"IP_kept";
    EXPECT_EQ(0, Call(&csName, u"10.0.0.7", &status, 2000));
    EXPECT_EQ(RPC_S_CALL_TIMEOUT, status);
    EXPECT_EQ(u"IP_kept", csName);
}

TEST_F(PortMonitorRpcTest, OneServerOfTheInterfacePerProcess) {
    CPortMonitorServer first, second;
    ASSERT_EQ(RPC_S_OK, first.Listen(EchoProc));
    EXPECT_EQ(RPC_S_DUPLICATE_ENDPOINT, second.Listen(EchoProc));
    // The process's own server answers its own calls too.
    RPC_STATUS status = RPC_S_OK;
    std::u16string csName = u"IP_self";
    EXPECT_EQ(51, Call(&csName, u"127.0.0.1", &status));
    EXPECT_EQ(u"IP_self|127.0.0.1", csName);
    first.Stop();
    ASSERT_EQ(RPC_S_OK, second.Listen(EchoProc));
    csName = u"IP_again";
    EXPECT_EQ(51, Call(&csName, u"127.0.0.2", &status));
    EXPECT_EQ(RPC_S_OK, status);
    EXPECT_EQ(u"IP_again|127.0.0.2", csName);
}

} // namespace
