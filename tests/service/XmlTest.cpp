// CXml: the element tree, references, the CDATA form, end tags, the searches
// used on device descriptions and SOAP answers, and hostile nesting.
#include "service/Xml.h"

#include "TraceLog.h"
#include "service/Ssdp.h"
#include "service/UpnpAnswers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// Parses an exactly sized copy so that reads past the NUL are caught by ASan.
SXmlElem* Parse(CXml& xml, const std::string& csText) {
    static std::vector<char> buffer;
    buffer.assign(csText.begin(), csText.end());
    buffer.push_back('\0');
    const char* p = buffer.data();
    return xml.Parse(&p);
}

std::string ValueOf(const SXmlElem* pElem) {
    return pElem != nullptr && pElem->m_pszValue != nullptr ? pElem->m_pszValue : "(null)";
}

const char kDescription[] = R"(<?xml version="1.0"?>
<!-- device description -->
<root xmlns="urn:schemas-upnp-org:device-1-0">
  <specVersion><major>1</major><minor>0</minor></specVersion>
  <URLBase>http://10.1.2.3:8080/base</URLBase>
  <device>
    <deviceType>urn:zantor-schemas-ambrel:device:Printer:1</deviceType>
    <serviceList>
      <service>
        <serviceType>urn:zantor-schemas-ambrel:service:Other:1</serviceType>
        <controlURL>/other</controlURL>
      </service>
      <service>
        <serviceType>urn:zantor-schemas-ambrel:service:Print:1</serviceType>
        <serviceId>urn:zantor-com:serviceId:Print</serviceId>
        <controlURL>/print/control</controlURL>
      </service>
    </serviceList>
  </device>
</root>
)";

std::string Description(const std::string& csFrom, const std::string& csTo) {
    std::string csText = kDescription;
    const size_t nPos = csText.find(csFrom);
    EXPECT_NE(nPos, std::string::npos) << csFrom;
    if (nPos != std::string::npos)
        csText.replace(nPos, csFrom.size(), csTo);
    return csText;
}

