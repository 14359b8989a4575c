// The printer records: stored bytes, text forms, value semantics.
#include "TestSupport.h"

#include "common/Archive.h"
#include "common/Printer.h"
#include "common/PrinterExtraInfo.h"
#include "common/Trace.h"
#include "common/VexData.h"

#include <gtest/gtest.h>

namespace {

std::string Stored(CPrinter printer) {
    std::string bytes;
    CArchive ar(&bytes);
    EXPECT_TRUE(printer.Serialize(ar));
    return bytes;
}

CPrinter Sample() {
    CPrinter p;
    p.m_csUUID = "uuid:1234";
    p.m_csIpAddr = "9.8.7.65";
    p.m_csHostName = "host";
    p.m_csPrinterModel = "Laser 1332";
    p.m_csMicrocodeLevel = "A1.2";
    p.m_csIconName = "Laser 1332, Laser 1332 (2)";
    p.m_VexState = eVexAdded;
    p.m_uiFlags = PRT_FLAG_HOSTNAME_USED | 0x100;
    p.m_uiPrtConfig1Var = 0xC0000012;
    return p;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += char(v);
    return s;
}

TEST(PrinterRecord, DefaultRecordIsTwentyTwoBytes) {
    CPrinter p;
    std::string expected =
        Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xEA});
    ASSERT_EQ(expected.size(), 22u);
    EXPECT_EQ(Stored(p), expected);

    CPrinter back = Sample();
    CArchive in(expected);
    EXPECT_TRUE(back.Serialize(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(back, CPrinter());
}

TEST(PrinterRecord, LengthPrefixesAtTheirBoundaries) {
    struct {
        size_t length;
        std::string prefix;
    } cases[] = {
        {254, Bytes({254})},
        {255, Bytes({0xFF, 0xFF, 0x00})},
        {300, Bytes({0xFF, 0x2C, 0x01})},
        {65533, Bytes({0xFF, 0xFD, 0xFF})},
        {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
    };
    for (const auto& c : cases) {
        CPrinter p;
        p.m_csHostName = std::string(c.length, 'h');
        std::string bytes = Stored(p);
        // version + UUID + IP address, then the host name's prefix and bytes.
        ASSERT_EQ(bytes.size(), 22 + c.prefix.size() - 1 + c.length) << c.length;
        EXPECT_EQ(bytes.substr(6, c.prefix.size()), c.prefix) << c.length;
        EXPECT_EQ(bytes.substr(6 + c.prefix.size(), c.length), p.m_csHostName);

        CPrinter back;
        CArchive in(bytes);
        EXPECT_TRUE(back.Serialize(in));
        EXPECT_EQ(back, p) << c.length;
    }
}

TEST(PrinterRecord, RoundTripKeepsEveryFieldAndFlagBit) {
    CPrinter p = Sample();
    p.m_uiFlags = 0xFFFFFFFF;
    p.m_VexState = -7;
    std::string bytes = Stored(p);
    CPrinter back;
    CArchive in(bytes);
    ASSERT_TRUE(back.Serialize(in));
    EXPECT_EQ(back, p);
    EXPECT_EQ(in.GetPosition(), bytes.size());
}

TEST(PrinterRecord, SixteenBitTextsAreReadAndConverted) {
    // "Lé" then U+1F600 as a surrogate pair, then a lone low surrogate.
    std::string wide =
        Bytes({0xFF, 0xFE, 0xFF, 5, 'L', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC});
    // The same text with the character count in the 3-byte form.
    std::string wideLong = Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x02, 0x00, 'A', 0, 'B', 0});
    std::string record = Bytes({0, 0, 0, 0}) + Bytes({1, 'u'}) + wide + wideLong +
                         Bytes({0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xEA});
    CPrinter p;
    CArchive in(record);
    ASSERT_TRUE(p.Serialize(in)) << in.DescribeError();
    EXPECT_EQ(p.m_csUUID, "u");
    EXPECT_EQ(p.m_csIpAddr, "L\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_EQ(p.m_csHostName, "AB");
    EXPECT_EQ(p.m_VexState, eVexWaiting);
    EXPECT_TRUE(in.AtEnd());

    // A second marker where the character count belongs is not a length.
    std::string twice = Bytes({0, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 1, 'x', 0});
    CPrinter q;
    CArchive bad(twice);
    EXPECT_FALSE(q.Serialize(bad));
    EXPECT_EQ(bad.GetError(), CArchive::eErrBadLength);
}

TEST(PrinterRecord, BadVersionStopsAfterTheVersionAndIsTraced) {
    vextest::TempRoot root;
    root.EnableTrace(eExeService, TRACE_ERR);
    TraceInit(eExeService, ".bak");
    std::string bytes = Stored(Sample());
    bytes[0] = 1;
    CPrinter p;
    p.m_csUUID = "kept";
    CArchive in(bytes);
    EXPECT_FALSE(p.Serialize(in));
    EXPECT_EQ(in.GetError(), CArchive::eErrBadVersion);
    EXPECT_EQ(in.GetPosition(), 4u);
    EXPECT_EQ(p.m_csUUID, "kept");
    TraceShutdown();
    std::string log = vextest::ReadFile(root.WorkDir() + CVexData().GetTraceFile(eExeService));
    EXPECT_NE(log.find("(CPrinter::Serialize)Bad version found: 1\n"), std::string::npos) << log;
}

TEST(PrinterRecord, EveryTruncationIsEndOfFileAndLeavesTheRecord) {
    std::string bytes = Stored(Sample());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        CPrinter p;
        CArchive in(std::string_view(bytes).substr(0, cut));
        EXPECT_FALSE(p.Serialize(in)) << cut;
        EXPECT_EQ(in.GetError(), CArchive::eErrEndOfFile) << cut;
        EXPECT_EQ(p, CPrinter()) << cut;
    }
}

