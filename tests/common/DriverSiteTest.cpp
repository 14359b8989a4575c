// The download site's addresses, its checksum files and driver versions.
#include "common/DriverSite.h"
#include "common/DriverChecksum.h"
#include "common/DriverVersion.h"

#include <gtest/gtest.h>

namespace {

TEST(DriverVersionTest, PartsCompareAsNumbers) {
    EXPECT_GT(CompareDriverVersions("1.10", "1.9"), 0);
    EXPECT_LT(CompareDriverVersions("1.9", "1.10"), 0);
    EXPECT_EQ(0, CompareDriverVersions("1.2", "1.2.0.0"));
    EXPECT_EQ(0, CompareDriverVersions("01.002", "1.2"));
    EXPECT_GT(CompareDriverVersions("2", "1.99.99"), 0);
    EXPECT_GT(CompareDriverVersions("1.2.3.4", ""), 0);
    EXPECT_GT(CompareDriverVersions("18446744073709551617.1", "18446744073709551616.9"), 0);
    // Parts that are not numbers fall back to text order.
    EXPECT_GT(CompareDriverVersions("1.2b", "1.2a"), 0);
    EXPECT_EQ(0, CompareDriverVersions(" 1.2 ", "1.2"));
}

TEST(DriverChecksumTest, Crc32IsTheStandardOneOverTheWholeFile) {
    EXPECT_EQ("0xcbf43926", ChecksumText(UpdateCrc32(0, "123456789", 9)));
    EXPECT_EQ("0x00000000", ChecksumText(UpdateCrc32(0, "", 0)));
    // Block by block gives the same as at once.
    EXPECT_EQ(UpdateCrc32(0, "123456789", 9), UpdateCrc32(UpdateCrc32(0, "1234", 4), "56789", 5));
}

TEST(DriverChecksumTest, AChecksumFileHasThreeFieldsAndNoError) {
    SDriverSum sum;
    ASSERT_TRUE(ParseDriverSum("wxpp6enu.exe 1.10 0x0badf00d\r\nmore", &sum));
    EXPECT_EQ("1.10", sum.csVersion);
    EXPECT_EQ("0x0badf00d", sum.csChecksum);
    ASSERT_TRUE(ParseDriverSum("pkg  2.0\t0x00000001", &sum));
    EXPECT_EQ("0x00000001", sum.csChecksum);
    EXPECT_FALSE(ParseDriverSum("ERROR", &sum));
    EXPECT_FALSE(ParseDriverSum("pkg 1.0 0x00000001 ERROR", &sum));
    EXPECT_FALSE(ParseDriverSum("pkg 1.0", &sum));
    EXPECT_FALSE(ParseDriverSum("pkg 1.0\r\n0x00000001", &sum));
    EXPECT_FALSE(ParseDriverSum("", &sum));
    EXPECT_FALSE(ParseDriverSum("pkg 1.0 0x00000001" + std::string(1024, ' '), &sum));
}

TEST(DriverSiteTest, AddressesFollowTheSystemDriverTypeAndLanguage) {
    SDriverAddresses addresses;
    ASSERT_TRUE(
        BuildDriverAddresses("ftp://site", eOsNT4, eDriverPcl6, "english", "enu", &addresses));
    EXPECT_EQ("ftp://site/printers/drivers/zhdp/winnt/pcl6/english/wntp6enu.exe",
              addresses.csPackage);
    EXPECT_EQ("ftp://site/printers/drivers/zhdp/winnt/pcl6/english/wntp6enu.sum",
              addresses.csChecksum);
    ASSERT_TRUE(
        BuildDriverAddresses("ftp://site", eOsNT4, eDriverPostScript, "german", "deu", &addresses));
    EXPECT_EQ("ftp://site/printers/drivers/zhdp/winnt/ps/german/wntpsdeu.exe", addresses.csPackage);
    for (eOs os : {eOsWin2000, eOsXP}) {
        ASSERT_TRUE(
            BuildDriverAddresses("http://s", os, eDriverPcl6, "english", "enu", &addresses));
        EXPECT_EQ("http://s/printers/drivers/zhdp/win2kxp/pcl6/english/wxpp6enu.exe",
                  addresses.csPackage);
        ASSERT_TRUE(
            BuildDriverAddresses("http://s", os, eDriverPostScript, "english", "enu", &addresses));
        EXPECT_EQ("http://s/printers/drivers/zhdp/win2kxp/ps/english/wxppsenu.sum",
                  addresses.csChecksum);
    }
    EXPECT_FALSE(
        BuildDriverAddresses("ftp://site", eOsXP, eDriverPcl5, "english", "enu", &addresses));
    EXPECT_FALSE(
        BuildDriverAddresses("ftp://site", eOsWin9x, eDriverPcl6, "english", "enu", &addresses));
    EXPECT_FALSE(BuildDriverAddresses("", eOsXP, eDriverPcl6, "english", "enu", &addresses));
}

} // namespace
