// CSsdp: request and status lines, the header block, required headers per
// kind of message, and the values taken out of the headers.
#include "service/Ssdp.h"

#include "TraceLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kAlive[] = "NOTIFY * HTTP/1.1\r\n"
                      "HOST: 239.255.255.250:1900\r\n"
                      "CACHE-CONTROL: max-age=1800\r\n"
                      "LOCATION: http://10.1.2.3:8080/desc.xml\r\n"
                      "NT: urn:zantor-schemas-ambrel:service:Print:1\r\n"
                      "NTS: ssdp:alive\r\n"
                      "SERVER: Zos/4.2 UPnP/1.0 Model_77/A1.2 extra\r\n"
                      "USN: uuid:0a1b-2c3d::urn:zantor-schemas-ambrel:service:Print:1\r\n"
                      "X-ZANTOR-UPNP-SEQNUM: 42\r\n"
                      "\r\n";

// Parses a copy that is exactly as long as the text, so that a read past the
// terminating NUL shows up under the address sanitizer.
bool Parse(CSsdp& ssdp, const std::string& csText) {
    std::vector<char> buffer(csText.begin(), csText.end());
    buffer.push_back('\0');
    return ssdp.ParseRequest(buffer.data());
}

std::string Replace(std::string csText, const std::string& csFrom, const std::string& csTo) {
    const size_t nPos = csText.find(csFrom);
    EXPECT_NE(nPos, std::string::npos) << csFrom;
    if (nPos != std::string::npos)
        csText.replace(nPos, csFrom.size(), csTo);
    return csText;
}

// A message of the given start line carrying exactly the listed header lines.
std::string Message(const std::string& csStartLine, const std::vector<std::string>& acsHeaders) {
    std::string csText = csStartLine + "\r\n";
    for (const std::string& csHeader : acsHeaders)
        csText += csHeader + "\r\n";
    return csText + "\r\n";
}

TEST(SsdpTest, AliveGivesAllValues) {
    CSsdp ssdp;
    ASSERT_TRUE(Parse(ssdp, kAlive));
    EXPECT_EQ(ssdp.m_eMethod, ESsdpMethod::ALIVE);
    EXPECT_EQ(ssdp.GetUuid(), "0a1b-2c3d");
    EXPECT_EQ(ssdp.GetPrinterModel(), "Model 77");
    EXPECT_EQ(ssdp.GetPrinterMicrocodeLevel(), "A1.2");
    int32_t iPort = 0;
    EXPECT_EQ(ssdp.GetDescriptionUrl(&iPort), "/desc.xml");
    EXPECT_EQ(iPort, 8080);
    EXPECT_EQ(ssdp.GetSequenceNumber(), 42u);
    EXPECT_EQ(ssdp.asHeaders[CSsdp::NT].csValue, SSDP_PRINT_SERVICE_URN);
}

TEST(SsdpTest, RequestLine) {
    CSsdp ssdp;
    EXPECT_TRUE(Parse(ssdp, Replace(kAlive, "NOTIFY * HTTP/1.1", "notify * http/1.1")));
    EXPECT_EQ(ssdp.m_eMethod, ESsdpMethod::ALIVE);
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "HTTP/1.1", "HTTP/1.0")));
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "NOTIFY * ", "NOTIFY / ")));
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "NOTIFY", "M-SEARCH")));
    // Method names that only exist inside the parser are no request words.
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "NOTIFY", "ALIVE")));
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "NOTIFY", "BYEBYE")));
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "NOTIFY", "INVALID")));
}

TEST(SsdpTest, SearchAnswerStatusLine) {
    const std::vector<std::string> acsHeaders = {
        "CACHE-CONTROL: max-age=1800",
        "EXT:",
        "LOCATION: http://10.1.2.3/d.xml",
        "SERVER: Zos/4.2 UPnP/1.0 Model_77/A1.2",
        "ST: urn:zantor-schemas-ambrel:service:Print:1",
        "USN: uuid:77::urn:zantor-schemas-ambrel:service:Print:1"};
    CSsdp ssdp;
    EXPECT_TRUE(Parse(ssdp, Message("HTTP/1.1 200 OK", acsHeaders)));
    EXPECT_EQ(ssdp.m_eMethod, ESsdpMethod::HTTP);
    EXPECT_TRUE(ssdp.asHeaders[CSsdp::EXT].bValid);
    EXPECT_EQ(ssdp.asHeaders[CSsdp::EXT].csValue, "");
    EXPECT_TRUE(Parse(ssdp, Message("HTTP/1.1 200 Ok", acsHeaders)));
    EXPECT_EQ(ssdp.m_eMethod, ESsdpMethod::HTTP);
    EXPECT_FALSE(Parse(ssdp, Message("HTTP/1.1 404 Not Found", acsHeaders)));
    EXPECT_FALSE(Parse(ssdp, Message("HTTP/1.1 200", acsHeaders)));

    // EXT is required for an answer (and Host is not).
    std::vector<std::string> acsNoExt = acsHeaders;
    acsNoExt.erase(acsNoExt.begin() + 1);
    EXPECT_FALSE(Parse(ssdp, Message("HTTP/1.1 200 OK", acsNoExt)));
}

