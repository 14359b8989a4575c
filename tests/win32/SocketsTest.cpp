// Windows Sockets on loopback (ctest runs inside the private namespace):
// datagrams cut to the buffer with their real length, multicast, time-outs,
// refused connections, and a datagram that leaves from a given address.
#include "platform/sockets.h"
#include "Helpers.h"
#include "Listener.h"
#include "platform/error.h"

#include <gtest/gtest.h>
#include <string>

using namespace platform;

namespace {

class SocketsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WSAStartup()); }
    void TearDown() override { WSACleanup(); }
    // A datagram socket bound to csAddr on a port of the system's choice.
    SOCKET Receiver(const std::string& csAddr, uint16_t* puPort) {
        SOCKET s = CreateSocket(SocketKind::Datagram);
        EXPECT_NE(INVALID_SOCKET, s);
        EXPECT_TRUE(BindSocket(s, csAddr, 0));
        EXPECT_TRUE(SetReceiveTimeout(s, 5000));
        *puPort = uint16_t(GetLocalPort(s));
        return s;
    }
};

TEST(SocketsAddressTest, AnIPv4AddressIsReadInNetworkOrder) {
    uint8_t address[4] = {};
    ASSERT_TRUE(ParseIPv4Address("192.168.0.7", address));
    EXPECT_EQ(192, address[0]);
    EXPECT_EQ(168, address[1]);
    EXPECT_EQ(0, address[2]);
    EXPECT_EQ(7, address[3]);
    for (const char* pszBad : {"", "1.2.3", "256.1.1.1", "1.2.3.4.5", "a.b.c.d", "1.2.3.4 ",
                               "01.2.3.4", "1..2.3", "1.2.3.4."})
        EXPECT_FALSE(ParseIPv4Address(pszBad, address)) << pszBad;
}

TEST_F(SocketsTest, ADatagramIsCutToTheBufferAndTellsItsLength) {
    uint16_t uPort = 0;
    SOCKET r = Receiver("127.0.0.1", &uPort);
    SOCKET s = CreateSocket(SocketKind::Datagram);
    const std::string csData = "NOTIFY * HTTP/1.1\r\n\r\n";
    ASSERT_TRUE(SendTo(s, csData.data(), csData.size(), "127.0.0.1", uPort));
    char buffer[6];
    std::string csFrom;
    uint16_t uFrom = 0;
    size_t nFull = 0;
    ASSERT_EQ(6, ReceiveFrom(r, buffer, sizeof buffer, &csFrom, &uFrom, &nFull));
    EXPECT_EQ("NOTIFY", std::string(buffer, 6));
    EXPECT_EQ(csData.size(), nFull);
    EXPECT_EQ("127.0.0.1", csFrom);
    EXPECT_EQ(GetLocalPort(s), int(uFrom));

    // Nothing more comes: the receive runs out of its time.
    ASSERT_TRUE(SetReceiveTimeout(r, 50));
    EXPECT_EQ(-1, ReceiveFrom(r, buffer, sizeof buffer, nullptr, nullptr));
    EXPECT_EQ(WSAETIMEDOUT, GetLastError());

    EXPECT_FALSE(SendTo(s, "x", 1, "not-an-address", uPort));
    EXPECT_EQ(WSAEINVAL, GetLastError());
    EXPECT_TRUE(CloseSocket(s));
    EXPECT_TRUE(CloseSocket(r));
}

TEST_F(SocketsTest, MulticastReachesAMemberOnLoopback) {
    uint16_t uPort = 0;
    SOCKET r = Receiver("", &uPort);
    ASSERT_TRUE(JoinMulticastGroup(r, "239.255.255.250", "127.0.0.1"));
    EXPECT_TRUE(JoinMulticastGroup(r, "239.255.255.250", "127.0.0.1")); // again: no failure
    EXPECT_FALSE(JoinMulticastGroup(r, "", "127.0.0.1"));
    SOCKET s = CreateSocket(SocketKind::Datagram);
    ASSERT_TRUE(SetMulticastTtl(s, 4));
    ASSERT_TRUE(SendTo(s, "M-SEARCH", 8, "239.255.255.250", uPort));
    char buffer[32];
    ASSERT_EQ(8, ReceiveFrom(r, buffer, sizeof buffer, nullptr, nullptr));
    EXPECT_EQ("M-SEARCH", std::string(buffer, 8));
    CloseSocket(s);
    CloseSocket(r);
}

TEST_F(SocketsTest, ADatagramLeavesFromTheSourceAddressGiven) {
    uint16_t uPort = 0;
    SOCKET r = Receiver("", &uPort);
    SOCKET s = CreateSocket(SocketKind::Datagram);
    ASSERT_TRUE(SendTo(s, "alive", 5, "127.0.0.1", uPort, "127.0.0.2"));
    char buffer[8];
    std::string csFrom;
    ASSERT_EQ(5, ReceiveFrom(r, buffer, sizeof buffer, &csFrom, nullptr));
    // Wine (8.0) takes the datagram but leaves IP_PKTINFO's source aside:
    // there it can only show that the datagram arrives.
    if (!win32test::UnderWine()) {
        EXPECT_EQ("127.0.0.2", csFrom);
    }
    CloseSocket(s);
    CloseSocket(r);
}

TEST_F(SocketsTest, AStreamCarriesDataAndARefusalHasItsNumber) {
    uint16_t uPort = 0;
    const SOCKET listener = vextest::ListenOnLoopback(&uPort);
    ASSERT_NE(INVALID_SOCKET, listener);
    SOCKET c = CreateSocket(SocketKind::Stream);
    ASSERT_TRUE(ConnectSocket(c, "127.0.0.1", uPort, 5000));
    const SOCKET a = vextest::AcceptOne(listener);
    ASSERT_NE(INVALID_SOCKET, a);
    const std::string csAsk = "GET /desc.xml HTTP/1.1\r\n\r\n";
    ASSERT_TRUE(SendAll(c, csAsk.data(), csAsk.size()));
    ASSERT_TRUE(ShutdownSocket(c, SD_SEND));
    std::string csGot;
    char buffer[8];
    for (int n; (n = Receive(a, buffer, sizeof buffer)) > 0;)
        csGot.append(buffer, size_t(n));
    EXPECT_EQ(csAsk, csGot);
    EXPECT_TRUE(CloseSocket(a));
    CloseSocket(c);
    CloseSocket(listener);

    // Nobody listens there any more.
    SOCKET refused = CreateSocket(SocketKind::Stream);
    EXPECT_FALSE(ConnectSocket(refused, "127.0.0.1", uPort, 5000));
    EXPECT_EQ(WSAECONNREFUSED, GetLastError());
    CloseSocket(refused);
}

} // namespace
