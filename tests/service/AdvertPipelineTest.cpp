// The work queues and the advert parser's filter.
#include "TestSupport.h"

#include "service/AdvertThread.h"
#include "service/Adverts.h"
#include "service/Requests.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

const std::string kUrn = "urn:zantor-schemas-ambrel:service:Print:1";

std::string Notify(const std::string& csNts, const std::string& csNt, bool bServer = true,
                   bool bLocation = true) {
    std::string csText = "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
                         "CACHE-CONTROL: max-age=1800\r\n";
    if (bLocation)
        csText += "LOCATION: http://10.0.0.5:8080/desc.xml\r\n";
    csText += "NT: " + csNt + "\r\nNTS: " + csNts + "\r\n";
    if (bServer)
        csText += "SERVER: OS/1 UPnP/1.0 Laser_1332/B2.1 x\r\n";
    return csText + "USN: uuid:abc::" + kUrn + "\r\nX-ZANTOR-UPNP-SEQNUM: 17\r\n\r\n";
}

class AdvertPipelineTest : public ::testing::Test {
protected:
    // Runs one advert through the parser; true when a request came out.
    bool Pass(const std::string& csData, SRequest* pRequest = nullptr) {
        const bool bQueued = parser.Handle(SAdvert{"host", "10.0.0.5", csData});
        if (bQueued) {
            SRequest request;
            EXPECT_TRUE(requests.Remove(request));
            requests.Done(request.csIpAddr);
            if (pRequest)
                *pRequest = request;
        }
        return bQueued;
    }
    vextest::TempRoot root;
    CAdverts adverts;
    CRequests requests;
    CAdvertThread parser{&adverts, &requests};
};

TEST_F(AdvertPipelineTest, QueueDeliversInOrderAndWaitsWhenEmpty) {
    adverts.Add(SAdvert{"", "1", "a"});
    adverts.Add(SAdvert{"", "2", "b"});
    EXPECT_FALSE(adverts.IsEmpty());
    SAdvert advert;
    ASSERT_TRUE(adverts.Remove(advert));
    EXPECT_EQ(advert.csData, "a");
    ASSERT_TRUE(adverts.Remove(advert));
    EXPECT_EQ(advert.csData, "b");
    EXPECT_TRUE(adverts.IsEmpty());
    std::thread consumer([&] { EXPECT_TRUE(adverts.Remove(advert)); });
    adverts.Add(SAdvert{"", "3", "c"});
    consumer.join();
    EXPECT_EQ(advert.csData, "c");
}

TEST_F(AdvertPipelineTest, FullQueueDropsTheNewcomer) {
    CAdverts small(3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(small.Add(SAdvert{"", "", std::to_string(i)}));
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(small.Add(SAdvert{"", "", "flood"}));
    EXPECT_EQ(small.GetCount(), 3u);
    SAdvert advert;
    ASSERT_TRUE(small.Remove(advert));
    EXPECT_EQ(advert.csData, "0");
    EXPECT_TRUE(small.Add(SAdvert{"", "", "room again"}));
}

TEST_F(AdvertPipelineTest, AliveBecomesARequestWithEveryField) {
    SRequest request;
    ASSERT_TRUE(Pass(Notify("ssdp:alive", kUrn), &request));
    EXPECT_EQ(request.eMethod, ESsdpMethod::ALIVE);
    EXPECT_EQ(request.csHostName, "host");
    EXPECT_EQ(request.csIpAddr, "10.0.0.5");
    EXPECT_EQ(request.csUUID, "abc");
    EXPECT_EQ(request.csURL, "/desc.xml");
    EXPECT_EQ(request.iPort, 8080);
    EXPECT_EQ(request.csModel, "Laser 1332");
    EXPECT_EQ(request.csMicrocodeLevel, "B2.1");
    EXPECT_EQ(request.ulSeqNum, 17u);
}

TEST_F(AdvertPipelineTest, FilterKeepsOnlyThePrintServiceExactly) {
    std::string csUpper = kUrn;
    csUpper[4] = 'Z';
    EXPECT_FALSE(Pass(Notify("ssdp:alive", csUpper)));
    EXPECT_FALSE(Pass(Notify("ssdp:alive", "upnp:rootdevice")));
    EXPECT_FALSE(Pass(Notify("ssdp:update", kUrn)));
    EXPECT_FALSE(Pass("garbage"));
    EXPECT_FALSE(Pass(Notify("ssdp:alive", kUrn, false))); // alive without a model
    SRequest request;
    ASSERT_TRUE(Pass(Notify("ssdp:byebye", kUrn, false), &request)); // byebye without Server
    EXPECT_EQ(request.eMethod, ESsdpMethod::BYEBYE);
    EXPECT_EQ(request.csModel, "");
    EXPECT_FALSE(Pass(Notify("ssdp:byebye", kUrn, false, false))); // byebye without Location
    const std::string csAnswer = "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\n"
                                 "LOCATION: http://10.0.0.5/d.xml\r\nSERVER: a b M/1 c\r\nST: " +
                                 kUrn + "\r\nUSN: uuid:def::" + kUrn + "\r\n\r\n";
    ASSERT_TRUE(Pass(csAnswer, &request));
    EXPECT_EQ(request.eMethod, ESsdpMethod::HTTP);
    EXPECT_EQ(request.iPort, 80);
    EXPECT_EQ(request.ulSeqNum, 0u);
    EXPECT_FALSE(parser.Handle(SAdvert{"host", "", Notify("ssdp:alive", kUrn)})); // no address
}

} // namespace
