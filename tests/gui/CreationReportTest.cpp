// The message a creation's outcome gives, and the check of a lost publish.
#include "gui/core/CreationReport.h"
#include "DemoMachine.h"
#include "GuiTestSupport.h"
#include "gui/core/StringTable.h"
#include "platform/os.h"
#include "platform/spooler.h"

#include <gtest/gtest.h>

using vexguitest::CGuiRoot;

TEST(CreationReportTest, EachFailureCodeHasItsMessage) {
    const struct {
        int iCode;
        int iMessage;
        int iVex;
    } kCases[] = {{3, 5053, 221},  {7, 5054, 222}, {12, 5052, 220}, {1, 5049, 217},
                  {2, 5049, 217},  {4, 5049, 217}, {6, 5049, 217},  {8, 5049, 217},
                  {11, 5049, 217}, {13, 0, 0},     {-1, 0, 0}};
    for (const auto& c : kCases) {
        // Warnings of a failed creation are not reported.
        const SCreationReport report = ReportCreationResult(c.iCode, 0xFF, true, true);
        EXPECT_EQ(report.iMessageId, c.iMessage) << c.iCode;
        EXPECT_EQ(report.iVexNumber, c.iVex) << c.iCode;
        EXPECT_FALSE(report.bSuccess) << c.iCode;
        if (c.iMessage) {
            EXPECT_EQ(report.eIcon, EMsgIcon::Stop);
            EXPECT_EQ(report.csText, LoadVexString(uint32_t(c.iMessage)));
        } else {
            EXPECT_EQ(report.csText, "");
        }
    }
}

TEST(CreationReportTest, WarningLinesFollowTheHeadingInTheirOrder) {
    const std::string csHeading = LoadVexString(5056);
    const std::string csPort = LoadVexString(5051), csCommunity = LoadVexString(5055),
                      csDrivers = LoadVexString(5050), csPublish = LoadVexString(145);

    SCreationReport report = ReportCreationResult(0, 0x08 | 0x10, false, false);
    EXPECT_TRUE(report.bSuccess);
    EXPECT_EQ(report.iMessageId, 5056);
    EXPECT_EQ(report.iVexNumber, 224);
    EXPECT_EQ(report.eIcon, EMsgIcon::Exclamation);
    EXPECT_EQ(report.csText, csHeading + csCommunity + csDrivers);

    // Every additional-driver bit gives the one drivers line; the port line
    // comes first, and only for the dialog.
    EXPECT_EQ(ReportCreationResult(0, 0x04 | 0x80, true, true).csText,
              csHeading + csPort + csDrivers + csPublish);
    EXPECT_EQ(ReportCreationResult(0, 0x04 | 0x20, false, false).csText, csHeading + csDrivers);
    EXPECT_EQ(ReportCreationResult(0, 0x40, false, false).csText, csHeading + csDrivers);

    // Bits without a line of their own (share name, publish change, no NT
    // driver) and no lost publish: nothing to show.
    report = ReportCreationResult(0, 0x001 | 0x002 | 0x100, false, false);
    EXPECT_TRUE(report.bSuccess);
    EXPECT_EQ(report.iMessageId, 0);
    EXPECT_EQ(ReportCreationResult(0, 0x04, false, false).iMessageId, 0);
}

TEST(CreationReportTest, PublishMissingLooksAtTheQueueAndTheSystem) {
    CGuiRoot root;
    CPrinter printer = vexguitest::MakePrinter("u1", "10.0.0.1", eVexAdded);
    printer.m_csIconName = "Shared, Plain";
    std::string csError;
    ASSERT_TRUE(guidemo::AddQueues({printer}, &csError)) << csError;
    // "Shared" is shared and published.
    platform::HPRINTER hPrinter = nullptr;
    platform::PRINTER_DEFAULTS all{nullptr, nullptr, platform::PRINTER_ALL_ACCESS};
    ASSERT_TRUE(platform::OpenPrinter("Shared", &hPrinter, &all));
    alignas(8) uint8_t buffer[4096];
    uint32_t cbNeeded = 0;
    ASSERT_TRUE(platform::GetPrinter(hPrinter, 2, buffer, sizeof buffer, &cbNeeded));
    platform::PRINTER_INFO_2 info = *reinterpret_cast<platform::PRINTER_INFO_2*>(buffer);
    info.pShareName = "shared";
    info.Attributes |= platform::PRINTER_ATTRIBUTE_SHARED | platform::PRINTER_ATTRIBUTE_PUBLISHED;
    ASSERT_TRUE(platform::SetPrinter(hPrinter, 2, &info, 0));
    platform::ClosePrinter(hPrinter);

    EXPECT_FALSE(PublishMissing(true, "Shared"));
    EXPECT_TRUE(PublishMissing(true, "Plain"));
    EXPECT_TRUE(PublishMissing(true, "Gone"));
    EXPECT_FALSE(PublishMissing(false, "Plain"));
    // Windows NT 4.0 publishes nothing, so nothing is missing there.
    ASSERT_TRUE(platform::SetEmulatedVersion(4, 0));
    EXPECT_FALSE(PublishMissing(true, "Plain"));
}
