// Facts about the system, code page conversion and console handlers on Windows.
#include "platform/os.h"
#include "Helpers.h"
#include "platform/access.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/error.h"
#include "platform/section.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(OsTest, TheSystemsOwnFacts) {
    EXPECT_STREQ(".exe", ExecutableSuffix());
    EXPECT_EQ('\\', PathSeparator());
    std::string csPath;
    ASSERT_TRUE(GetModuleFileName(&csPath));
    EXPECT_NE(std::string::npos, csPath.find("test_win32.exe")) << csPath;
    const std::string csSystem = GetSystemDirectory();
    ASSERT_FALSE(csSystem.empty());
    EXPECT_EQ('\\', csSystem.back());
    // Every system wine or Windows offers is of the "XP and later" kind.
    EXPECT_GE(GetVersion().dwMajorVersion, 5u);
    EXPECT_FALSE(SetEmulatedVersion(4, 0));
    EXPECT_EQ(ERROR_NOT_SUPPORTED, GetLastError());
}

TEST(OsTest, TheCalendarOfAMoment) {
    std::tm utc{};
    ASSERT_TRUE(ToUniversalTime(951782400 + 3723, &utc)); // 2000-02-29 01:02:03 UTC
    EXPECT_EQ(100, utc.tm_year);
    EXPECT_EQ(1, utc.tm_mon);
    EXPECT_EQ(29, utc.tm_mday);
    EXPECT_EQ(1, utc.tm_hour);
    EXPECT_EQ(2, utc.tm_min);
    EXPECT_EQ(3, utc.tm_sec);
    std::tm local{};
    ASSERT_TRUE(ToLocalTime(951782400 + 3723, &local));
    EXPECT_EQ(3, local.tm_sec); // zones differ by whole minutes
    EXPECT_FALSE(ToUniversalTime(-1, &utc));
}

TEST(OsTest, CodePageConversionNeverFailsOnSixteenBitText) {
    const std::u16string csPlain = u"Printer 42 (copy)";
    EXPECT_EQ("Printer 42 (copy)", Utf16ToAnsi(csPlain.data(), csPlain.size()));
    std::u16string csBack;
    EXPECT_TRUE(AnsiToUtf16("Printer 42 (copy)", &csBack));
    EXPECT_EQ(csPlain, csBack);
    // A lone surrogate half becomes a replacement, never a failure or a cut.
    const char16_t lone[] = {u'a', char16_t(0xD800), u'b'};
    const std::string csLone = Utf16ToAnsi(lone, 3);
    ASSERT_GE(csLone.size(), 3u);
    EXPECT_EQ('a', csLone.front());
    EXPECT_EQ('b', csLone.back());
    EXPECT_TRUE(AnsiToUtf16("", &csBack));
    EXPECT_TRUE(csBack.empty());
}

bool Take(uint32_t) {
    return true;
}

TEST(OsTest, ConsoleHandlersAreAddedAndRemovedOnce) {
    EXPECT_FALSE(SetConsoleCtrlHandler(nullptr, true));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_TRUE(SetConsoleCtrlHandler(Take, true));
    EXPECT_TRUE(SetConsoleCtrlHandler(Take, false));
    EXPECT_FALSE(SetConsoleCtrlHandler(Take, false));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(OsTest, ASectionIsSharedByNameWhileAHandleHoldsIt) {
    const std::string csName = win32test::UniqueName("VexWin32TestSection");
    HSECTION hFirst = CreateFileMapping(csName, 8);
    ASSERT_NE(nullptr, hFirst);
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());
    HSECTION hSecond = CreateFileMapping(csName, 8);
    ASSERT_NE(nullptr, hSecond);
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_TRUE(CloseSection(hSecond));
    EXPECT_TRUE(CloseSection(hFirst));
    // The last handle gone, the name is free again.
    HSECTION hAgain = CreateFileMapping(csName, 8);
    ASSERT_NE(nullptr, hAgain);
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());
    EXPECT_TRUE(CloseSection(hAgain));
    EXPECT_EQ(nullptr, CreateFileMapping("a\\b", 8));
    EXPECT_EQ(ERROR_INVALID_NAME, GetLastError());
}

TEST(OsTest, TheAdministratorsAreTheBuiltInGroup) {
    EXPECT_EQ("Administrators", AdministratorsGroupName());
    // Wine runs every program with an administrator's token; on Windows the
    // answer is the tester's own.
    if (win32test::UnderWine()) {
        EXPECT_TRUE(IsMachineAdministrator());
    }
}

} // namespace
