// The model check and the driver version reader against .inf files of a
// private installation tree.
#include "TestSupport.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "platform/os.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

class VexDataModelTest : public ::testing::Test {
protected:
    void SetUp() override { root.SetUpWorkDir(); }

    std::string Folder(eDriverType eType) {
        CVexData data;
        std::string folder = data.GetDriverPath(data.GetOs(), eType);
        std::filesystem::create_directories(folder);
        return folder;
    }
    void WriteInf(eDriverType eType, const std::string& name, const std::string& text) {
        vextest::WriteFile(Folder(eType) + name, text);
    }

    vextest::TempRoot root;
};

// UTF-16 with a byte-order mark, little- or big-endian, of an ASCII or UTF-8 text.
std::string Utf16(const std::string& text, bool bLittle) {
    std::string out = bLittle ? "\xFF\xFE" : "\xFE\xFF";
    std::u16string wide;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC0 && i + 1 < text.size()) {
            wide += char16_t(((c & 0x1F) << 6) | (text[++i] & 0x3F));
        } else {
            wide += char16_t(c);
        }
    }
    for (char16_t u : wide) {
        char lo = char(u & 0xFF), hi = char(u >> 8);
        out += bLittle ? std::string{lo, hi} : std::string{hi, lo};
    }
    return out;
}

const char* const kInf =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=05/01/2005,1.2.3.4\r\n"
    "\r\n[ZANTOR]\r\n\"Laser 1332 PCL6\" = ZA.GPD\r\n"
    "\"Pressa \xC3\x84 PCL6\" = ZA.GPD\r\n";

TEST_F(VexDataModelTest, AnsiInfNamesTheQuotedDriverNameExactly) {
    WriteInf(eDriverPcl6, "zantor6.inf", kInf);
    CVexData data;
    EXPECT_TRUE(data.IsModelSupported("Laser 1332", eDriverPcl6));
    EXPECT_TRUE(data.IsModelSupported("Pressa \xC3\x84", eDriverPcl6));
    // The quotes make the match whole: a shorter model or other case is not supported.
    EXPECT_FALSE(data.IsModelSupported("Laser 133", eDriverPcl6));
    EXPECT_FALSE(data.IsModelSupported("laser 1332", eDriverPcl6));
    // No folder for PCL 5 at all.
    EXPECT_FALSE(data.IsModelSupported("Laser 1332", eDriverPcl5));
}

TEST_F(VexDataModelTest, Utf16InfMatchesLikeAnAnsiOne) {
    WriteInf(eDriverPcl6, "le.inf", Utf16(kInf, true));
    WriteInf(eDriverPcl5, "be.inf", Utf16(std::string(kInf) + "\"Laser 1332 PCL\" = Z\r\n", false));
    CVexData data;
    EXPECT_TRUE(data.IsModelSupported("Laser 1332", eDriverPcl6));
    EXPECT_TRUE(data.IsModelSupported("Pressa \xC3\x84", eDriverPcl6));
    EXPECT_FALSE(data.IsModelSupported("Laser 133", eDriverPcl6));
    EXPECT_TRUE(data.IsModelSupported("Laser 1332", eDriverPcl5));
    EXPECT_EQ(data.GetDriverVer(eDriverPcl6), "1.2.3.4");
}

TEST_F(VexDataModelTest, OtherFilesAndUnreadableEntriesAreSkipped) {
    WriteInf(eDriverPostScript, "readme.txt", "\"Laser 1332 PS\"");
    CVexData data;
    EXPECT_FALSE(data.IsModelSupported("Laser 1332", eDriverPostScript));
    // A folder named like an .inf file cannot be read; the next file still counts.
    std::filesystem::create_directories(Folder(eDriverPostScript) + "a.inf");
    WriteInf(eDriverPostScript, "b.INF", "x \"Laser 1332 PS\" y");
    EXPECT_TRUE(data.IsModelSupported("Laser 1332", eDriverPostScript));
}

