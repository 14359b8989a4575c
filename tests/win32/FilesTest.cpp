// Files on Windows: attributes and the refusals they bring, share modes, the
// replacement by a copy, the system root, version resources.
#include "platform/files.h"
#include "FindFilesCheck.h"
#include "Helpers.h"
#include "platform/error.h"
#include "platform/os.h"
#include "platform/root.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace platform;

namespace {

void Write(const std::string& csPath, const std::string& csText) {
    std::ofstream(csPath, std::ios::binary) << csText;
}

std::string Read(const std::string& csPath) {
    std::ifstream in(csPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Without the archive bit, which the system sets on every file written.
uint32_t AttributesOf(const std::string& csPath) {
    const uint32_t dw = GetFileAttributes(csPath) & ~uint32_t(FILE_ATTRIBUTE_ARCHIVE);
    return dw ? dw : uint32_t(FILE_ATTRIBUTE_NORMAL);
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            (std::filesystem::temp_directory_path() / win32test::UniqueName("vex-files")).string() +
            "\\";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "sub");
    }
    void TearDown() override {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
            SetFileAttributes(entry.path().string(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(dir);
    }
    std::string dir;
};

TEST_F(FilesTest, FindMatchesWildcardsAndTellsMissingFilesFromMissingFolders) {
    filestest::ExpectInfFilesFound(dir);
    std::vector<FindData> found;
    ASSERT_TRUE(FindFiles(dir + "*", &found));
    EXPECT_EQ(4u, found.size()); // no "." or ".."
    auto sub = std::find_if(found.begin(), found.end(), [](auto& f) { return f.csName == "sub"; });
    ASSERT_NE(found.end(), sub);
    EXPECT_EQ(uint32_t(FILE_ATTRIBUTE_DIRECTORY), sub->dwAttributes);

    EXPECT_FALSE(FindFiles(dir + "*.doc", &found));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(FindFiles(dir + "missing\\*", &found));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(FilesTest, AReadOnlyFileIsNeitherDeletedNorReplacedNorOpenedForWriting) {
    const std::string csFile = dir + "kpl.dat", csOther = dir + "other";
    Write(csFile, "data");
    Write(csOther, "x");
    ASSERT_TRUE(SetFileAttributes(csFile, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(uint32_t(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), AttributesOf(csFile));
    EXPECT_FALSE(DeleteFile(csFile));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(CopyFile(csOther, csFile, false));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(MoveFile(csOther, csFile, true));
    EXPECT_FALSE(ReplaceFileWithCopy(csOther, csFile));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    File writer;
    EXPECT_FALSE(writer.CreateForWrite(csFile));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ("data", Read(csFile));

    // A hidden file is written anew without losing its attribute.
    ASSERT_TRUE(SetFileAttributes(csFile, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(writer.CreateForWrite(csFile));
    ASSERT_TRUE(writer.Write("new", 3));
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ("new", Read(csFile));
    EXPECT_EQ(uint32_t(FILE_ATTRIBUTE_HIDDEN), AttributesOf(csFile));

    EXPECT_FALSE(DeleteFile(dir + "sub"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(CopyFile(csOther, csFile, true));
    EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
    EXPECT_FALSE(MoveFile(csOther, csFile, false));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributes(dir + "none"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FilesTest, ReadersDenyWritersAndAWriterHasTheFileToItself) {
    const std::string csFile = dir + "list.dat";
    Write(csFile, "contents");
    File reader, second, writer;
    ASSERT_TRUE(reader.OpenForRead(csFile));
    ASSERT_TRUE(second.OpenForRead(csFile));
    EXPECT_FALSE(writer.CreateForWrite(csFile));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    uint64_t size = 0;
    ASSERT_TRUE(reader.GetSize(&size));
    EXPECT_EQ(8u, size); // the refused writer emptied nothing
    reader.Close();
    second.Close();

    ASSERT_TRUE(writer.CreateForWrite(csFile));
    EXPECT_FALSE(reader.OpenForRead(csFile));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    ASSERT_TRUE(writer.Write("abc", 3));
    ASSERT_TRUE(writer.FlushToDisk());
    ASSERT_TRUE(writer.Close());
    ASSERT_TRUE(reader.OpenForRead(csFile));
    char buffer[16];
    size_t got = 0;
    ASSERT_TRUE(reader.Read(buffer, sizeof buffer, &got));
    EXPECT_EQ("abc", std::string(buffer, got));
    ASSERT_TRUE(reader.Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(0u, got);

    EXPECT_FALSE(reader.OpenForRead(dir + "none"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(reader.OpenForRead(dir + "nofolder\\none"));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_FALSE(reader.IsOpen());
}

TEST_F(FilesTest, AReplacementByACopyIsWholeOrNothing) {
    const std::string csFrom = dir + "from", csTo = dir + "to";
    Write(csFrom, "new");
    Write(csTo, "old");
    Write(csTo + ".tmp", std::string(10000, 'x')); // left by a writer that died
    ASSERT_TRUE(ReplaceFileWithCopy(csFrom, csTo));
    EXPECT_EQ("new", Read(csTo));
    EXPECT_FALSE(FileExists(csTo + ".tmp"));

    // Another writer is filling the temporary file; a writer of the source
    // keeps it from being copied. Both leave the target as it was.
    Write(csFrom, "newer");
    File other;
    ASSERT_TRUE(other.CreateForWrite(csTo + ".tmp"));
    EXPECT_FALSE(ReplaceFileWithCopy(csFrom, csTo));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    other.Close();
    DeleteFile(csTo + ".tmp");
    File sourceWriter;
    ASSERT_TRUE(sourceWriter.CreateForWrite(dir + "busy"));
    EXPECT_FALSE(ReplaceFileWithCopy(dir + "busy", csTo));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    sourceWriter.Close();
    EXPECT_EQ("new", Read(csTo));
    EXPECT_FALSE(ReplaceFileWithCopy(dir + "none", csTo));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

    ASSERT_TRUE(ReplaceFileWithCopy(csFrom, csTo));
    EXPECT_EQ("newer", Read(csTo));
    EXPECT_FALSE(FileExists(csTo + ".tmp"));
}

TEST_F(FilesTest, AStreamFileIsEmptiedAndKeepsItsLineEnds) {
    const std::string csFile = dir + "trace.txt";
    Write(csFile, std::string(1000, 'x'));
    std::FILE* pFile = CreateFileStream(csFile);
    ASSERT_NE(nullptr, pFile) << GetLastError();
    std::fputs("one\ntwo\n", pFile);
    // Others may read it while it is written.
    EXPECT_EQ("one\ntwo\n", (std::fflush(pFile), Read(csFile)));
    std::fclose(pFile);
    EXPECT_EQ(nullptr, CreateFileStream(dir + "nofolder\\trace.txt"));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(FilesTest, TheRootIsLaidWhereVexRootSaysAndAFileInPlaceOfAFolderIsRefused) {
    const std::string csRoot = dir + "root";
    ::_putenv_s("VEX_ROOT", (csRoot + "\\").c_str());
    EXPECT_EQ(csRoot, SystemRoot());
    EXPECT_EQ(csRoot + "\\run\\x.lock", RootPath("run/x.lock"));
    ASSERT_TRUE(EnsureSystemRoot());
    EXPECT_TRUE(DirectoryExists(csRoot + "\\run"));
    EXPECT_TRUE(DirectoryExists(csRoot + "\\system"));
    ASSERT_TRUE(EnsureSystemRoot()); // laid already: checked, not made again

    std::filesystem::remove(csRoot + "\\system");
    Write(csRoot + "\\system", "not a folder");
    EXPECT_FALSE(EnsureSystemRoot());
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    ::_putenv_s("VEX_ROOT", "");
    EXPECT_NE(std::string::npos, SystemRoot().find("\\ambrel")) << SystemRoot();
}

TEST_F(FilesTest, TheProgramsVersionResourceIsReadAndStamped) {
    std::string csSelf;
    ASSERT_TRUE(GetModuleFileName(&csSelf));
    const std::string csCopy = dir + "stamped.exe";
    ASSERT_TRUE(CopyFile(csSelf, csCopy, true));
    auto versionOf = [](const std::string& csPath) {
        const uint32_t dwSize = GetFileVersionInfoSize(csPath);
        EXPECT_GE(dwSize, sizeof(VS_FIXEDFILEINFO));
        std::vector<char> block(dwSize);
        EXPECT_TRUE(GetFileVersionInfo(csPath, dwSize, block.data()));
        void* pValue = nullptr;
        uint32_t uLen = 0;
        EXPECT_TRUE(VerQueryValue(block.data(), "\\", &pValue, &uLen));
        EXPECT_FALSE(VerQueryValue(block.data(), "\\StringFileInfo", &pValue, &uLen));
        const auto* p = static_cast<const VS_FIXEDFILEINFO*>(pValue);
        return p ? std::make_pair(p->dwFileVersionMS, p->dwProductVersionLS)
                 : std::make_pair(0u, 0u);
    };
    // tests/win32/version.rc
    EXPECT_EQ(std::make_pair(0x00010002u, 0x00030004u), versionOf(csCopy));
    ASSERT_TRUE(UpdateFileVersion(csCopy, 0x00020001, 0x00000005));
    EXPECT_EQ(std::make_pair(0x00020001u, 0x00000005u), versionOf(csCopy));

    Write(dir + "plain.txt", "no resource here");
    EXPECT_EQ(0u, GetFileVersionInfoSize(dir + "plain.txt"));
    EXPECT_EQ(ERROR_RESOURCE_TYPE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(UpdateFileVersion(dir + "plain.txt", 1, 1));
    EXPECT_EQ(ERROR_RESOURCE_TYPE_NOT_FOUND, GetLastError());
    EXPECT_EQ(0u, GetFileVersionInfoSize(dir + "none.exe"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

} // namespace
