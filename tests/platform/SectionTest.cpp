// Named sections: the first creator finds the name new, later ones find it
// taken while any handle lives, in this process or another.
#include "platform/section.h"
#include "TestSupport.h"
#include "platform/error.h"

#include <gtest/gtest.h>

VEX_TEST_HELPER(section_exists) {
    platform::HSECTION hSection = platform::CreateFileMapping(args.at(0), 8);
    if (!hSection)
        return 2;
    const bool bExists = platform::GetLastError() == platform::ERROR_ALREADY_EXISTS;
    platform::CloseSection(hSection);
    return bExists ? 1 : 0;
}

TEST(Section, ExistsWhileAnyHandleLives) {
    vextest::TempRoot root;
    platform::HSECTION hFirst = platform::CreateFileMapping("VEX_V1", 8);
    ASSERT_NE(hFirst, nullptr);
    EXPECT_EQ(platform::GetLastError(), 0u);
    // A second handle of the same process and another process both find it.
    platform::HSECTION hSecond = platform::CreateFileMapping("VEX_V1", 8);
    ASSERT_NE(hSecond, nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_ALREADY_EXISTS);
    EXPECT_EQ(vextest::RunHelper("section_exists", {"VEX_V1"}), 1);
    EXPECT_EQ(vextest::RunHelper("section_exists", {"OTHER"}), 0);
    platform::CloseSection(hSecond);
    EXPECT_EQ(vextest::RunHelper("section_exists", {"VEX_V1"}), 1);
    platform::CloseSection(hFirst);
    // Released with its last handle (a process's end closes its handles too).
    EXPECT_EQ(vextest::RunHelper("section_exists", {"VEX_V1"}), 0);
    EXPECT_EQ(platform::CreateFileMapping("../x", 8), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_NAME);
}
