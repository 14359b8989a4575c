// The deciding parts of the printer dialogs, without a window: the internet
// rule, driver types, and the field checks with their messages against a real
// spooler. (The share and OK rules are tested through the dialogs.)
#include "DialogMachine.h"
#include "GuiTestSupport.h"

#include "gui/core/IconDlgRules.h"
#include "gui/core/IconFieldChecks.h"
#include "platform/os.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(IconDlgRulesTest, DriverTypes) {
    EXPECT_EQ(DriverTypeFromDriverName("Zantor Pressa A PCL6"), 0);
    EXPECT_EQ(DriverTypeFromDriverName("Zantor Pressa A PCL"), 1);
    EXPECT_EQ(DriverTypeFromDriverName("Zantor Pressa A PS"), 2);
    EXPECT_EQ(DriverTypeFromDriverName("Generic text"), 999);
    EXPECT_EQ(ShownDriverType(1, {true, true, false}), 1);
    EXPECT_EQ(ShownDriverType(0, {false, false, true}), 2);
    EXPECT_EQ(ShownDriverType(2, {false, false, false}), 999);
}

TEST(IconDlgRulesTest, InternetRule) {
    vextest::TempRoot root;
    bool bOpens = true;
    auto probe = [&bOpens] { return bOpens; };
    auto setBrowser = [](const std::string& csVersion, const std::string& csMk) {
        HKEY hKey = nullptr;
        ASSERT_EQ(
            RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Internet Explorer", &hKey),
            ERROR_SUCCESS);
        RegSetString(hKey, "Version", csVersion);
        RegSetString(hKey, "MkEnabled", csMk);
        RegCloseKey(hKey);
    };
    EXPECT_FALSE(IsInternetUsable(probe)); // no browser at all
    setBrowser("6.0.2900", "yes");
    EXPECT_FALSE(IsInternetUsable(probe)); // no Internet Settings of the user
    HKEY hUser = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                             &hUser),
              ERROR_SUCCESS);
    RegCloseKey(hUser);
    EXPECT_TRUE(IsInternetUsable(probe));
    bOpens = false;
    EXPECT_FALSE(IsInternetUsable(probe));
    bOpens = true;
    setBrowser("3.02", "Yes");
    EXPECT_FALSE(IsInternetUsable(probe));
    setBrowser("5.5", "No");
    EXPECT_FALSE(IsInternetUsable(probe));
}

class IconFieldChecksTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(machine.Ready()); }
    vexguitest::CDialogMachine machine;
};

TEST_F(IconFieldChecksTest, NamesAndTheirMessages) {
    const CPrinter printer = machine.AddPrinter(1);
    ASSERT_EQ(machine.CreateQueue(printer, "Front desk", "FRONT"), 0u);
    const std::string csPort = "ZANTOR:" + printer.m_csIpAddr;

    // A colon is refused in a printer name and a share name, shown with the
    // name's character set, and accepted in a port name.
    auto failure = CIconFieldChecks::CheckIconName("a:b", "");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->uiMessageId, 5045u);
    EXPECT_EQ(failure->iVexNumber, 213);
    EXPECT_EQ(failure->csText, "The name 'a:b' contains characters that are not valid.  Re-enter "
                               "text that does not contain the special characters !\\/:*?<>|,");
    EXPECT_EQ(CIconFieldChecks::CheckShareName("a:b", "")->uiMessageId, 5045u);
    EXPECT_FALSE(CIconFieldChecks::CheckPortName("ZANTOR:a:b"));
    failure = CIconFieldChecks::CheckPortName("a*b");
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->csText.find("characters !\\/*?<>|,"), std::string::npos);

    // Names in use.
    failure = CIconFieldChecks::CheckIconName("Front desk", "");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->uiMessageId, 5046u);
    EXPECT_EQ(failure->iVexNumber, 214);
    EXPECT_EQ(failure->csText,
              "The name 'Front desk' already exists on this workstation.  Enter a different name.");
    EXPECT_FALSE(CIconFieldChecks::CheckIconName("Front desk", "Front desk"));
    EXPECT_EQ(CIconFieldChecks::CheckShareName("front", "")->uiMessageId, 5046u);
    EXPECT_FALSE(CIconFieldChecks::CheckShareName("FRONT", "FRONT"));
    // The monitor's own port may be taken again.
    EXPECT_FALSE(CIconFieldChecks::CheckPortName(csPort));

    // A name the spooler refuses.
    failure = CIconFieldChecks::CheckIconName("tab\there", "");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->uiMessageId, 5048u);
    EXPECT_EQ(failure->iVexNumber, 216);

    // Too long fails without a message (the fields never take that much).
    failure = CIconFieldChecks::CheckIconName(std::string(79, 'n'), "");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->uiMessageId, 0u);

    // Separator pages: a missing file, "." and an existing file.
    failure = CIconFieldChecks::CheckSeparatorPage("/no/such.sep");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->uiMessageId, 5044u);
    EXPECT_EQ(failure->iVexNumber, 212);
    EXPECT_EQ(failure->csText,
              "The separator page '/no/such.sep' is invalid. Re-enter a valid separator page.");
    EXPECT_TRUE(CIconFieldChecks::CheckSeparatorPage("."));
    const std::string csPage = GetSystemDirectory() + "page.sep";
    vextest::WriteFile(csPage, "page");
    EXPECT_FALSE(CIconFieldChecks::CheckSeparatorPage(csPage));
}

TEST_F(IconFieldChecksTest, AllChecksInTheDialogsOrder) {
    SIconInfo values;
    values.csIconName = "a:b";
    values.csPortName = "p*q";
    values.bShare = true;
    values.csShareName = "s:t";
    values.csSepPage = ".";
    auto failure = CIconFieldChecks::CheckAll(values, "", "");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->eField, EIconField::IconName);
    values.csIconName = "New queue";
    EXPECT_EQ(CIconFieldChecks::CheckAll(values, "", "")->eField, EIconField::PortName);
    // The queue's own port passes as it is.
    EXPECT_EQ(CIconFieldChecks::CheckAll(values, "", "", "p*q")->eField, EIconField::ShareName);
    values.csPortName = "ZANTOR:x";
    EXPECT_EQ(CIconFieldChecks::CheckAll(values, "", "")->eField, EIconField::ShareName);
    // The share name counts only while sharing.
    values.bShare = false;
    EXPECT_EQ(CIconFieldChecks::CheckAll(values, "", "")->eField, EIconField::SeparatorPage);
    values.csSepPage = "";
    EXPECT_FALSE(CIconFieldChecks::CheckAll(values, "", ""));
}

} // namespace