TEST(SsdpTest, NtsDecidesTheKindAndTheRequiredHeaders) {
    const std::vector<std::string> acsFour = {"HOST: 239.255.255.250:1900",
                                              "NT: urn:zantor-schemas-ambrel:service:Print:1",
                                              "NTS: ssdp:byebye", "USN: uuid:77"};
    CSsdp ssdp;
    EXPECT_TRUE(Parse(ssdp, Message("NOTIFY * HTTP/1.1", acsFour)));
    EXPECT_EQ(ssdp.m_eMethod, ESsdpMethod::BYEBYE);

    // The same four headers are not enough for an alive.
    std::vector<std::string> acsAlive = acsFour;
    acsAlive[2] = "NTS: ssdp:alive";
    EXPECT_FALSE(Parse(ssdp, Message("NOTIFY * HTTP/1.1", acsAlive)));

    // The NTS value is compared exactly: in capitals the message stays a
    // plain NOTIFY, which needs the full set.
    std::vector<std::string> acsCaps = acsFour;
    acsCaps[2] = "NTS: SSDP:BYEBYE";
    EXPECT_FALSE(Parse(ssdp, Message("NOTIFY * HTTP/1.1", acsCaps)));
    EXPECT_EQ(ssdp.m_eMethod, ESsdpMethod::NOTIFY);
    EXPECT_TRUE(Parse(ssdp, Replace(kAlive, "ssdp:alive", "SSDP:ALIVE")));
    EXPECT_EQ(ssdp.m_eMethod, ESsdpMethod::NOTIFY);
    EXPECT_FALSE(Parse(ssdp, Replace(Replace(kAlive, "ssdp:alive", "SSDP:ALIVE"),
                                     "CACHE-CONTROL: max-age=1800\r\n", "")));
    // Each of the seven alive headers is required.
    for (const char* pszLine :
         {"HOST: 239.255.255.250:1900\r\n", "CACHE-CONTROL: max-age=1800\r\n",
          "LOCATION: http://10.1.2.3:8080/desc.xml\r\n", "NTS: ssdp:alive\r\n",
          "SERVER: Zos/4.2 UPnP/1.0 Model_77/A1.2 extra\r\n",
          "NT: urn:zantor-schemas-ambrel:service:Print:1\r\n", "USN: uuid:"}) {
        EXPECT_FALSE(Parse(ssdp, Replace(kAlive, pszLine, ""))) << pszLine;
    }
}

TEST(SsdpTest, HeaderBlock) {
    CSsdp ssdp;
    // Names in any case, values trimmed of blanks and tabs, colons kept in the
    // value, a repeated header overwrites the earlier one.
    std::string csText = Replace(kAlive, "LOCATION:", "location:\t");
    csText = Replace(csText, "X-ZANTOR-UPNP-SEQNUM: 42",
                     "x-zantor-upnp-seqnum: 7 \t\r\nX-Zantor-Upnp-Seqnum:  9");
    ASSERT_TRUE(Parse(ssdp, csText));
    EXPECT_EQ(ssdp.asHeaders[CSsdp::LOCATION].csValue, "http://10.1.2.3:8080/desc.xml");
    EXPECT_EQ(ssdp.GetSequenceNumber(), 9u);

    // A header block ended by LF LF is not complete.
    std::string csLf = kAlive;
    for (size_t n = csLf.find("\r\n", 20); n != std::string::npos; n = csLf.find("\r\n", n))
        csLf.erase(n, 1);
    ASSERT_EQ(csLf.substr(csLf.size() - 12), "SEQNUM: 42\n\n");
    EXPECT_FALSE(Parse(ssdp, csLf));
    // Nor is one without its empty line.
    EXPECT_FALSE(Parse(ssdp, std::string(kAlive, sizeof kAlive - 3)));

    // Nothing of a previous message survives the next parse.
    ASSERT_TRUE(Parse(ssdp, kAlive));
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "USN:", "XSN:")));
    EXPECT_FALSE(ssdp.asHeaders[CSsdp::USN].bValid);
    EXPECT_EQ(ssdp.GetUuid(), "");
}

