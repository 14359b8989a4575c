// The SSDP socket and the listener, each test in a private network namespace
// of its own (loopback only), so that nothing leaves the machine and tests
// running side by side do not hear each other.
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/sockets.h"
#include "service/Adverts.h"
#include "service/ListenThread.h"
#include "service/SsdpSocket.h"

#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;

namespace {

class SsdpSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string csError;
        ASSERT_TRUE(vextest::EnterPrivateNetwork(&csError)) << csError;
    }
    // Multicasts one datagram from a loopback address.
    static void Multicast(const std::string& csData, const std::string& csFrom = "127.0.0.5",
                          int iPort = SSDP_PORT) {
        SOCKET s = CreateSocket(SocketKind::Datagram);
        ASSERT_NE(s, INVALID_SOCKET);
        ASSERT_TRUE(
            SendTo(s, csData.data(), csData.size(), SSDP_MULTICAST_ADDR, uint16_t(iPort), csFrom))
            << GetLastError();
        CloseSocket(s);
    }
    vextest::TempRoot root;
};

TEST_F(SsdpSocketTest, SecondBindOfThePortSharesIt) {
    CSsdpSocket first, second;
    ASSERT_TRUE(first.Init(SSDP_PORT));
    // Another SSDP stack holds the port: the second socket shares it.
    ASSERT_TRUE(second.Init(SSDP_PORT));
    char szBuffer[100];
    std::string csAddr, csHost;
    ASSERT_TRUE(
        first.TimedReceive(SSDP_MULTICAST_ADDR, 10, szBuffer, sizeof szBuffer, &csAddr, &csHost))
        << GetLastError();
    ASSERT_TRUE(
        second.TimedReceive(SSDP_MULTICAST_ADDR, 10, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    Multicast("hello");
    for (CSsdpSocket* pSocket : {&first, &second}) {
        ASSERT_TRUE(pSocket->TimedReceive(SSDP_MULTICAST_ADDR, 2000, szBuffer, sizeof szBuffer,
                                          &csAddr, &csHost));
        EXPECT_STREQ(szBuffer, "hello");
        EXPECT_EQ(csAddr, "127.0.0.5");
    }
}

TEST_F(SsdpSocketTest, TimeOutIsSuccessWithAnEmptyBuffer) {
    CSsdpSocket socket;
    ASSERT_TRUE(socket.Init(0));
    char szBuffer[64];
    std::memset(szBuffer, 'x', sizeof szBuffer);
    std::string csAddr = "unchanged", csHost = "unchanged";
    ASSERT_TRUE(
        socket.TimedReceive(SSDP_MULTICAST_ADDR, 20, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    EXPECT_EQ(std::string(szBuffer, sizeof szBuffer), std::string(sizeof szBuffer, '\0'));
    EXPECT_EQ(csAddr, "unchanged");
    EXPECT_EQ(csHost, "unchanged");
}

TEST_F(SsdpSocketTest, DatagramThatFillsTheBufferIsDroppedNotCut) {
    CSsdpSocket socket;
    ASSERT_TRUE(socket.Init(SSDP_PORT));
    char szBuffer[100];
    std::string csAddr, csHost;
    ASSERT_TRUE(
        socket.TimedReceive(SSDP_MULTICAST_ADDR, 10, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    Multicast(std::string(100, 'a')); // needs the terminating byte too: dropped
    Multicast(std::string(2000, 'b'));
    Multicast(std::string(99, 'c')); // fits with its NUL
    ASSERT_TRUE(socket.Receive(SSDP_MULTICAST_ADDR, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    EXPECT_EQ(std::string(szBuffer), std::string(99, 'c'));
}

TEST_F(SsdpSocketTest, SenderWithoutReverseEntryLeavesTheHostName) {
    CSsdpSocket socket;
    ASSERT_TRUE(socket.Init(SSDP_PORT));
    char szBuffer[100];
    std::string csAddr, csHost;
    ASSERT_TRUE(
        socket.TimedReceive(SSDP_MULTICAST_ADDR, 10, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    Multicast("from .77", "127.0.0.77");
    ASSERT_TRUE(socket.Receive(SSDP_MULTICAST_ADDR, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    EXPECT_EQ(csAddr, "127.0.0.77");
    std::string csExpected;
    if (!GetHostByAddr("127.0.0.77", &csExpected)) {
        EXPECT_EQ(csHost, "");
    }
    // Sent with the time-to-live, to the group: a member hears it.
    CSsdpSocket sender;
    ASSERT_TRUE(sender.Init(0));
    ASSERT_TRUE(sender.Send(4, SSDP_PORT, SSDP_MULTICAST_ADDR, "search"));
    ASSERT_TRUE(socket.Receive(SSDP_MULTICAST_ADDR, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    EXPECT_STREQ(szBuffer, "search");
}

TEST_F(SsdpSocketTest, UnusableSocketFailsWithAWinsockNumber) {
    CSsdpSocket socket;
    char szBuffer[10];
    std::string csAddr, csHost;
    EXPECT_FALSE(socket.Receive(SSDP_MULTICAST_ADDR, szBuffer, sizeof szBuffer, &csAddr, &csHost));
    EXPECT_FALSE(socket.Send(1, SSDP_PORT, SSDP_MULTICAST_ADDR, "x"));
    ASSERT_TRUE(socket.Init(0));
    EXPECT_FALSE(socket.Send(1, SSDP_PORT, "not an address", "x"));
    EXPECT_EQ(GetLastError(), uint32_t(WSAEINVAL));
    SOCKET s = CreateSocket(SocketKind::Datagram);
    ASSERT_TRUE(SetReceiveTimeout(s, 10));
    EXPECT_EQ(ReceiveFrom(s, szBuffer, sizeof szBuffer, &csAddr, nullptr), -1);
    EXPECT_EQ(GetLastError(), uint32_t(WSAETIMEDOUT));
    CloseSocket(s);
    EXPECT_EQ(ReceiveFrom(s, szBuffer, sizeof szBuffer, &csAddr, nullptr), -1);
    EXPECT_EQ(GetLastError(), uint32_t(WSAENOTSOCK));
}

TEST_F(SsdpSocketTest, ListenerQueuesDatagramsAndGoesOnAfterPassingErrors) {
    EXPECT_TRUE(CListenThread::IsPassingError(WSAEINTR));
    EXPECT_TRUE(CListenThread::IsPassingError(WSAENOBUFS));
    EXPECT_TRUE(CListenThread::IsPassingError(WSAECONNRESET));
    EXPECT_TRUE(CListenThread::IsPassingError(WSAENETDOWN));
    EXPECT_FALSE(CListenThread::IsPassingError(WSAENOTSOCK));
    EXPECT_FALSE(CListenThread::IsPassingError(WSAEINVAL));
    CAdverts adverts;
    CListenThread listener(&adverts);
    std::thread thread([&] { listener.Listen(); });
    // Until the listener has joined the group, datagrams may go unheard: send
    // until one arrives.
    ASSERT_TRUE(vextest::WaitFor([&] {
        Multicast("first", "127.0.0.9");
        return !adverts.IsEmpty();
    }));
    SAdvert advert;
    ASSERT_TRUE(adverts.Remove(advert));
    EXPECT_EQ(advert.csData, "first");
    EXPECT_EQ(advert.csIpAddr, "127.0.0.9");
    listener.Stop();
    thread.join();
}

} // namespace