TEST(XmlTest, ValueAndAttributesInOrder) {
    CXml xml;
    SXmlElem* pRoot = Parse(xml, "<a x=1 p:y='2'>t&amp;u</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_STREQ(pRoot->m_pszName, "a");
    EXPECT_EQ(pRoot->m_pszPrefix, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "t&u");
    const SXmlAttrib* pFirst = pRoot->m_pFirstAttrib;
    ASSERT_NE(pFirst, nullptr);
    EXPECT_STREQ(pFirst->m_pszName, "x");
    EXPECT_STREQ(pFirst->m_pszValue, "1");
    EXPECT_EQ(pFirst->m_pszPrefix, nullptr);
    const SXmlAttrib* pSecond = pFirst->m_pNextAttrib;
    ASSERT_NE(pSecond, nullptr);
    EXPECT_STREQ(pSecond->m_pszName, "y");
    EXPECT_STREQ(pSecond->m_pszPrefix, "p");
    EXPECT_STREQ(pSecond->m_pszValue, "2");
    EXPECT_EQ(pSecond->m_pNextAttrib, nullptr);
}

TEST(XmlTest, AttributeListEndsAtAFailedAttribute) {
    CXml xml;
    // An empty quoted value ends the list at that attribute; the element stays.
    SXmlElem* pRoot = Parse(xml, "<a b=\"1\" c=\"\" >t</a>");
    ASSERT_NE(pRoot, nullptr);
    ASSERT_NE(pRoot->m_pFirstAttrib, nullptr);
    EXPECT_STREQ(pRoot->m_pFirstAttrib->m_pszName, "b");
    EXPECT_EQ(pRoot->m_pFirstAttrib->m_pNextAttrib, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "t");
    // Attributes behind it are not read, and then the start tag is not closed.
    EXPECT_EQ(Parse(xml, "<a c='' d='2'>t</a>"), nullptr);
    // An unclosed quote fails the element.
    EXPECT_EQ(Parse(xml, "<a c='1>t</a>"), nullptr);
}

TEST(XmlTest, EndTagsCompareWithoutCaseAndByPrefix) {
    CXml xml;
    SXmlElem* pRoot = Parse(xml, "<A>v</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_STREQ(pRoot->m_pszName, "A");
    EXPECT_EQ(Parse(xml, "<a>v</b>"), nullptr);
    EXPECT_EQ(Parse(xml, "<ab>v</a>"), nullptr);
    EXPECT_EQ(Parse(xml, "<a>v</ab>"), nullptr);

    pRoot = Parse(xml, "<p:a>v</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_STREQ(pRoot->m_pszPrefix, "p");
    EXPECT_STREQ(pRoot->m_pszName, "a");
    EXPECT_NE(Parse(xml, "<p:a>v</P:A>"), nullptr);
    EXPECT_EQ(Parse(xml, "<p:a>v</q:a>"), nullptr);
    EXPECT_EQ(Parse(xml, "<a>v</q:a>"), nullptr);
    // An end tag of the enclosing element inside a child fails both.
    EXPECT_EQ(Parse(xml, "<a><b>v</a>"), nullptr);
}

TEST(XmlTest, References) {
    CXml xml;
    SXmlElem* pRoot = Parse(xml, "<a>&lt;&#65;&#x41;&GT;&quot;&apos;</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "<AA>\"'");
    // Unknown names, no digits, "&" and a blank, and a trailing "&" stay as written.
    pRoot = Parse(xml, "<a>&foo; &#; &#xg; & b &</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "&foo; &#; &#xg; & b &");
    // Names compare over their own length; only the low byte of a number counts.
    pRoot = Parse(xml, "<a>&g;&a;&#321;</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), ">&A");
    // A number whose low byte is 0 would end the text: kept as written.
    pRoot = Parse(xml, "<a>x&#256;y&;z</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "x&#256;y&;z");
    // Attribute values are resolved, names are not.
    pRoot = Parse(xml, "<a v='&lt;b&gt;'/>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_STREQ(pRoot->m_pFirstAttrib->m_pszValue, "<b>");
}

TEST(XmlTest, ReferenceEndsAtTheNextSemicolonHoweverFar) {
    CXml xml;
    const std::string csFar(100000, 'x');
    SXmlElem* pRoot = Parse(xml, "<a>&#65" + csFar + ";y</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "Ay");
    // Every "&" before the one ";" meets the same ";" and is kept as written.
    pRoot = Parse(xml, "<a>&&" + csFar + "&&lt;&</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "&&" + csFar + "&<&");
    pRoot = Parse(xml, "<a v='&#66 &q;&amp;'/>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_STREQ(pRoot->m_pFirstAttrib->m_pszValue, "B&");
}

// A mebibyte of "&" in each place a reference is read. A search for ";" from
// each "&" to the end of the piece costs 256 times as much for 16 times the
// text; a linear read 16 times. The bound, 32 times the best of three reads of
// 64 KiB plus a second, follows the machine's speed (and the sanitizers') and
// is generous; bench_xml shows the time per MiB at three sizes.
TEST(XmlTest, MebibyteOfAmpersandsIsReadInLinearTime) {
    using Clock = std::chrono::steady_clock;
    const auto Forms = [](size_t nSize) {
        const std::string csRun(nSize, '&');
        return std::vector<std::pair<std::string, std::string>>{
            {"text", "<a>" + csRun + "</a>"},
            {"attribute", "<a v=\"" + csRun + "\"/>"},
            {"CDATA", "<a><![ CDATA[ " + csRun + "]]></a>"}};
    };
    const auto small = Forms(64 << 10), large = Forms(1 << 20);
    for (size_t i = 0; i < large.size(); ++i) {
        const std::string& csForm = large[i].first;
        auto best = Clock::duration::max();
        for (int iRun = 0; iRun < 3; ++iRun) {
            CXml xml;
            const auto started = Clock::now();
            ASSERT_NE(Parse(xml, small[i].second), nullptr) << csForm;
            best = std::min(best, Clock::now() - started);
        }
        CXml xml;
        const auto started = Clock::now();
        SXmlElem* pRoot = Parse(xml, large[i].second);
        const auto elapsed = Clock::now() - started;
        ASSERT_NE(pRoot, nullptr) << csForm;
        const char* pszValue = pRoot->m_pFirstAttrib != nullptr ? pRoot->m_pFirstAttrib->m_pszValue
                                                                : pRoot->m_pszValue;
        ASSERT_NE(pszValue, nullptr) << csForm;
        EXPECT_EQ(std::string(pszValue), std::string(1 << 20, '&')) << csForm;
        EXPECT_LT(elapsed, 32 * best + std::chrono::seconds(1))
            << csForm << ": 64 KiB took "
            << std::chrono::duration_cast<std::chrono::microseconds>(best).count() << " us";
    }
}

TEST(XmlTest, MySzDupNCopiesAndAppends) {
    char* psz = CXml::MySzDupN("a&amp;bc", 7, true, nullptr);
    ASSERT_NE(psz, nullptr);
    EXPECT_STREQ(psz, "a&b");
    psz = CXml::MySzDupN("&lt;x", 5, false, psz);
    ASSERT_NE(psz, nullptr);
    EXPECT_STREQ(psz, "a&b&lt;x");
    std::free(psz);
    // A reference cut by the length of the piece is not resolved.
    psz = CXml::MySzDupN("&amp;", 4, true, nullptr);
    EXPECT_STREQ(psz, "&amp");
    std::free(psz);
}

TEST(XmlTest, CDataFormWithBlanks) {
    CXml xml;
    SXmlElem* pRoot = Parse(xml, "<a>x<![ CDATA[ <b>y</b> ]]>z</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "x<b>y</b> z");
    EXPECT_EQ(pRoot->m_pFirstChild, nullptr);
    EXPECT_NE(Parse(xml, "<a><![ CDATA[ ]]></a>"), nullptr);
    EXPECT_EQ(Parse(xml, "<a><![CDATA[x]]></a>"), nullptr);
    EXPECT_EQ(Parse(xml, "<a><![ CDATA[ x</a>"), nullptr);
}

TEST(XmlTest, TextBetweenChildrenBelongsToTheValue) {
    CXml xml;
    SXmlElem* pRoot = Parse(xml, "<a>x<b/>y</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "xy");
    ASSERT_NE(pRoot->m_pFirstChild, nullptr);
    EXPECT_STREQ(pRoot->m_pFirstChild->m_pszName, "b");
    EXPECT_EQ(pRoot->m_pFirstChild->m_pszValue, nullptr);
    EXPECT_EQ(pRoot->m_pFirstChild->m_pNextSibling, nullptr);

    pRoot = Parse(xml, "<a>x<b>1</b>y<c/>z<!-- note -->w</a>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(pRoot), "xyzw");
    ASSERT_NE(pRoot->m_pFirstChild, nullptr);
    EXPECT_EQ(ValueOf(pRoot->m_pFirstChild), "1");
    ASSERT_NE(pRoot->m_pFirstChild->m_pNextSibling, nullptr);
    EXPECT_STREQ(pRoot->m_pFirstChild->m_pNextSibling->m_pszName, "c");
}

TEST(XmlTest, PrologCommentsAndTopLevelSiblings) {
    CXml xml;
    SXmlElem* pRoot = Parse(xml, "<?xml version=\"1.0\"?>\n<!-- a -- b -->\n<?pi x?>"
                                 "<root><!-- inside --><x>1</x><!-- last --></root>"
                                 "<second/>tail");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_STREQ(pRoot->m_pszName, "root");
    ASSERT_NE(pRoot->m_pNextSibling, nullptr);
    EXPECT_STREQ(pRoot->m_pNextSibling->m_pszName, "second");
    EXPECT_EQ(ValueOf(pRoot->m_pFirstChild), "1");

    EXPECT_EQ(Parse(xml, "<!-- open <root/>"), nullptr);
    EXPECT_EQ(Parse(xml, "<?xml <root/>"), nullptr);
    EXPECT_EQ(Parse(xml, "<!DOCTYPE root><root/>"), nullptr);
    // A bad element after the root ends the top level but keeps the root.
    pRoot = Parse(xml, "<root/><bad");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(pRoot->m_pNextSibling, nullptr);
}

TEST(XmlTest, TruncatedDocumentsFail) {
    CXml xml;
    for (const char* pszText : {"", "text only", "<", "<a", "<a>", "<a>text", "<a></", "<a></a",
                                "<a x", "<a x=", "<a x='1'", "<a/", "<a><b></b>", "<a>&amp"}) {
        EXPECT_EQ(Parse(xml, pszText), nullptr) << pszText;
    }
}

TEST(XmlTest, StateVariableUrl) {
    CXml xml;
    int32_t iPort = 0;
    ASSERT_NE(Parse(xml, kDescription), nullptr);
    EXPECT_EQ(StateVariableUrl(xml.GetRoot(), &iPort), "/base/print/control");
    EXPECT_EQ(iPort, 8080);

    ASSERT_NE(Parse(xml, Description("<URLBase>http://10.1.2.3:8080/base</URLBase>", "")), nullptr);
    EXPECT_EQ(StateVariableUrl(xml.GetRoot(), &iPort), "/print/control");
    EXPECT_EQ(iPort, 80);
    // Without a "/" behind the host the URLBase names neither path nor port.
    ASSERT_NE(Parse(xml, Description("http://10.1.2.3:8080/base", "http://10.1.2.3:8080")),
              nullptr);
    EXPECT_EQ(StateVariableUrl(xml.GetRoot(), &iPort), "/print/control");
    EXPECT_EQ(iPort, 80);
    // The service type compares without case; another service's controlURL is not taken.
    ASSERT_NE(Parse(xml, Description("service:Print:1", "SERVICE:PRINT:1")), nullptr);
    EXPECT_EQ(StateVariableUrl(xml.GetRoot(), &iPort), "/base/print/control");
    ASSERT_NE(Parse(xml, Description("service:Print:1", "service:Print:2")), nullptr);
    EXPECT_EQ(StateVariableUrl(xml.GetRoot(), &iPort), "");
    EXPECT_EQ(iPort, 8080);
    ASSERT_NE(Parse(xml, Description("<controlURL>/print/control</controlURL>", "")), nullptr);
    EXPECT_EQ(StateVariableUrl(xml.GetRoot(), &iPort), "");

    EXPECT_EQ(Parse(xml, "<root"), nullptr);
    EXPECT_EQ(StateVariableUrl(xml.GetRoot(), &iPort), "");
    EXPECT_EQ(iPort, 80);
}

TEST(XmlTest, ReturnValue) {
    CXml xml;
    ASSERT_NE(
        Parse(xml,
              "<s:Envelope xmlns:s=\"http://envelope\" s:encodingStyle=\"http://enc\">"
              "<s:Body><u:QueryStateVariableResponse xmlns:u=\"urn:schemas-upnp-org:control-1-0\">"
              "<return> 1234</return></u:QueryStateVariableResponse></s:Body></s:Envelope>"),
        nullptr);
    EXPECT_EQ(ReturnWord(xml.GetRoot()), 1234u);
    ASSERT_NE(Parse(xml, "<Envelope><RETURN>-7x</RETURN></Envelope>"), nullptr);
    EXPECT_EQ(ReturnWord(xml.GetRoot()), uint32_t(-7)); // wraps, as strtoul
    ASSERT_NE(Parse(xml, "<Envelope><Body/></Envelope>"), nullptr);
    EXPECT_EQ(ReturnWord(xml.GetRoot()), 0u);
    EXPECT_EQ(Parse(xml, "garbage"), nullptr);
    EXPECT_EQ(ReturnWord(xml.GetRoot()), 0u);
}

TEST(XmlTest, FindWalksChildrenBeforeSiblings) {
    CXml xml;
    SXmlElem* pRoot = Parse(xml, "<r><a><x>1</x></a><x>2</x><b><X>3</X></b></r>");
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(ValueOf(CXml::FindElement(pRoot, "X")), "1");
    EXPECT_EQ(ValueOf(CXml::FindElementWithValue(pRoot, "x", "3")), "3");
    EXPECT_EQ(CXml::FindElementWithValue(pRoot, "x", "4"), nullptr);
    // From an element on: its children and its following siblings, not its parent's.
    SXmlElem* pA = CXml::FindElement(pRoot, "a");
    EXPECT_EQ(CXml::FindElement(pA->m_pFirstChild, "b"), nullptr);
    EXPECT_EQ(ValueOf(CXml::FindElementWithValue(pA, "x", "2")), "2");
}

TEST(XmlTest, HostileNestingAndLongListsFailOrPassWithoutOverflow) {
    CXml xml;
    std::string csDeep;
    for (int i = 0; i < 100000; ++i)
        csDeep += "<a>";
    EXPECT_EQ(Parse(xml, csDeep), nullptr);

    auto Nested = [](int iDepth) {
        std::string cs;
        for (int i = 0; i < iDepth; ++i)
            cs += "<a>";
        for (int i = 0; i < iDepth; ++i)
            cs += "</a>";
        return cs;
    };
    EXPECT_NE(Parse(xml, Nested(XML_MAX_DEPTH)), nullptr);
    EXPECT_EQ(Parse(xml, Nested(XML_MAX_DEPTH + 1)), nullptr);

    // Long sibling and attribute lists are walked and freed without recursion.
    std::string csWide = "<r>";
    for (int i = 0; i < 100000; ++i)
        csWide += "<b/>x";
    csWide += "</r>";
    SXmlElem* pRoot = Parse(xml, csWide);
    ASSERT_NE(pRoot, nullptr);
    EXPECT_EQ(std::string(pRoot->m_pszValue).size(), 100000u);
    std::string csTop;
    for (int i = 0; i < 100000; ++i)
        csTop += "<t/>";
    ASSERT_NE(Parse(xml, csTop), nullptr);
    std::string csAttribs = "<r";
    for (int i = 0; i < 100000; ++i)
        csAttribs += " a='1'";
    csAttribs += "/>";
    ASSERT_NE(Parse(xml, csAttribs), nullptr);
}

} // namespace

namespace {

TEST(XmlTraceTest, ProblemsAndTheDumpAreTraced) {
    CTraceLog log;
    CXml xml;
    EXPECT_EQ(Parse(xml, "<a>v</b>"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::ParseElem)element a not closed at b 6 "));
    EXPECT_TRUE(log.Has("ERR", "(CXml::ParseElem)Failed: Name=a Value=(v) at 7 (>)"));
    ASSERT_NE(Parse(xml, "<a>&foo;</a>"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::MySzDupN)Illegal escape sequence(&foo)"));
    EXPECT_EQ(Parse(xml, "<a><!x></a>"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::ParseElem)Parsing error = (<!x></)"));
    ASSERT_NE(Parse(xml, "<a b=\"\">v</a>"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::ParseAttrib)Failed: Name=b Value=() at 7 (>)"));
    EXPECT_EQ(Parse(xml, "<a>v"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::GetElemValue)failed at 3 (v)"));
    EXPECT_EQ(Parse(xml, "<a><![ CDATA[ v</a>"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::GetElemValue)CDATA failed at 3 (<)"));
    ASSERT_NE(Parse(xml, "<a><![ CDATA[ ]]></a>"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::ParseElem)Get Elem empty value segment"));
    EXPECT_EQ(Parse(xml, "<a =1/>"), nullptr);
    EXPECT_TRUE(log.Has("ERR", "(CXml::GetToken)Failed at 3 (=)"));

    ASSERT_NE(Parse(xml, "<p:a x='1'><b>v</b><c/></p:a>"), nullptr);
    xml.Dump();
    // A link that ends a list reads as the C library prints a null pointer
    // ("(nil)" on POSIX, zeros on Windows).
    char szNull[32];
    std::snprintf(szNull, sizeof szNull, "%p", static_cast<void*>(nullptr));
    const std::string csNull = szNull;
    for (const std::string& csLine :
         {std::string("e1->m_pszName = a"), std::string("e1->m_pszPrefix = p"),
          std::string("e1->m_pszValue = (null)"), std::string("   e1.a1->m_pszName = x"),
          std::string("   e1.a1->m_pszValue = 1"), "   e1.a1->m_pNextAttrib = " + csNull,
          std::string("   e1.e1->m_pszName = b"), std::string("   e1.e1->m_pszValue = v"),
          std::string("   e1.e2->m_pszName = c"), "   e1.e2->m_pNextSibling = " + csNull,
          "e1->m_pNextSibling = " + csNull}) {
        EXPECT_TRUE(log.Has("DET", csLine)) << csLine;
    }
}

} // namespace