TEST(PrinterRecord, HugeLengthClaimFailsWithoutReadingFurther) {
    std::string bytes = Bytes({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'});
    CPrinter p;
    CArchive in(bytes);
    EXPECT_FALSE(p.Serialize(in));
    EXPECT_EQ(in.GetError(), CArchive::eErrEndOfFile);
    EXPECT_EQ(in.GetErrorPosition(), 11u);

    std::string wide = Bytes({0, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x40});
    CArchive in2(wide);
    EXPECT_FALSE(p.Serialize(in2));
    EXPECT_EQ(in2.GetError(), CArchive::eErrEndOfFile);
}

TEST(PrinterRecord, EqualityCoversEveryFieldWithCase) {
    CPrinter a = Sample();
    CPrinter b = a;
    EXPECT_EQ(a, b);
    b.m_csPrinterModel = "LASER 1332";
    EXPECT_NE(a, b);
    void (*changes[])(CPrinter&) = {
        [](CPrinter& p) { p.m_csUUID += "x"; },
        [](CPrinter& p) { p.m_csIpAddr += "x"; },
        [](CPrinter& p) { p.m_csHostName = "HOST"; },
        [](CPrinter& p) { p.m_csMicrocodeLevel += "x"; },
        [](CPrinter& p) { p.m_csIconName.clear(); },
        [](CPrinter& p) { p.m_VexState = eVexIgnore; },
        [](CPrinter& p) { p.m_uiFlags ^= PRT_FLAG_ADDING; },
        [](CPrinter& p) { p.m_uiPrtConfig1Var = 0; },
    };
    for (auto change : changes) {
        CPrinter c = a;
        change(c);
        EXPECT_TRUE(c != a);
    }
    CPrinter d;
    d = a;
    d.m_csUUID = "other";
    EXPECT_EQ(a.m_csUUID, "uuid:1234");

    CPrinterExtraInfo e1, e2;
    e2.m_csCachedStateVarURL = "/Control";
    EXPECT_NE(e1, e2);
    e1 = e2;
    EXPECT_EQ(e1, e2);
    e2.m_ulMostRecentSeqNum = 4;
    EXPECT_NE(e1, e2);
}

TEST(PrinterRecord, QueueNamesJoinWithoutDuplicates) {
    CPrinter p;
    p.AddIconName("Laser");
    EXPECT_EQ(p.m_csIconName, "Laser");
    p.AddIconName("Laser (2)");
    p.AddIconName("Laser");
    p.AddIconName("Laser (2)");
    EXPECT_EQ(p.m_csIconName, "Laser, Laser (2)");
    // Only whole entries count: a name that is part of another is new.
    p.AddIconName("Laser (");
    p.AddIconName("aser");
    EXPECT_EQ(p.m_csIconName, "Laser, Laser (2), Laser (, aser");
}

TEST(PrinterRecord, TextForms) {
    CPrinter p = Sample();
    EXPECT_EQ(p.Describe(1), "uuid:1234;ip=9.8.7.65;hn=host;mod=Laser 1332;mcode=A1.2;"
                             "ic=Laser 1332, Laser 1332 (2);Vex=added;f=00000102;cfg1=c0000012");
    p.m_VexState = 9;
    EXPECT_EQ(p.Describe(0), "\n       m_csUUID = 'uuid:1234'"
                             "\n       m_csIpAddr = '9.8.7.65'"
                             "\n       m_csHostName = 'host'"
                             "\n       m_csPrinterModel = 'Laser 1332'"
                             "\n       m_csMicrocodeLevel = 'A1.2'"
                             "\n       m_csIconName = 'Laser 1332, Laser 1332 (2)'"
                             "\n       m_VexState = invalid"
                             "\n       m_uiFlags = 0x00000102"
                             "\n       m_uiPrtConfig1Var = 0xc0000012");
    const char* words[] = {"unknown",   "waiting",     "added",  "ignore",
                           "add error", "unsupported", "invalid"};
    for (int state = 0; state <= 6; ++state)
        EXPECT_STREQ(CPrinter::StateWord(state), words[state]);
    EXPECT_STREQ(CPrinter::StateWord(-1), "invalid");

    CPrinterExtraInfo e;
    EXPECT_EQ(e.Describe(1), "URL=;port=-1;f=00000000;seq=0");
    e.m_csCachedStateVarURL = "/ctl";
    e.m_iCachedStateVarPort = 80;
    e.m_uiFlags = EXTRA_FLAG_PROCESSING;
    e.m_ulMostRecentSeqNum = 12;
    EXPECT_EQ(e.Describe(2), "\n       m_csCachedStateVarURL = '/ctl'"
                             "\n       m_iCachedStateVarPort = '80'"
                             "\n       m_uiFlags = 0x00000001"
                             "\n       m_ulMostRecentSeqNum = '12'");
}

} // namespace
