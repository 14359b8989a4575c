// Open files with share modes, the atomic replacement by a copy, the scaled
// delays and the 16-bit text conversion.
#include "TestSupport.h"

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class FileHandleTest : public ::testing::Test {
protected:
    vextest::TempRoot root;
    std::string dir = root.Path() + "/d";
    void SetUp() override { std::filesystem::create_directories(dir); }
};

TEST_F(FileHandleTest, FailuresOnTheWayLeaveNoDescriptorOpen) {
    const std::string src = dir + "/src", dst = dir + "/dst";
    vextest::WriteFile(src, "data");
    vextest::WriteFile(dst, "old");
    const int nBefore = vextest::OpenDescriptors();
    File f;
    EXPECT_FALSE(f.OpenForRead(dir)); // a folder: opened, then refused
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFile(src, dst, true));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(CopyFile(src, dir + "/nofolder/x", false)); // the target cannot be made
    File writer;
    ASSERT_TRUE(writer.CreateForWrite(dst));
    File second;
    EXPECT_FALSE(second.CreateForWrite(dst)); // opened, then the lock refused
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(ReplaceFileWithCopy(dir + "/none", dst));
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(vextest::OpenDescriptors(), nBefore);
    // (A copy that succeeds opens the flags' store, which stays open.)
    EXPECT_TRUE(CopyFile(src, dst, false));
    EXPECT_EQ(vextest::ReadFile(dst), "data");
}

TEST_F(FileHandleTest, OpenErrorsTellMissingFileFromMissingFolder) {
    File f;
    EXPECT_FALSE(f.OpenForRead(dir + "/none"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(f.OpenForRead(dir + "/nofolder/none"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(f.CreateForWrite(dir + "/nofolder/none"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(f.OpenForRead(dir));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FileHandleTest, ReadersDenyWritersAndWritersDenyEveryone) {
    std::string path = dir + "/f";
    vextest::WriteFile(path, "old");
    File reader, reader2, writer;
    ASSERT_TRUE(reader.OpenForRead(path));
    ASSERT_TRUE(reader2.OpenForRead(path));
    EXPECT_FALSE(writer.CreateForWrite(path));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(vextest::ReadFile(path), "old"); // a refused writer does not empty it
    reader.Close();
    reader2.Close();

    ASSERT_TRUE(writer.CreateForWrite(path));
    EXPECT_EQ(vextest::ReadFile(path), "");
    EXPECT_FALSE(reader.OpenForRead(path));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    File writer2;
    EXPECT_FALSE(writer2.CreateForWrite(path));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    ASSERT_TRUE(writer.Write("new!", 4));
    ASSERT_TRUE(writer.FlushToDisk());
    ASSERT_TRUE(writer.Close());

    ASSERT_TRUE(reader.OpenForRead(path));
    uint64_t size = 0;
    ASSERT_TRUE(reader.GetSize(&size));
    EXPECT_EQ(size, 4u);
    char buffer[8];
    size_t got = 0;
    ASSERT_TRUE(reader.Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(std::string(buffer, got), "new!");
    ASSERT_TRUE(reader.Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);
}

TEST_F(FileHandleTest, ReadOnlyFileIsNotOpenedForWriting) {
    std::string path = dir + "/ro";
    vextest::WriteFile(path, "keep");
    ASSERT_TRUE(SetFileAttributes(path, FILE_ATTRIBUTE_READONLY));
    File f;
    EXPECT_FALSE(f.CreateForWrite(path));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(vextest::ReadFile(path), "keep");
}

TEST_F(FileHandleTest, ReplaceFileWithCopy) {
    std::string from = dir + "/from", to = dir + "/to";
    vextest::WriteFile(from, "new contents");
    vextest::WriteFile(to, "old");
    ASSERT_TRUE(SetFileAttributes(from, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(ReplaceFileWithCopy(from, to));
    EXPECT_EQ(vextest::ReadFile(to), "new contents");
    EXPECT_EQ(vextest::ReadFile(from), "new contents");
    EXPECT_EQ(GetFileAttributes(to), uint32_t(FILE_ATTRIBUTE_HIDDEN));
    // No temporary file is left beside the target.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);

    // A reader that holds the old file keeps reading the old contents.
    vextest::WriteFile(from, "third");
    File reader;
    ASSERT_TRUE(reader.OpenForRead(to));
    ASSERT_TRUE(ReplaceFileWithCopy(from, to));
    char buffer[32];
    size_t got = 0;
    ASSERT_TRUE(reader.Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(std::string(buffer, got), "new contents");
    EXPECT_EQ(vextest::ReadFile(to), "third");

    // Refusals leave the target as it was.
    ASSERT_TRUE(SetFileAttributes(to, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(ReplaceFileWithCopy(from, to));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(SetFileAttributes(to, FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(ReplaceFileWithCopy(dir + "/none", to));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    File writer;
    ASSERT_TRUE(writer.CreateForWrite(from));
    EXPECT_FALSE(ReplaceFileWithCopy(from, to));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(vextest::ReadFile(to), "third");
    EXPECT_FALSE(ReplaceFileWithCopy(to, dir + "/nofolder/x"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
}

TEST_F(FileHandleTest, ReplaceReusesALeftTemporaryFileAndWaitsForABusyOne) {
    std::string from = dir + "/from", to = dir + "/to";
    vextest::WriteFile(from, "new");
    vextest::WriteFile(to, "old");
    vextest::WriteFile(to + ".tmp", std::string(10000, 'x')); // left by a writer that died
    ASSERT_TRUE(ReplaceFileWithCopy(from, to));
    EXPECT_EQ(vextest::ReadFile(to), "new");
    EXPECT_FALSE(FileExists(to + ".tmp"));

    // Another writer is filling the temporary file: this one must not touch it.
    File other;
    ASSERT_TRUE(other.CreateForWrite(to + ".tmp"));
    vextest::WriteFile(from, "newer");
    EXPECT_FALSE(ReplaceFileWithCopy(from, to));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(vextest::ReadFile(to), "new");
    other.Close();
    ASSERT_TRUE(ReplaceFileWithCopy(from, to));
    EXPECT_EQ(vextest::ReadFile(to), "newer");
}

TEST(Clock, DelayScaleShortensButNeverRemoves) {
    ::unsetenv("VEX_DELAY_PERCENT");
    EXPECT_EQ(ScaledDelay(1000), 1000u);
    ::setenv("VEX_DELAY_PERCENT", "1", 1);
    EXPECT_EQ(ScaledDelay(1000), 10u);
    ::setenv("VEX_DELAY_PERCENT", "0", 1);
    EXPECT_EQ(ScaledDelay(1000), 1000u);
    ::setenv("VEX_DELAY_PERCENT", "5x", 1);
    EXPECT_EQ(ScaledDelay(700), 700u);
    ::unsetenv("VEX_DELAY_PERCENT");
}

TEST(CodePage, Utf16ToAnsi) {
    const char16_t text[] = {u'A', 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xD800, u'B', 0xDC00};
    EXPECT_EQ(Utf16ToAnsi(text, 8), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD"
                                    "B\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToAnsi(text, 0), "");
}

} // namespace
