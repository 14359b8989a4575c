// Field checks and free-name proposals against the spooler of a private
// system root.
#include "TestService.h"
#include "TestSupport.h"

#include "common/DataValidation.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/spooler.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

const char* const kMonitor = "Zantor TCP/IP Network Port";
const char* const kDriver = "Laser 1332 PCL6";

class DataValidationTest : public ::testing::Test {
protected:
    void SetUp() override {
        root.SetUpWorkDir();
        ASSERT_TRUE(vextest::StartSpoolerService());
        DRIVER_INFO_3 driver{3, kDriver, nullptr, "d.dll", "d.gpd", "u.dll"};
        ASSERT_TRUE(AddPrinterDriver(3, &driver));
        vextest::WriteFile(GetSystemDirectory() + "zantornpmon.dll", "monitor");
        MONITOR_INFO_2 monitor{kMonitor, nullptr, "zantornpmon.dll"};
        ASSERT_TRUE(AddMonitor(2, &monitor));
    }

    static void AddPort(const char* name, const char* monitor) {
        PORT_INFO_2 port{name, nullptr, "", PORT_TYPE_WRITE};
        ASSERT_TRUE(AddPortEx(2, &port, monitor)) << GetLastError();
    }
    static void AddQueue(const std::string& name, const char* share = "", bool bShared = false) {
        PRINTER_INFO_2 info{
            name.c_str(), share, "LPT1:", kDriver,
            "",           "",    "",      bShared ? uint32_t(PRINTER_ATTRIBUTE_SHARED) : 0u};
        HPRINTER h = AddPrinter(2, &info);
        ASSERT_NE(h, nullptr) << name << ": " << GetLastError();
        ClosePrinter(h);
    }

    vextest::TempRoot root;
    CDataValidation check;
};

TEST_F(DataValidationTest, LengthLimits) {
    EXPECT_EQ(check.IsIconNameValid(std::string(78, 'q'), ""), eValidOk);
    EXPECT_EQ(check.IsIconNameValid(std::string(79, 'q'), ""), eValidTooLong);
    EXPECT_EQ(check.IsShareNameValid(std::string(78, 'q'), ""), eValidOk);
    EXPECT_EQ(check.IsShareNameValid(std::string(79, 'q'), ""), eValidTooLong);
    EXPECT_EQ(check.IsPortNameValid(std::string(128, 'q')), eValidOk);
    EXPECT_EQ(check.IsPortNameValid(std::string(129, 'q')), eValidTooLong);
    EXPECT_EQ(check.AreCommentsValid(std::string(255, 'q')), eValidOk);
    EXPECT_EQ(check.AreCommentsValid(std::string(256, 'q')), eValidTooLong);
    EXPECT_EQ(check.IsLocationValid(std::string(255, 'q')), eValidOk);
    EXPECT_EQ(check.IsLocationValid(std::string(256, 'q')), eValidTooLong);
    // Length goes before characters.
    EXPECT_EQ(check.IsIconNameValid(std::string(79, ','), ""), eValidTooLong);
}

TEST_F(DataValidationTest, ForbiddenCharacters) {
    for (char c : std::string("!\\/:*?<>|,")) {
        std::string name = std::string("a") + c + "b";
        EXPECT_EQ(check.IsIconNameValid(name, ""), eValidBadChar) << name;
        EXPECT_EQ(check.IsShareNameValid(name, ""), eValidBadChar) << name;
        EXPECT_EQ(check.IsPortNameValid(name), c == ':' ? eValidOk : eValidBadChar) << name;
    }
    EXPECT_EQ(check.IsPortNameValid("ZANTOR:9.8.7.65"), eValidOk);
    EXPECT_EQ(check.IsIconNameValid(",lead", ""), eValidBadChar);
    EXPECT_EQ(check.IsPortNameValid("trail,"), eValidBadChar);
}

