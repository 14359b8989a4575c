// The GUI's session record: written by the GUI, read by the service, which
// must refuse anything it could be tricked by.
#include "TestSupport.h"

#include "common/GuiSession.h"
#include "platform/root.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class GuiSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::EnsureSystemRoot()); }
    std::string RecordPath() const { return platform::RootPath("run/gui-session"); }
    vextest::TempRoot root;
};

TEST_F(GuiSessionTest, RecordedSessionLoadsBackWithUserAndVariables) {
    ::setenv("DISPLAY", ":7", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(RecordGuiSession());
    SGuiSession session;
    ASSERT_TRUE(LoadGuiSession(&session));
    EXPECT_EQ(session.uiUserId, ::getuid());
    EXPECT_EQ(session.uiGroupId, ::getgid());
    bool bDisplay = false;
    for (const auto& [name, value] : session.vEnv) {
        EXPECT_NE(name, "WAYLAND_DISPLAY");
        if (name == "DISPLAY")
            bDisplay = value == ":7";
    }
    EXPECT_TRUE(bDisplay);
    struct stat st {};
    ASSERT_EQ(::stat(RecordPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(GuiSessionTest, MissingOrMalformedRecordsAreRefused) {
    SGuiSession session;
    EXPECT_FALSE(LoadGuiSession(&session));
    const std::string uid = "uid=" + std::to_string(::getuid()) + "\n";
    const std::string gid = "gid=" + std::to_string(::getgid()) + "\n";
    for (const std::string& text : {
             std::string(""),                            // no user
             uid,                                        // no group
             uid + gid + "DISPLAY=:0",                   // last line unfinished
             uid + gid + "LD_PRELOAD=/tmp/x.so\n",       // not a session variable
             uid + gid + "DISPLAY\n",                    // no '='
             "uid=-1\n" + gid,                           // not a number
             "uid=4294967296\n" + gid,                   // out of range
             gid + uid,                                  // wrong order
             uid + gid + std::string("HOME=/a\0b\n", 10) // a zero byte
         }) {
        vextest::WriteFile(RecordPath(), text);
        EXPECT_FALSE(LoadGuiSession(&session)) << text;
    }
    vextest::WriteFile(RecordPath(), uid + gid + "HOME=/home/a=b\n");
    ASSERT_TRUE(LoadGuiSession(&session));
    ASSERT_EQ(session.vEnv.size(), 1u);
    EXPECT_EQ(session.vEnv[0].second, "/home/a=b");
}

TEST_F(GuiSessionTest, RecordNamingAnotherUserThanItsOwnerIsRefused) {
    // Anyone may create a file in the shared run folder, but only as themselves.
    const uint32_t other = ::getuid() == 0 ? 1000 : 0;
    SGuiSession claimed;
    claimed.uiUserId = other;
    vextest::WriteFile(RecordPath(), FormatGuiSession(claimed));
    SGuiSession session;
    EXPECT_FALSE(LoadGuiSession(&session));
    // A record others may rewrite is refused too, and so is a link.
    vextest::WriteFile(RecordPath(), "uid=" + std::to_string(::getuid()) + "\ngid=0\n");
    ASSERT_EQ(::chmod(RecordPath().c_str(), 0666), 0);
    EXPECT_FALSE(LoadGuiSession(&session));
    ASSERT_EQ(::chmod(RecordPath().c_str(), 0644), 0);
    EXPECT_TRUE(LoadGuiSession(&session));
    const std::string target = RecordPath() + ".real";
    ASSERT_EQ(::rename(RecordPath().c_str(), target.c_str()), 0);
    ASSERT_EQ(::symlink(target.c_str(), RecordPath().c_str()), 0);
    EXPECT_FALSE(LoadGuiSession(&session));
}

} // namespace
