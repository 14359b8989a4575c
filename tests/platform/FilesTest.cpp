// Files: wildcard search, Windows attributes, copy, move and delete.
#include "FindFilesCheck.h"
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/os.h"
#include "platform/root.h"
#include "platform/sync.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = root.Path() + "/files/";
        std::filesystem::create_directories(dir + "sub");
    }
    vextest::TempRoot root;
    std::string dir;
};

TEST_F(FilesTest, FindMatchesWildcardsWithoutRegardToCase) {
    filestest::ExpectInfFilesFound(dir);
    std::vector<FindData> found;
    ASSERT_TRUE(FindFiles(dir + "*", &found));
    auto sub = std::find_if(found.begin(), found.end(), [](auto& f) { return f.csName == "sub"; });
    ASSERT_NE(found.end(), sub);
    EXPECT_TRUE(sub->dwAttributes & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_FALSE(FindFiles(dir + "*.doc", &found));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(FindFiles(dir + "missing/*", &found));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(FilesTest, ReadOnlyAndHiddenAttributes) {
    std::string file = dir + "kpl.dat";
    vextest::WriteFile(file, "data");
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributes(file));
    ASSERT_TRUE(SetFileAttributes(file, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                            FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE,
              GetFileAttributes(file));

    // A read-only file is neither deleted nor replaced.
    vextest::WriteFile(dir + "other", "x");
    EXPECT_FALSE(DeleteFile(file));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(CopyFile(dir + "other", file, false));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(MoveFile(dir + "other", file, true));
    EXPECT_EQ("data", vextest::ReadFile(file));

    ASSERT_TRUE(SetFileAttributes(file, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributes(file));
    EXPECT_TRUE(DeleteFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributes(file));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FilesTest, CopyAndMove) {
    std::string a = dir + "a", b = dir + "b", c = dir + "c";
    vextest::WriteFile(a, std::string(200000, 'a'));
    SetFileAttributes(a, FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CopyFile(a, b, true));
    EXPECT_EQ(vextest::ReadFile(a), vextest::ReadFile(b));
    EXPECT_FALSE(CopyFile(a, b, true));
    EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());

    vextest::WriteFile(c, "c");
    EXPECT_FALSE(MoveFile(c, b, false));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
    ASSERT_TRUE(MoveFile(a, c, true));
    EXPECT_FALSE(FileExists(a));
    // The hidden attribute travels with the file, and leaves the old name.
    EXPECT_TRUE(GetFileAttributes(c) & FILE_ATTRIBUTE_HIDDEN);
    vextest::WriteFile(a, "new");
    EXPECT_FALSE(GetFileAttributes(a) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(MoveFile(dir + "missing", c, true));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FilesTest, EmulatedSystemVersion) {
    OsVersion version = GetVersion();
    EXPECT_EQ(5u, version.dwMajorVersion);
    EXPECT_EQ(1u, version.dwMinorVersion);
    ASSERT_TRUE(SetEmulatedVersion(4, 0));
    EXPECT_EQ(4u, GetVersion().dwMajorVersion);
    EXPECT_EQ(root.Path() + "/system/", GetSystemDirectory());
}

TEST_F(FilesTest, RootIsLaidForTheAdministratorsOnly) {
    ASSERT_TRUE(EnsureSystemRoot());
    auto modeOf = [&](const std::string& csFolder) {
        struct stat st {};
        ::lstat((root.Path() + csFolder).c_str(), &st);
        return std::make_pair(unsigned(st.st_mode & 07777), unsigned(st.st_gid));
    };
    if (vextest::RunningAsRoot()) {
        // run/ is not /tmp: the administrators share it, each entry stays its owner's.
        EXPECT_EQ(modeOf(""), std::make_pair(02770u, vextest::kTestAdminGroup));
        EXPECT_EQ(modeOf("/run"), std::make_pair(03770u, vextest::kTestAdminGroup));
        EXPECT_EQ(modeOf("/system"), std::make_pair(02770u, vextest::kTestAdminGroup));
    }
    for (const char* pszFolder : {"", "/run", "/system"})
        EXPECT_EQ(modeOf(pszFolder).first & 07, 0u) << pszFolder;
}

TEST_F(FilesTest, FoldersThatBreakTheRulesAreRefusedNotRepaired) {
    ASSERT_TRUE(EnsureSystemRoot());
    // A world-writable run/ (as an older root had it) is refused and left alone.
    ASSERT_EQ(::chmod((root.Path() + "/run").c_str(), 01777), 0);
    EXPECT_FALSE(EnsureSystemRoot());
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    struct stat st {};
    ::stat((root.Path() + "/run").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 01777u);
    // A link in place of a folder of the root is never followed.
    const std::string csElsewhere = root.Path() + "/elsewhere";
    ASSERT_EQ(::mkdir(csElsewhere.c_str(), 0700), 0);
    ASSERT_EQ(std::filesystem::remove_all(root.Path() + "/run"), 1u);
    ASSERT_EQ(::symlink(csElsewhere.c_str(), (root.Path() + "/run").c_str()), 0);
    EXPECT_FALSE(EnsureSystemRoot());
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    NamedMutex mutex("VexDataMutex");
    EXPECT_FALSE(mutex.IsValid());
    EXPECT_FALSE(std::filesystem::exists(csElsewhere + "/VexDataMutex.mutex"));
}

} // namespace