TEST_F(VexDataModelTest, MissingAndUnreadableFilesAreTraced) {
    root.EnableTrace(eExeService, TRACE_ERR | TRACE_WRN | TRACE_TRC);
    TraceInit(eExeService, ".bak");
    CVexData data;
    EXPECT_FALSE(data.IsModelSupported("Laser 1332", eDriverPcl5));
    std::filesystem::create_directories(Folder(eDriverPcl6) + "dir.inf");
    EXPECT_FALSE(data.IsModelSupported("Laser 1332", eDriverPcl6));
    TraceShutdown();
    std::string text = vextest::ReadFile(root.WorkDir() + "vexsrv.log");
    EXPECT_NE(text.find("(CVexData::IsModelSupported/2)No .inf files in driver path " +
                        data.GetDriverPath(data.GetOs(), eDriverPcl5) + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("(CVexData::IsModelSupported/2)Failed to open file " + Folder(eDriverPcl6) +
                        "dir.inf\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Exit  (CVexData::IsModelSupported/2) false"), std::string::npos);
}

TEST_F(VexDataModelTest, TheOneArgumentFormTriesEveryDriverType) {
    CVexData data;
    EXPECT_FALSE(data.IsModelSupported("Laser 1332"));
    WriteInf(eDriverPostScript, "s.inf", "\"Laser 1332 PS\"");
    EXPECT_TRUE(data.IsModelSupported("Laser 1332"));
    EXPECT_FALSE(data.IsModelSupported("Laser 1333"));
}

TEST_F(VexDataModelTest, DriverVersionIsTheTextAfterTheCommaOfItsLine) {
    CVexData data;
    EXPECT_EQ(data.GetDriverVer(eDriverPcl6), "");
    WriteInf(eDriverPcl6, "zantor6.inf", kInf);
    EXPECT_EQ(data.GetDriverVer(eDriverPcl6), "1.2.3.4");

    WriteInf(eDriverPcl5, "lf.inf", "DriverVer=05/01/2005,2.0.0.1\n[x]\n");
    EXPECT_EQ(data.GetDriverVer(eDriverPcl5), "2.0.0.1");

    // A date without a version: a comma on a later line is no version.
    WriteInf(eDriverPostScript, "nover.inf", "DriverVer=05/01/2005\r\n\"A\",\"B\"\r\n");
    EXPECT_EQ(data.GetDriverVer(eDriverPostScript), "");
}

TEST_F(VexDataModelTest, SamplePackageSupportsItsModelsOnEverySystem) {
    std::string output;
    ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("samplepkg"),
                                  {"--model", "Laser 1332", "--model", "Zantor Pressa A"}, &output),
              0)
        << output;
    CVexData data;
    for (auto [major, minor] : {std::pair{4u, 0u}, {5u, 0u}, {5u, 1u}}) {
        ASSERT_TRUE(platform::SetEmulatedVersion(major, minor));
        for (eDriverType eType : {eDriverPcl6, eDriverPcl5, eDriverPostScript}) {
            EXPECT_TRUE(data.IsModelSupported("Laser 1332", eType)) << major << "." << minor;
            EXPECT_TRUE(data.DoesDriverTypeExist(eType));
            EXPECT_EQ(data.GetDriverVer(eType), "1.2.3.4");
        }
        EXPECT_FALSE(data.IsModelSupported("Zantor Pressa B"));
    }
    EXPECT_TRUE(std::filesystem::exists(data.GetPortMonPath() + "zantornpmon.dll"));
    // The installer laid into the package is a placeholder that fails.
    EXPECT_NE(vextest::RunProgram(data.GetDriverInstallerPathAndFilename(eOsXP, eDriverPcl6),
                                  {"-i", "\"A\""}),
              0);

    ASSERT_EQ(vextest::RunProgram(vextest::ProgramPath("samplepkg"),
                                  {"--utf16", "--drivers", "5", "--model", "Zantor Pressa B"}),
              0);
    EXPECT_TRUE(data.IsModelSupported("Zantor Pressa B", eDriverPcl5));
    EXPECT_EQ(data.GetDriverVer(eDriverPcl5), "1.2.3.4");
}

} // namespace
