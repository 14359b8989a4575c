// The printer queries: the request bytes, the status line, the parsers, and
// what a misbehaving printer can (not) do to the request thread.
#include "FakeHttpServer.h"
#include "TestSupport.h"

#include "common/Printers.h"
#include "service/RequestThread.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

SRequest Request(int iPort, const std::string& csURL = "/desc.xml") {
    SRequest request;
    request.eMethod = ESsdpMethod::ALIVE;
    request.csIpAddr = "127.0.0.1";
    request.csUUID = "u1";
    request.csURL = csURL;
    request.iPort = iPort;
    return request;
}

class PrinterQueriesTest : public ::testing::Test {
protected:
    void SetUp() override { vextest::SetEnvironment("VEX_DELAY_PERCENT", "10"); }
    void TearDown() override { vextest::UnsetEnvironment("VEX_DELAY_PERCENT"); }
    vextest::TempRoot root;
    CRequests requests;
    CPrinters printers;
    CRequestThread thread{&requests, &printers};
};

TEST_F(PrinterQueriesTest, RequestsAreSentByteForByte) {
    SRequest request = Request(8080);
    request.csIpAddr = "10.1.2.3";
    EXPECT_EQ(CRequestThread::BuildDescriptionRequest(request),
              "GET /desc.xml HTTP/1.1\r\nHOST: 10.1.2.3:8080\r\n\r\n");
    const std::string csBody =
        "<s:Envelope\r\n"
        "    xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"\r\n"
        "    s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
        "  <s:Body>\r\n"
        "    <u:QueryStateVariable xmlns:u=\"urn:schemas-upnp-org:control-1-0\">\r\n"
        "      <u:varName>X_Config1</u:varName>\r\n"
        "    </u:QueryStateVariable>\r\n"
        "  </s:Body>\r\n"
        "</s:Envelope>\r\n";
    EXPECT_EQ(CRequestThread::BuildStateVariableRequest("/control/print", 80, request),
              "POST /control/print HTTP/1.1\r\nHOST: 10.1.2.3:80\r\nCONTENT-LENGTH: " +
                  std::to_string(csBody.size()) +
                  "\r\nCONTENT-TYPE: text/xml; charset=\"utf-8\"\r\n"
                  "SOAPACTION: \"urn:schemas-upnp-org:control-1-0#QueryStateVariable\"\r\n\r\n" +
                  csBody + "\r\n");
}

TEST_F(PrinterQueriesTest, StatusLineDecidesAndTheRestFollows) {
    EXPECT_EQ(CRequestThread::CheckHttpReturnCode("HTTP/1.1 200 OK\r\nA: b\r\n\r\n<x/>"), 16u);
    EXPECT_NE(CRequestThread::CheckHttpReturnCode("HTTP/1.0 200 ok\r\n\r\n"), std::string::npos);
    EXPECT_NE(CRequestThread::CheckHttpReturnCode("xHTTP/1.1 200 OK\r\n"), std::string::npos);
    for (const char* pszBad :
         {"HTTP/1.1 404 Not Found\r\n\r\n", "HTTP/2 200 OK\r\n", "", "HTTP/1.1", "HTTP/1.1 200\r\n",
          "HTTP/1.1 200 OKAY\r\n", "http/1.1 200 OK\r\n"})
        EXPECT_EQ(CRequestThread::CheckHttpReturnCode(pszBad), std::string::npos) << pszBad;
    // A zero byte ends the text where a C string would.
    EXPECT_EQ(CRequestThread::CheckHttpReturnCode(std::string("HTTP/1.1 200\0 OK", 16)),
              std::string::npos);
}

