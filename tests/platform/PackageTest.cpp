// Driver packages: unpacked inside their folder or not at all.
#include "TestSupport.h"

#include "platform/error.h"
#include "platform/package.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace platform;
namespace fs = std::filesystem;

namespace {

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = root.Path() + "/pkg";
        folder = base + "/out/inner";
        fs::create_directories(folder);
    }
    // A package laid by drvsite with the extra arguments.
    std::string Package(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--site", base + "/site", "--version", "2.0", "--os",
                                        "2",      "--drivers",    "6"};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(0, vextest::RunProgram(vextest::ProgramPath("drvsite"), all));
        return base + "/site/printers/drivers/zhdp/win2kxp/pcl6/english/wxpp6enu.exe";
    }
    static size_t Entries(const std::string& dir) {
        return size_t(std::distance(fs::recursive_directory_iterator(dir),
                                    fs::recursive_directory_iterator()));
    }

    vextest::TempRoot root;
    std::string base, folder;
};

TEST_F(PackageTest, AGoodPackageIsUnpackedWithItsProgramsExecutable) {
    ASSERT_TRUE(ExtractPackage(Package({}), folder)) << GetLastError();
    EXPECT_NE(std::string::npos,
              vextest::ReadFile(folder + "/zantor6.inf").find("DriverVer=01/01/2026,2.0"));
    struct stat st {};
    ASSERT_EQ(0, ::stat((folder + "/setup").c_str(), &st));
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_FALSE(st.st_mode & (S_ISUID | S_ISGID | S_IWOTH));
    EXPECT_TRUE(fs::is_regular_file(folder + "/portmon/zantornpmon.dll"));
    EXPECT_TRUE(fs::is_regular_file(folder + "/portmon/monitor.inf"));
}

TEST_F(PackageTest, AnEntryReachingOutsideRefusesThePackageAndWritesNothing) {
    for (const char* kind : {"dotdot", "absolute", "symlink", "hardlink"}) {
        SCOPED_TRACE(kind);
        std::string package = Package({"--hostile", kind});
        EXPECT_FALSE(ExtractPackage(package, folder));
        EXPECT_EQ(ERROR_INVALID_NAME, GetLastError());
        // Not even the good entries before the bad one were laid.
        EXPECT_EQ(0u, Entries(folder));
        EXPECT_FALSE(fs::exists(base + "/out/escaped.txt"));
        EXPECT_FALSE(fs::exists(fs::temp_directory_path() / "drvsite-escaped.txt"));
    }
}

TEST_F(PackageTest, ADamagedOrForeignFileIsInvalidData) {
    std::string package = Package({});
    std::string bytes = vextest::ReadFile(package);
    vextest::WriteFile(base + "/cut.exe", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(ExtractPackage(base + "/cut.exe", folder));
    EXPECT_EQ(ERROR_INVALID_DATA, GetLastError());
    vextest::WriteFile(base + "/text.exe", "just some text, no archive\n");
    EXPECT_FALSE(ExtractPackage(base + "/text.exe", folder));
    EXPECT_EQ(ERROR_INVALID_DATA, GetLastError());
    EXPECT_FALSE(ExtractPackage(base + "/missing.exe", folder));
}

} // namespace