TEST_F(DataValidationTest, QueueNamesAgainstTheSpooler) {
    AddQueue("Laser 1332");
    EXPECT_EQ(check.IsIconNameValid("Laser 1332", ""), eValidDuplicate);
    EXPECT_EQ(check.IsIconNameValid("LASER 1332", ""), eValidDuplicate);
    // Renaming a queue to its own name is no clash with itself.
    EXPECT_EQ(check.IsIconNameValid("Laser 1332", "Laser 1332"), eValidOk);
    EXPECT_EQ(check.IsIconNameValid("Laser 1332", "Other"), eValidDuplicate);
    EXPECT_EQ(check.IsIconNameValid("Laser 1333", ""), eValidOk);
    // Names only the spooler refuses.
    EXPECT_EQ(check.IsIconNameValid("", "x"), eValidRejected);
    EXPECT_EQ(check.IsIconNameValid("tab\there", ""), eValidRejected);
    // No check leaves a queue behind.
    uint32_t needed = 0, returned = 0;
    EXPECT_FALSE(EnumPrinters(PRINTER_ENUM_LOCAL, 2, nullptr, 0, &needed, &returned));
    std::vector<uint64_t> buffer(needed / 8 + 1);
    ASSERT_TRUE(EnumPrinters(PRINTER_ENUM_LOCAL, 2, reinterpret_cast<uint8_t*>(buffer.data()),
                             needed, &needed, &returned));
    EXPECT_EQ(returned, 1u);
}

TEST_F(DataValidationTest, PortsOfOtherMonitorsAreTaken) {
    AddPort("ZANTOR:9.8.7.65", "Standard TCP/IP Port");
    AddPort("ZANTOR:9.8.7.66", kMonitor);
    EXPECT_EQ(check.IsPortNameValid("ZANTOR:9.8.7.65"), eValidDuplicate);
    EXPECT_EQ(check.IsPortNameValid("zantor:9.8.7.66"), eValidOk);
    EXPECT_EQ(check.IsPortNameValid("lpt1:"), eValidDuplicate);
    EXPECT_EQ(check.IsPortNameValid("ZANTOR:9.8.7.67"), eValidOk);
    // The monitor's name must hold both words in their case.
    vextest::WriteFile(GetSystemDirectory() + "other.dll", "monitor");
    MONITOR_INFO_2 other{"zantor tcp/ip lookalike", nullptr, "other.dll"};
    ASSERT_TRUE(AddMonitor(2, &other));
    AddPort("Look", "zantor tcp/ip lookalike");
    EXPECT_EQ(check.IsPortNameValid("LOOK"), eValidDuplicate);
}

TEST_F(DataValidationTest, OnlySharedPrintersHoldTheirShareNames) {
    AddQueue("Shared", "IP32_65", true);
    AddQueue("Unshared", "FREE", false);
    EXPECT_EQ(check.IsShareNameValid("ip32_65", ""), eValidDuplicate);
    EXPECT_EQ(check.IsShareNameValid("IP32_65", "IP32_65"), eValidOk);
    EXPECT_EQ(check.IsShareNameValid("FREE", ""), eValidOk);
    EXPECT_EQ(check.IsShareNameValid("IP32_66", ""), eValidOk);
}

TEST_F(DataValidationTest, SeparatorPageAndPublishing) {
    EXPECT_EQ(check.IsSeparatorPageValid(""), eValidOk);
    EXPECT_EQ(check.IsSeparatorPageValid("."), eValidBadSepPage);
    EXPECT_EQ(check.IsSeparatorPageValid(".."), eValidBadSepPage);
    std::string page = root.WorkDir() + "page.sep";
    EXPECT_EQ(check.IsSeparatorPageValid(page), eValidBadSepPage);
    vextest::WriteFile(page, "sep");
    EXPECT_EQ(check.IsSeparatorPageValid(page), eValidOk);

    EXPECT_EQ(check.IsPublishedValid(true), eValidOk);
    EXPECT_EQ(check.IsPublishedValid(false), eValidOk);
    ASSERT_TRUE(SetEmulatedVersion(5, 0));
    EXPECT_EQ(check.IsPublishedValid(true), eValidOk);
    ASSERT_TRUE(SetEmulatedVersion(4, 0));
    EXPECT_EQ(check.IsPublishedValid(true), eValidRejected);
    EXPECT_EQ(check.IsPublishedValid(false), eValidOk);
}

