// The requests queue: turns by advertising address, the cap on one address's
// open requests, a waiting request replaced in place, the bound, and the
// requests kept for a printer being processed.
#include "TestSupport.h"

#include "service/Requests.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

SRequest Request(const std::string& csAddr, const std::string& csUUID, uint32_t uiSeq = 1,
                 ESsdpMethod eMethod = ESsdpMethod::ALIVE) {
    SRequest request;
    request.eMethod = eMethod;
    request.csIpAddr = csAddr;
    request.csUUID = csUUID;
    request.csURL = "/desc.xml";
    request.csModel = "Laser 1332";
    request.ulSeqNum = uiSeq;
    return request;
}

std::string Next(CRequests& requests) {
    SRequest request;
    EXPECT_TRUE(requests.Remove(request));
    return request.csUUID;
}

TEST(RequestQueueTest, AddressesTakeTurnsAndOneAddressHasTwoOpenAtMost) {
    CRequests requests;
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(requests.Add(Request("10.0.0.1", "a" + std::to_string(i))));
    ASSERT_TRUE(requests.Add(Request("10.0.0.2", "b1")));
    ASSERT_TRUE(requests.Add(Request("10.0.0.2", "b2")));
    ASSERT_TRUE(requests.Add(Request("10.0.0.3", "c1")));
    EXPECT_EQ(Next(requests), "a1");
    EXPECT_EQ(Next(requests), "b1");
    EXPECT_EQ(Next(requests), "c1");
    EXPECT_EQ(Next(requests), "a2");
    EXPECT_EQ(Next(requests), "b2");
    // Only the first address has work left, and two of its requests are open:
    // the next worker waits until one of them is done.
    std::atomic<bool> bDone{false}, bTaken{false};
    SRequest request;
    std::thread worker([&] {
        while (!requests.Remove(request)) {
        }
        EXPECT_TRUE(bDone);
        bTaken = true;
    });
    requests.Done("10.0.0.3");
    requests.Done("10.0.0.2");
    bDone = true;
    requests.Done("10.0.0.1");
    ASSERT_TRUE(vextest::WaitFor([&] { return bTaken.load(); }));
    worker.join();
    EXPECT_EQ(request.csUUID, "a3");
    EXPECT_FALSE(requests.IsEmpty());
}

TEST(RequestQueueTest, AWaitingRequestIsReplacedByANewerOne) {
    CRequests requests;
    ASSERT_TRUE(requests.Add(Request("10.0.0.1", "x", 1)));
    ASSERT_TRUE(requests.Add(Request("10.0.0.1", "y", 1)));
    ASSERT_TRUE(requests.Add(Request("10.0.0.1", "x", 3)));
    ASSERT_TRUE(requests.Add(Request("10.0.0.1", "x", 2))); // older than the one waiting
    // A byebye is not an alive: it takes a slot of its own.
    ASSERT_TRUE(requests.Add(Request("10.0.0.1", "x", 4, ESsdpMethod::BYEBYE)));
    EXPECT_EQ(requests.GetCount(), 3u);
    SRequest request;
    ASSERT_TRUE(requests.Remove(request));
    EXPECT_EQ(request.csUUID, "x");
    EXPECT_EQ(request.ulSeqNum, 3u);
    EXPECT_EQ(Next(requests), "y");
    requests.Done("10.0.0.1");
    ASSERT_TRUE(requests.Remove(request));
    EXPECT_EQ(request.eMethod, ESsdpMethod::BYEBYE);
    EXPECT_TRUE(requests.IsEmpty());
}

TEST(RequestQueueTest, ARequestFromANewAddressKeepsThePlaceOfTheOneItReplaces) {
    CRequests requests;
    ASSERT_TRUE(requests.Add(Request("10.0.0.1", "a1")));
    ASSERT_TRUE(requests.Add(Request("10.0.0.1", "moving")));
    ASSERT_TRUE(requests.Add(Request("10.0.0.2", "b1")));
    ASSERT_TRUE(requests.Add(Request("10.0.0.3", "moving", 2)));
    SRequest request;
    std::string csHost;
    EXPECT_EQ(Next(requests), "a1");
    EXPECT_EQ(Next(requests), "b1");
    ASSERT_TRUE(requests.Remove(request, &csHost));
    EXPECT_EQ(request.csUUID, "moving");
    EXPECT_EQ(request.csIpAddr, "10.0.0.3");
    EXPECT_EQ(csHost, "10.0.0.1");
    EXPECT_TRUE(requests.IsEmpty());
    // Every address's open request is handed back: the queue is idle.
    requests.Done("10.0.0.1");
    EXPECT_FALSE(requests.IsIdle());
    requests.Done("10.0.0.1");
    requests.Done("10.0.0.2");
    EXPECT_TRUE(requests.IsIdle());
}

TEST(RequestQueueTest, AFullQueueDropsNewcomersButStillTakesNews) {
    CRequests requests(3);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(requests.Add(Request("10.0.0.1", "u" + std::to_string(i))));
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(requests.Add(Request("10.0.0.9", "flood" + std::to_string(i))));
    EXPECT_TRUE(requests.Add(Request("10.0.0.1", "u1", 9)));
    EXPECT_EQ(requests.GetCount(), 3u);
    EXPECT_EQ(Next(requests), "u0");
    EXPECT_TRUE(requests.Add(Request("10.0.0.9", "room again")));
}

TEST(RequestQueueTest, KeptRequestsComeBackNewestPerKindOldestFirst) {
    CRequests requests;
    requests.Park(Request("10.0.0.1", "x", 5));
    requests.Park(Request("10.0.0.1", "x", 4)); // older: the kept one stays
    requests.Park(Request("10.0.0.1", "x", 6, ESsdpMethod::BYEBYE));
    requests.Park(Request("10.0.0.1", "other", 1));
    EXPECT_TRUE(requests.IsEmpty());
    EXPECT_FALSE(requests.IsIdle());
    SRequest request;
    ASSERT_TRUE(requests.TakeParked("x", request));
    EXPECT_EQ(request.eMethod, ESsdpMethod::ALIVE);
    EXPECT_EQ(request.ulSeqNum, 5u);
    ASSERT_TRUE(requests.TakeParked("x", request));
    EXPECT_EQ(request.eMethod, ESsdpMethod::BYEBYE);
    EXPECT_FALSE(requests.TakeParked("x", request));
    ASSERT_TRUE(requests.TakeParked("other", request));
    EXPECT_TRUE(requests.IsIdle());
}

} // namespace