TEST(SsdpTest, ContentLengthTakesTheBodyWithOneByteTolerance) {
    CSsdp ssdp;
    const std::string csWith = Replace(kAlive, "\r\n\r\n", "\r\nContent-Length: 6\r\n\r\n");
    ASSERT_TRUE(Parse(ssdp, csWith + "hello!"));
    EXPECT_EQ(ssdp.m_csContent, "hello!");
    ASSERT_TRUE(Parse(ssdp, csWith + "hello"));
    EXPECT_EQ(ssdp.m_csContent, "hello");
    // Too short a body is dropped, but the message itself is still good.
    ASSERT_TRUE(Parse(ssdp, csWith + "hell"));
    EXPECT_EQ(ssdp.m_csContent, "");
    // The body is not cut to Content-Length.
    ASSERT_TRUE(Parse(ssdp, csWith + "hello, world"));
    EXPECT_EQ(ssdp.m_csContent, "hello, world");
    // Without Content-Length there is no body.
    ASSERT_TRUE(Parse(ssdp, std::string(kAlive) + "hello"));
    EXPECT_EQ(ssdp.m_csContent, "");
}

TEST(SsdpTest, DescriptionUrl) {
    CSsdp ssdp;
    int32_t iPort = 0;
    ASSERT_TRUE(
        Parse(ssdp, Replace(kAlive, "http://10.1.2.3:8080/desc.xml", "http://10.1.2.3/a/b.xml")));
    EXPECT_EQ(ssdp.GetDescriptionUrl(&iPort), "/a/b.xml");
    EXPECT_EQ(iPort, 80);
    ASSERT_TRUE(
        Parse(ssdp, Replace(kAlive, "http://10.1.2.3:8080/desc.xml", "http://10.1.2.3:8080")));
    EXPECT_EQ(ssdp.GetDescriptionUrl(&iPort), "");
    EXPECT_EQ(iPort, 80);
    ASSERT_TRUE(
        Parse(ssdp, Replace(kAlive, "http://10.1.2.3:8080/desc.xml", "https://10.1.2.3:8443/d")));
    EXPECT_EQ(ssdp.GetDescriptionUrl(&iPort), "");
    EXPECT_EQ(iPort, 80);
    ASSERT_TRUE(
        Parse(ssdp, Replace(kAlive, "http://10.1.2.3:8080/desc.xml", "http://10.1.2.3:/d")));
    EXPECT_EQ(ssdp.GetDescriptionUrl(&iPort), "/d");
    EXPECT_EQ(iPort, 80);
    ASSERT_TRUE(
        Parse(ssdp, Replace(kAlive, "http://10.1.2.3:8080/desc.xml", "http://10.1.2.3:x/d")));
    EXPECT_EQ(ssdp.GetDescriptionUrl(&iPort), "/d");
    EXPECT_EQ(iPort, 0);
}

TEST(SsdpTest, UuidModelAndMicrocodeLevel) {
    CSsdp ssdp;
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "uuid:0a1b-2c3d::", "0a1b-2c3d::")));
    EXPECT_EQ(ssdp.GetUuid(), "");
    ASSERT_TRUE(
        Parse(ssdp, Replace(kAlive, "uuid:0a1b-2c3d::urn:zantor-schemas-ambrel:service:Print:1",
                            "uuid:plain")));
    EXPECT_EQ(ssdp.GetUuid(), "plain");

    ASSERT_TRUE(
        Parse(ssdp, Replace(kAlive, "Zos/4.2 UPnP/1.0 Model_77/A1.2 extra", "Zos/4.2 UPnP/1.0")));
    EXPECT_EQ(ssdp.GetPrinterModel(), "");
    EXPECT_EQ(ssdp.GetPrinterMicrocodeLevel(), "");
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "Zos/4.2 UPnP/1.0 Model_77/A1.2 extra",
                                    "Zos/4.2 UPnP/1.0 Model_77")));
    EXPECT_EQ(ssdp.GetPrinterModel(), "");
    EXPECT_EQ(ssdp.GetPrinterMicrocodeLevel(), "");
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "Zos/4.2 UPnP/1.0 Model_77/A1.2 extra",
                                    "Zos/4.2 UPnP/1.0 My_Model_2/B_3")));
    EXPECT_EQ(ssdp.GetPrinterModel(), "My Model 2");
    EXPECT_EQ(ssdp.GetPrinterMicrocodeLevel(), "B_3");
}

