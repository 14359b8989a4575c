// The hosts file's lines as both back ends read them (the port monitor looks
// a printer's name up there, never in a name service).
#include "hosts_file.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

using platform::FindInHostsFile;

namespace {

bool Find(const std::string& csText, const std::string& csName, uint8_t abAddress[4]) {
    std::istringstream hosts(csText);
    return FindInHostsFile(hosts, csName, abAddress);
}

const char* const kHosts = "# printers of the lab\r\n"
                           "127.0.0.1\tlocalhost\r\n"
                           "::1 localhost ip6-localhost\n"
                           "   \n"
                           "127.0.0.12  pressa-a  Pressa.Lab   # the first one\n"
                           "127.0.0.013 badzero\n"
                           "#127.0.0.14 commented\n"
                           "127.0.0.15 pressa-a\n"
                           "127.0.0.16 #only-a-comment\n";

TEST(HostsFileTest, ANameOrAliasGivesTheFirstLinesAddressWhateverItsCase) {
    uint8_t address[4] = {};
    ASSERT_TRUE(Find(kHosts, "pressa-a", address));
    EXPECT_EQ((std::vector<uint8_t>{127, 0, 0, 12}), std::vector<uint8_t>(address, address + 4));
    ASSERT_TRUE(Find(kHosts, "PRESSA.lab", address));
    EXPECT_EQ(12, address[3]);
    ASSERT_TRUE(Find(kHosts, "LocalHost", address));
    EXPECT_EQ((std::vector<uint8_t>{127, 0, 0, 1}), std::vector<uint8_t>(address, address + 4));
}

TEST(HostsFileTest, CommentsOtherFamiliesAndBadAddressesNameNothing) {
    uint8_t address[4] = {9, 9, 9, 9};
    for (const char* name :
         {"commented", "only-a-comment", "ip6-localhost", "badzero", "#", "", "pressa", "the"})
        EXPECT_FALSE(Find(kHosts, name, address)) << name;
    EXPECT_FALSE(Find("", "localhost", address));
    EXPECT_EQ((std::vector<uint8_t>{9, 9, 9, 9}), std::vector<uint8_t>(address, address + 4));
}

} // namespace
