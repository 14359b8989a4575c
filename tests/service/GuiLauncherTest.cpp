// Starting the prompting GUI: only as the recorded desktop user, never as root.
#include "TestSupport.h"

#include "common/GuiSession.h"
#include "platform/root.h"
#include "service/GuiLauncher.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(GuiLauncher, NeverStartsWithoutARecordOrAsRoot) {
    vextest::TempRoot root;
    root.SetUpWorkDir();
    ASSERT_TRUE(platform::EnsureSystemRoot());
    EXPECT_FALSE(StartPromptingGui()); // no record
    SGuiSession session;
    session.uiUserId = 0;
    vextest::WriteFile(platform::RootPath("run/gui-session"), FormatGuiSession(session));
    if (::getuid() == 0) {
        ASSERT_TRUE(LoadGuiSession(&session)); // a sound record of root ...
        EXPECT_FALSE(StartPromptingGui());     // ... is refused all the same
    }
    // The program lies in the working directory; a blank in the path stays one argument.
    EXPECT_EQ(PromptingGuiCommandLine("/opt/my tools/"), "\"/opt/my tools/vexgui\" /Prompt");
}

} // namespace