TEST_F(PrinterQueriesTest, DescriptionGivesControlPathAndUrlBasePort) {
    std::string csURL;
    int32_t iPort = 0;
    ASSERT_TRUE(thread.ParseDeviceDescription(DescriptionAnswer(8081), &csURL, &iPort));
    EXPECT_EQ(csURL, "/control/print");
    EXPECT_EQ(iPort, 8081);
    // Without URLBase: the control path as it stands and port 80.
    const std::string csNoBase =
        "HTTP/1.1 200 OK\r\n\r\n<root><serviceType>urn:zantor-schemas-ambrel:service:Print:1"
        "</serviceType><controlURL>/ctl</controlURL></root>";
    ASSERT_TRUE(thread.ParseDeviceDescription(csNoBase, &csURL, &iPort));
    EXPECT_EQ(csURL, "/ctl");
    EXPECT_EQ(iPort, 80);
    EXPECT_FALSE(thread.ParseDeviceDescription(DescriptionAnswer(1, "HTTP/1.1 404 Not Found"),
                                               &csURL, &iPort));
    EXPECT_FALSE(thread.ParseDeviceDescription("HTTP/1.1 200 OK\r\n\r\n<root/>", &csURL, &iPort));
}

TEST_F(PrinterQueriesTest, ConfigurationWordIsUnsignedAndZeroWithoutReturn) {
    uint32_t uiWord = 1;
    ASSERT_TRUE(thread.ParseStateVariable(SoapAnswer("<return>3221225472</return>"), &uiWord));
    EXPECT_EQ(uiWord, 0xC0000000u);
    ASSERT_TRUE(thread.ParseStateVariable(SoapAnswer("<return>4294967295</return>"), &uiWord));
    EXPECT_EQ(uiWord, 0xFFFFFFFFu);
    ASSERT_TRUE(thread.ParseStateVariable(SoapAnswer(""), &uiWord));
    EXPECT_EQ(uiWord, 0u);
    uiWord = 7;
    EXPECT_FALSE(
        thread.ParseStateVariable("HTTP/1.1 500 Error\r\n\r\n<return>1</return>", &uiWord));
    EXPECT_EQ(uiWord, 7u);
}

TEST_F(PrinterQueriesTest, QueriesReadUntilThePrinterCloses) {
    int iPort = 0;
    CFakeHttpServer server(PrinterAnswers(&iPort, "<return>5</return>"));
    iPort = server.Port();
    std::string csAnswer;
    ASSERT_TRUE(thread.GetDeviceDescription(Request(iPort), &csAnswer));
    EXPECT_EQ(csAnswer, DescriptionAnswer(iPort));
    ASSERT_TRUE(thread.GetStateVariable("/control/print", iPort, Request(iPort), &csAnswer));
    EXPECT_EQ(csAnswer, SoapAnswer("<return>5</return>"));
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[0], CRequestThread::BuildDescriptionRequest(Request(iPort)));
    EXPECT_EQ(server.Requests()[1],
              CRequestThread::BuildStateVariableRequest("/control/print", iPort, Request(iPort)));
}

TEST_F(PrinterQueriesTest, HostilePrintersCannotHoldTheThread) {
    std::string csAnswer;
    // Nobody listens: the query fails at once.
    {
        int iPort;
        {
            CFakeHttpServer gone([](const std::string&) { return std::string(); });
            iPort = gone.Port();
        }
        EXPECT_FALSE(thread.GetDeviceDescription(Request(iPort), &csAnswer));
    }
    // Accepts and never answers; answers and never closes: each ends within
    // the receive time-out, and what came is kept.
    for (auto eClose : {CFakeHttpServer::EClose::Never}) {
        CFakeHttpServer silent([](const std::string&) { return std::string(); }, eClose);
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(thread.GetDeviceDescription(Request(silent.Port()), &csAnswer));
        EXPECT_EQ(csAnswer, "");
        CFakeHttpServer open([](const std::string&) { return DescriptionAnswer(1); }, eClose);
        EXPECT_TRUE(thread.GetDeviceDescription(Request(open.Port()), &csAnswer));
        EXPECT_EQ(csAnswer, DescriptionAnswer(1));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    // More than 1 MB is refused: the query fails and nothing is kept.
    CFakeHttpServer huge([](const std::string&) {
        return "HTTP/1.1 200 OK\r\n\r\n" + std::string(CRequestThread::kMaxAnswerSize + 1, 'x');
    });
    EXPECT_FALSE(thread.GetDeviceDescription(Request(huge.Port()), &csAnswer));
    EXPECT_EQ(csAnswer, "");
}

} // namespace