TEST_F(DataValidationTest, ExitLinesCarryTheCode) {
    root.EnableTrace(eExeService, TRACE_TRC);
    TraceInit(eExeService, ".bak");
    AddQueue("Taken");
    check.IsIconNameValid("Taken", "");
    check.IsPortNameValid("a,b");
    TraceShutdown();
    std::string text = vextest::ReadFile(root.WorkDir() + "vexsrv.log");
    EXPECT_NE(text.find("Entry (CDataValidation::IsIconNameValid)"), std::string::npos);
    EXPECT_NE(text.find("Exit  (CDataValidation::IsIconNameValid) 3"), std::string::npos);
    EXPECT_NE(text.find("Exit  (CDataValidation::IsPortNameValid) 2"), std::string::npos);
}

TEST_F(DataValidationTest, QueueNameProposals) {
    CVexData data;
    EXPECT_EQ(data.GetIconName("Laser 1332"), "Laser 1332");
    AddQueue("Laser 1332");
    EXPECT_EQ(data.GetIconName("Laser 1332"), "Laser 1332 (2)");
    AddQueue("Laser 1332 (2)");
    EXPECT_EQ(data.GetIconName("Laser 1332"), "Laser 1332 (3)");
    // A gap is filled first.
    AddQueue("Laser 1332 (4)");
    EXPECT_EQ(data.GetIconName("Laser 1332"), "Laser 1332 (3)");
    // The count ends at 99, which is returned although it is taken.
    AddQueue("M");
    for (int i = 2; i <= 99; ++i)
        AddQueue("M (" + std::to_string(i) + ")");
    EXPECT_EQ(data.GetIconName("M"), "M (99)");
    // A name the checks refuse gets numbers too, all refused alike.
    EXPECT_EQ(data.GetIconName("A,B"), "A,B (99)");
}

TEST_F(DataValidationTest, PortNameProposals) {
    CVexData data;
    EXPECT_EQ(data.GetPortName("9.8.7.65"), "ZANTOR:9.8.7.65");
    AddPort("ZANTOR:9.8.7.65", kMonitor);
    EXPECT_EQ(data.GetPortName("9.8.7.65"), "ZANTOR:9.8.7.65");
    AddPort("zantor:host", "Standard TCP/IP Port");
    EXPECT_EQ(data.GetPortName("host"), "ZANTOR:host (2)");
    AddPort("ZANTOR:host (2)", "Local Port");
    EXPECT_EQ(data.GetPortName("host"), "ZANTOR:host (3)");
}

TEST_F(DataValidationTest, ShareNameProposals) {
    CVexData data;
    EXPECT_EQ(data.GetShareName("Laser 1332", "9.8.7.65"), "IP32_65");
    AddQueue("First", "IP32_65", true);
    EXPECT_EQ(data.GetShareName("Laser 1332", "9.8.7.65"), "2_IP32");
    AddQueue("Second", "2_ip32", true);
    EXPECT_EQ(data.GetShareName("Laser 1332", "9.8.7.65"), "3_IP32");
    EXPECT_EQ(data.GetShareName("A", "printer-host"), "IPA_printer-host");
    // Whole characters of the model are taken.
    EXPECT_EQ(data.GetShareName("Pressa \xC3\x84\xC3\x96", "1.2"), "IP\xC3\x84\xC3\x96_2");
}

TEST_F(DataValidationTest, AStoppedSpoolerFindsEveryNameFree) {
    AddQueue("Laser 1332", "IP32_65", true);
    AddPort("ZANTOR:9.8.7.65", "Standard TCP/IP Port");
    ASSERT_TRUE(vextest::StopSpoolerService());
    EXPECT_EQ(check.IsIconNameValid("Laser 1332", ""), eValidOk);
    // Without the spooler nothing refuses a name either.
    EXPECT_EQ(check.IsIconNameValid("", "x"), eValidOk);
    EXPECT_EQ(check.IsPortNameValid("ZANTOR:9.8.7.65"), eValidOk);
    EXPECT_EQ(check.IsShareNameValid("IP32_65", ""), eValidOk);
    // The limits and characters still count.
    EXPECT_EQ(check.IsIconNameValid("a:b", ""), eValidBadChar);
    EXPECT_EQ(check.IsPortNameValid(std::string(129, 'p')), eValidTooLong);
    CVexData data;
    EXPECT_EQ(data.GetIconName("Laser 1332"), "Laser 1332");
    EXPECT_EQ(data.GetPortName("9.8.7.65"), "ZANTOR:9.8.7.65");
    EXPECT_EQ(data.GetShareName("Laser 1332", "9.8.7.65"), "IP32_65");
}

} // namespace