TEST(SsdpTest, SequenceNumber) {
    CSsdp ssdp;
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "SEQNUM: 42", "SEQNUM: 4294967295")));
    EXPECT_EQ(ssdp.GetSequenceNumber(), 4294967295u);
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "SEQNUM: 42", "SEQNUM: 99999999999999999999999")));
    EXPECT_EQ(ssdp.GetSequenceNumber(), 4294967295u);
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "SEQNUM: 42", "SEQNUM: 12abc")));
    EXPECT_EQ(ssdp.GetSequenceNumber(), 12u);
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "SEQNUM: 42", "SEQNUM: abc")));
    EXPECT_EQ(ssdp.GetSequenceNumber(), 0u);
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "X-ZANTOR-UPNP-SEQNUM: 42\r\n", "")));
    EXPECT_EQ(ssdp.GetSequenceNumber(), 0u);
}

TEST(SsdpTest, SearchRequestBytes) {
    EXPECT_EQ(CSsdp::BuildSearchRequest(), "M-SEARCH * HTTP/1.1\r\n"
                                           "HOST: 239.255.255.250:1900\r\n"
                                           "MAN: \"ssdp:discover\"\r\n"
                                           "MX: 4\r\n"
                                           "ST: urn:zantor-schemas-ambrel:service:Print:1\r\n"
                                           "\r\n");
}

TEST(SsdpTest, TruncatedAndHostileTextsFailCleanly) {
    CSsdp ssdp;
    EXPECT_FALSE(ssdp.ParseRequest(nullptr));
    for (const char* pszText :
         {"", "NOTIFY", "NOTIFY *", "NOTIFY * HTTP/1.1", "NOTIFY * HTTP/1.1\r",
          "NOTIFY * HTTP/1.1\r\n", "NOTIFY * HTTP/1.1\r\nHOST: x\r",
          "NOTIFY * HTTP/1.1\r\nHOST: x\r\n\r", "\r\n\r\n", "HTTP/1.1 200 OK\r\n\r\n"}) {
        EXPECT_FALSE(Parse(ssdp, pszText)) << pszText;
    }
}

} // namespace

namespace {

TEST(SsdpTraceTest, FailuresAndValuesAreTraced) {
    CTraceLog log;
    CSsdp ssdp;
    EXPECT_FALSE(Parse(ssdp, Replace(kAlive, "USN:", "XSN:")));
    EXPECT_TRUE(log.Has("ERR", "(CSsdp::VerifyHeaders)Verification of SSDP alive failed"));
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::VerifyHeaders) failure"));
    EXPECT_TRUE(log.Has("ERR", "(CSsdp::ParseRequest)Parse failed"));
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::ParseRequest) failure"));
    EXPECT_FALSE(
        Parse(ssdp, Replace(Replace(kAlive, "USN:", "XSN:"), "ssdp:alive", "ssdp:byebye")));
    EXPECT_TRUE(log.Has("ERR", "(CSsdp::VerifyHeaders)Verification of SSDP byebye failed"));
    EXPECT_FALSE(Parse(ssdp, Replace(Replace(kAlive, "USN:", "XSN:"), "ssdp:alive", "other")));
    EXPECT_TRUE(log.Has("ERR", "(CSsdp::VerifyHeaders)Verification of notify request failed"));
    EXPECT_FALSE(Parse(ssdp, "HTTP/1.1 200 OK\r\nST: x\r\n\r\n"));
    EXPECT_TRUE(log.Has("ERR", "(CSsdp::VerifyHeaders)Verification of http request failed"));

    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "\r\n\r\n", "\r\nContent-Length: 9\r\n\r\nabc")));
    EXPECT_TRUE(log.Has("WRN", "CSsdp::ParseContent)Bad message detected"));
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::ParseRequest) success"));
    ssdp.GetUuid();
    EXPECT_TRUE(log.Has("DET", "Entry (CSsdp::GetUuid)"));
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::GetUuid)UUID='0a1b-2c3d'"));
    ssdp.GetPrinterModel();
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::GetPrinterModel)Printer model='Model 77'"));
    ssdp.GetPrinterMicrocodeLevel();
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::GetPrinterMicrocodeLevel)Microcode level='A1.2'"));
    ssdp.GetDescriptionUrl(nullptr);
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::GetDescriptionUrl)Description URL='/desc.xml'"));
    ssdp.GetSequenceNumber();
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::GetSequenceNumber)Sequence number=42"));

    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "SEQNUM: 42", "SEQNUM: -x")));
    EXPECT_EQ(ssdp.GetSequenceNumber(), 0u);
    EXPECT_TRUE(log.Has("ERR", "(CSsdp::GetSequenceNumber)Conversion failed for string '-x'"));
    ASSERT_TRUE(Parse(ssdp, Replace(kAlive, "SEQNUM: 42", "SEQNUM: 4294967295")));
    ssdp.GetSequenceNumber();
    EXPECT_TRUE(log.Has("DET", "Exit  (CSsdp::GetSequenceNumber)Sequence number=-1"));
}

} // namespace
