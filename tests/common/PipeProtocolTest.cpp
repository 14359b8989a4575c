// The pipe messages without a pipe: building, parsing and the carrying of
// texts with line feeds and zero bytes.
#include "TestSupport.h"
#include "TraceLog.h"
#include "common/GtosPipeComm.h"
#include "common/PipeMessage.h"
#include "common/StogPipeComm.h"
#include "platform/error.h"

#include <gtest/gtest.h>
#include <random>

namespace {

SIconInfo FullInfo() {
    SIconInfo info;
    info.csPortName = "ZANTOR:9.8.7.6";
    info.eDriverType = 2;
    info.eUseExisting = 1;
    info.eUseExistingAddl = 2;
    info.csIconName = "Laser 1332";
    info.csShareName = "LASER1";
    info.bShare = true;
    info.bPublish = true;
    info.csLocation = "Room 4";
    info.csComments = "Front desk";
    info.csSepPage = "C:\\WINDOWS\\sysprint.sep";
    info.bInstallAddl = true;
    return info;
}

std::string AddIconCmd(const SIconInfo& info, const std::string& csUUID = "uuid:42") {
    std::string csData;
    EXPECT_TRUE(CGtosPipeComm::BuildAddIconCmd(csUUID, info, &csData));
    return csData;
}

TEST(PipeProtocolTest, CommandsGetTheirNumbers) {
    struct {
        const char* pszData;
        EGtosCommand eExpected;
        const char* pszUUID;
    } cases[] = {
        {"Quit", eGtosQuit, ""},
        {"Ignore\nuuid:1", eGtosIgnore, "uuid:1"},
        {"Remove\nuuid:2", eGtosRemove, "uuid:2"},
        {"Restore\nuuid:3", eGtosRestore, "uuid:3"},
        {"Add Icon Defaults\nuuid:6", eGtosAddIconDefaults, "uuid:6"},
        {"Discover", eGtosDiscover, ""},
        {"Change state\nuuid:8\n3", eGtosChangeState, "uuid:8"},
        // The UUID is everything after the first line feed ...
        {"Ignore\nuuid:1\nmore", eGtosIgnore, "uuid:1\nmore"},
        // ... and without one the whole text.
        {"Ignore", eGtosIgnore, "Ignore"},
        {"ignore\nuuid:1", eGtosUnknown, ""},
        {"", eGtosUnknown, ""},
        {"Quit\n", eGtosQuit, ""},
        {"Change state\nuuid:8\n12", eGtosUnknown, "uuid:8"},
        {"Change state\nuuid:8\n", eGtosUnknown, "uuid:8"},
        {"Update Icons\nuuid:9\nLaser, Laser (Copy 1)\n2", eGtosUpdateIcons, "uuid:9"},
        {"Update Icons\nuuid:9\n<none>\n1", eGtosUpdateIcons, "uuid:9"},
        {"Update Icons\nuuid:9\nLaser", eGtosUnknown, ""},
        {"Update Icons\nuuid:9\nLaser\n", eGtosUnknown, ""},
        {"Update Icons\nuuid:9\nLaser\nx", eGtosUnknown, ""},
        {"Update Icons\nuuid:9\nLaser\n2\n", eGtosUnknown, ""},
        {"Change state\nuuid:8\nx", eGtosUnknown, "uuid:8"},
        {"Change state\nuuid:8", eGtosUnknown, ""},
        {"Add Icon", eGtosUnknown, ""},
    };
    for (const auto& c : cases) {
        CGtosPipeComm comm;
        comm.m_csUUID = "stale";
        EXPECT_EQ(comm.ParseCmdFromGui(c.pszData), c.eExpected) << c.pszData;
        EXPECT_EQ(comm.m_csUUID, c.pszUUID) << c.pszData;
    }
    CGtosPipeComm comm;
    ASSERT_EQ(comm.ParseCmdFromGui("Change state\nuuid:8\n5"), eGtosChangeState);
    EXPECT_EQ(comm.m_eNewState, 5);
}

TEST(PipeProtocolTest, UpdateIconsCarriesNamesAndState) {
    CGtosPipeComm comm;
    ASSERT_EQ(comm.ParseCmdFromGui("Update Icons\nuuid:9\nLaser, Laser (Copy 1)\n2"),
              eGtosUpdateIcons);
    EXPECT_EQ(comm.m_csIconNames, "Laser, Laser (Copy 1)");
    EXPECT_EQ(comm.m_eNewState, 2);
    // No queue left: "<none>" on the pipe; a queue really named so is escaped.
    ASSERT_EQ(comm.ParseCmdFromGui("Update Icons\nuuid:9\n<none>\n1"), eGtosUpdateIcons);
    EXPECT_EQ(comm.m_csIconNames, "");
    EXPECT_EQ(comm.m_eNewState, 1);
    ASSERT_EQ(comm.ParseCmdFromGui("Update Icons\nuuid:9\n" + EncodePipeField("<none>") + "\n2"),
              eGtosUpdateIcons);
    EXPECT_EQ(comm.m_csIconNames, "<none>");
    // A failed parse leaves no names of an earlier command behind.
    EXPECT_EQ(comm.ParseCmdFromGui("Update Icons\nuuid:9\nLaser\n+2"), eGtosUnknown);
    EXPECT_EQ(comm.m_csIconNames, "");
}

TEST(PipeProtocolTest, AddIconCarriesTheDialogsValues) {
    SIconInfo info = FullInfo();
    EXPECT_EQ(AddIconCmd(info), "Add Icon\nuuid:42\nTRUE\nTRUE\nTRUE\nReplace\nIf newer\nFront "
                                "desk\nLaser 1332\nRoom 4\nZANTOR:9.8.7.6\n"
                                "C:\\WINDOWS\\sysprint.sep\nLASER1\nPS");
    CGtosPipeComm comm;
    ASSERT_EQ(comm.ParseCmdFromGui(AddIconCmd(info)), eGtosAddIcon);
    EXPECT_EQ(comm.m_csUUID, "uuid:42");
    EXPECT_TRUE(comm.m_IconInfo.bInstallAddl);
    EXPECT_TRUE(comm.m_IconInfo.bPublish);
    EXPECT_TRUE(comm.m_IconInfo.bShare);
    EXPECT_EQ(comm.m_IconInfo.eUseExisting, 1);
    EXPECT_EQ(comm.m_IconInfo.eUseExistingAddl, 2);
    EXPECT_EQ(comm.m_IconInfo.csComments, "Front desk");
    EXPECT_EQ(comm.m_IconInfo.csIconName, "Laser 1332");
    EXPECT_EQ(comm.m_IconInfo.csLocation, "Room 4");
    EXPECT_EQ(comm.m_IconInfo.csPortName, "ZANTOR:9.8.7.6");
    EXPECT_EQ(comm.m_IconInfo.csSepPage, "C:\\WINDOWS\\sysprint.sep");
    EXPECT_EQ(comm.m_IconInfo.csShareName, "LASER1");
    EXPECT_EQ(comm.m_IconInfo.eDriverType, 2);

    // Empty comment, location and separator page travel as "<none>"; a queue
    // that is not shared is neither published nor carries its share name.
    info.csComments = info.csLocation = info.csSepPage = "";
    info.bShare = false;
    info.eDriverType = 0;
    info.eUseExisting = 0;
    const std::string csData = AddIconCmd(info);
    EXPECT_EQ(csData, "Add Icon\nuuid:42\nTRUE\nFALSE\nFALSE\nUse existing\nIf newer\n<none>\n"
                      "Laser 1332\n<none>\nZANTOR:9.8.7.6\n<none>\n\nPCL6");
    CGtosPipeComm empty;
    ASSERT_EQ(empty.ParseCmdFromGui(csData), eGtosAddIcon);
    EXPECT_EQ(empty.m_IconInfo.csComments, "");
    EXPECT_EQ(empty.m_IconInfo.csLocation, "");
    EXPECT_EQ(empty.m_IconInfo.csSepPage, "");
    EXPECT_EQ(empty.m_IconInfo.csShareName, "");
    EXPECT_FALSE(empty.m_IconInfo.bPublish);
    EXPECT_EQ(empty.m_IconInfo.eDriverType, 0);

    info.eDriverType = 999;
    std::string csUnused;
    EXPECT_FALSE(CGtosPipeComm::BuildAddIconCmd("uuid:42", info, &csUnused));
    info.eDriverType = 1;
    info.eUseExistingAddl = 3;
    EXPECT_FALSE(CGtosPipeComm::BuildAddIconCmd("uuid:42", info, &csUnused));
}

TEST(PipeProtocolTest, MalformedAddIconKeepsWhatCameBefore) {
    const std::string csGood = AddIconCmd(FullInfo());
    auto replaceLine = [&](int iLine, const std::string& csWith) {
        std::vector<std::string> lines;
        size_t nPos = 0;
        for (size_t nLf; (nLf = csGood.find('\n', nPos)) != std::string::npos; nPos = nLf + 1)
            lines.push_back(csGood.substr(nPos, nLf - nPos));
        lines.push_back(csGood.substr(nPos));
        lines[size_t(iLine)] = csWith;
        std::string csOut;
        for (const auto& csLine : lines)
            csOut += (csOut.empty() ? "" : "\n") + csLine;
        return csOut;
    };
    {
        // Handling words compare with their letter case.
        CGtosPipeComm comm;
        EXPECT_EQ(comm.ParseCmdFromGui(replaceLine(5, "replace")), eGtosUnknown);
        EXPECT_EQ(comm.m_csUUID, "uuid:42");
        EXPECT_TRUE(comm.m_IconInfo.bShare);
        EXPECT_EQ(comm.m_IconInfo.csIconName, "");
    }
    {
        CGtosPipeComm comm;
        EXPECT_EQ(comm.ParseCmdFromGui(replaceLine(3, "true")), eGtosUnknown);
        EXPECT_TRUE(comm.m_IconInfo.bInstallAddl);
        EXPECT_FALSE(comm.m_IconInfo.bShare);
    }
    {
        CGtosPipeComm comm;
        EXPECT_EQ(comm.ParseCmdFromGui(replaceLine(13, "PCL6\n")), eGtosUnknown);
        // Everything up to the last line is stored.
        EXPECT_EQ(comm.m_IconInfo.csShareName, "LASER1");
        EXPECT_EQ(comm.ParseCmdFromGui(replaceLine(13, "PostScript")), eGtosUnknown);
    }
    {
        // Twelve lines only: the line feed before the last line is missing.
        CGtosPipeComm comm;
        const std::string csShort = csGood.substr(0, csGood.rfind('\n'));
        EXPECT_EQ(comm.ParseAddIconCmdFromGui(csShort.substr(9)), 0);
        EXPECT_EQ(comm.m_IconInfo.csSepPage, "C:\\WINDOWS\\sysprint.sep");
        EXPECT_EQ(comm.m_IconInfo.csShareName, "");
        EXPECT_EQ(comm.ParseAddIconCmdFromGui(csGood.substr(9)), 5);
    }
}

TEST(PipeProtocolTest, LineFeedsAndZeroBytesDoNotShiftLines) {
    const std::string texts[] = {
        "two\nlines",  std::string("zero\0byte", 9), "\x10", "a\x10n", "<none>", "\n",
        "trailing\x10"};
    for (const std::string& csText : texts) {
        const std::string csLine = EncodePipeField(csText);
        EXPECT_EQ(csLine.find('\n'), std::string::npos);
        EXPECT_EQ(csLine.find('\0'), std::string::npos);
        EXPECT_EQ(DecodePipeField(csLine), csText);

        SIconInfo info = FullInfo();
        info.csComments = info.csLocation = info.csIconName = info.csPortName = info.csSepPage =
            info.csShareName = csText;
        const std::string csData = AddIconCmd(info, csText);
        EXPECT_EQ(csData.find('\0'), std::string::npos);
        CGtosPipeComm comm;
        if (csText.find('\0') != std::string::npos) {
            // The codec carries a zero byte, but the service takes no text with one.
            EXPECT_EQ(comm.ParseCmdFromGui(csData), eGtosUnknown);
            EXPECT_EQ(comm.ParseCmdFromGui("Ignore\n" + EncodePipeField(csText)), eGtosUnknown);
            EXPECT_EQ(comm.m_csUUID, "");
            continue;
        }
        ASSERT_EQ(comm.ParseCmdFromGui(csData), eGtosAddIcon);
        for (const std::string* pcsField :
             {&comm.m_csUUID, &comm.m_IconInfo.csComments, &comm.m_IconInfo.csLocation,
              &comm.m_IconInfo.csIconName, &comm.m_IconInfo.csPortName, &comm.m_IconInfo.csSepPage,
              &comm.m_IconInfo.csShareName})
            EXPECT_EQ(*pcsField, csText);
        EXPECT_EQ(comm.m_IconInfo.eDriverType, 2);
        EXPECT_EQ(comm.ParseCmdFromGui("Ignore\n" + EncodePipeField(csText)), eGtosIgnore);
        EXPECT_EQ(comm.m_csUUID, csText);
    }
    // Ordinary texts travel unchanged, as every older peer sends and expects them.
    for (const char* pszText : {"uuid:1234-abcd", "C:\\WINDOWS\\x.sep", "Room <4>", ""})
        EXPECT_EQ(EncodePipeField(pszText), pszText);
    // A raw escape byte before an ordinary letter stands for that letter.
    EXPECT_EQ(DecodePipeField("a\x10xb"), "axb");
}

TEST(PipeProtocolTest, TheServiceRefusesEveryFieldWithAZeroByte) {
    // "abc" DLE "0" "../../etc": a UUID that would be checked in full and used
    // up to its zero byte.
    const std::string csSneaky = "abc\x10"
                                 "0../../etc";
    CGtosPipeComm comm;
    for (const char* pszWord : {"Ignore", "Remove", "Restore", "Add Icon Defaults"})
        EXPECT_EQ(comm.ParseCmdFromGui(std::string(pszWord) + "\n" + csSneaky), eGtosUnknown)
            << pszWord;
    EXPECT_EQ(comm.ParseCmdFromGui("Change state\n" + csSneaky + "\n3"), eGtosUnknown);
    // Each of the "Add Icon" texts in turn.
    for (int iField = 0; iField < 7; ++iField) {
        SIconInfo info = FullInfo();
        std::string csUUID = "uuid:1";
        std::string* fields[] = {&csUUID,          &info.csComments, &info.csIconName,
                                 &info.csLocation, &info.csPortName, &info.csSepPage,
                                 &info.csShareName};
        *fields[iField] = std::string("name\0../x", 10);
        std::string csData;
        ASSERT_TRUE(CGtosPipeComm::BuildAddIconCmd(csUUID, info, &csData));
        EXPECT_EQ(comm.ParseCmdFromGui(csData), eGtosUnknown) << iField;
    }
    // A DLE "0" that is the escaped escape byte followed by '0' is no zero byte.
    EXPECT_EQ(comm.ParseCmdFromGui("Ignore\nabc\x10\x10"
                                   "0"),
              eGtosIgnore);
    EXPECT_EQ(comm.m_csUUID, "abc\x10"
                             "0");
}

TEST(PipeProtocolTest, AnswersFromTheService) {
    struct {
        const char* pszAnswer;
        bool bSuccess;
        int32_t iRc;
        uint32_t uiWarnings;
    } cases[] = {
        {"Ignore\nSuccess", true, 1, 0},
        {"Ignore\nFailure", false, 1, 0},
        {"Remove\nSuccess", true, 1, 0},
        {"Restore\nSuccess", true, 1, 0},
        {"Change state\nSuccess", true, 1, 0},
        {"Discover\nSuccess", true, 1, 0},
        {"Update Icons\nSuccess", true, 1, 0},
        {"Update Icons\nFailure", false, 1, 0},
        {"Discover\nSuccess\n", false, 1, 0},
        {"Discover\nsuccess", false, 1, 0},
        {"Unknown", false, 1, 0},
        {"", false, 1, 0},
        {"Add Icon\n0\n12", true, 0, 12},
        {"Add Icon\n7\n0", false, 7, 0},
        {"Add Icon Defaults\n-6\n4294967295", false, -6, 0xFFFFFFFF},
        {"Add Icon Defaults\n0\n0", true, 0, 0},
        {"Add Icon\n0", false, 1, 0},
        {"Add Icon\n0\n", false, 1, 0},
        {"Add Icon\nx\n0", false, 1, 0},
        {"Add Icon\n0\n-1", false, 1, 0},
        {"Add Icon\n2147483648\n0", false, 1, 0},
        {"Add Icon\n0\n4294967296", false, 1, 0},
    };
    for (const auto& c : cases) {
        CGtosPipeComm comm;
        EXPECT_EQ(comm.ParseResultFromService(c.pszAnswer), c.bSuccess) << c.pszAnswer;
        EXPECT_EQ(comm.m_iRc, c.iRc) << c.pszAnswer;
        EXPECT_EQ(comm.m_uiWarnings, c.uiWarnings) << c.pszAnswer;
        EXPECT_EQ(comm.m_bUnknownAnswer, std::string(c.pszAnswer) == "Unknown") << c.pszAnswer;
    }
}

TEST(PipeProtocolTest, NotificationsGetTheirNumbers) {
    CStogPipeComm comm;
    EXPECT_EQ(comm.ParseData("Quit"), eStogQuit);
    EXPECT_EQ(comm.ParseData("KPL Updated"), eStogKplUpdated);
    EXPECT_EQ(comm.ParseData("Adding Icons"), eStogAddingIcons);
    EXPECT_EQ(comm.ParseData("New Printer"), eStogNewPrinter);
    EXPECT_EQ(comm.ParseData("New Printer\nextra"), eStogNewPrinter);
    EXPECT_EQ(comm.ParseData("KPL updated"), eStogUnknown);
    EXPECT_EQ(comm.ParseData(""), eStogUnknown);
}

TEST(PipeProtocolTest, MessageTextsAndTraceForm) {
    EXPECT_EQ(PipeMessageText("abc\0def", 7), "abc");
    EXPECT_EQ(PipeMessageText("abcd", 4), "abcd");
    EXPECT_EQ(PipeMessageText("", 0), "");
    EXPECT_EQ(IndentPipeText("Ignore\nuuid:1"), "       Ignore\n       uuid:1");
}

TEST(PipeProtocolTest, NoiseNeverBreaksTheParsers) {
    std::mt19937 random(7);
    const std::string pieces[] = {"Add Icon", "Change state", "\n",   "TRUE",  "Replace",
                                  "<none>",   "PCL6",         "\x10", "Ignore"};
    for (int i = 0; i < 3000; ++i) {
        std::string csData;
        const int nParts = int(random() % 30);
        for (int j = 0; j < nParts; ++j) {
            if (random() % 2)
                csData += pieces[random() % 9];
            else
                csData += char(random() % 256);
        }
        CGtosPipeComm comm;
        const int eCommand = comm.ParseCmdFromGui(csData);
        EXPECT_GE(eCommand, 0);
        EXPECT_LE(eCommand, 9);
        comm.ParseResultFromService(csData);
        CStogPipeComm stog;
        EXPECT_LE(int(stog.ParseData(csData)), 4);
        DecodePipeField(csData);
    }
}

TEST(PipeProtocolTraceTest, ParsersWriteTheirLines) {
    CTraceLog log(TRACE_ERR | TRACE_WRN | TRACE_TRC | TRACE_DET);
    CGtosPipeComm comm;
    comm.ParseCmdFromGui("Ignore\nuuid:1");
    EXPECT_TRUE(log.Has("TRC", "Entry (CGtosPipeComm::ParseCmdFromGui)"));
    EXPECT_TRUE(log.Has("DET", "(CGtosPipeComm::ParseCmdFromGui)parameters (csData="));
    EXPECT_TRUE(log.Has("TRC", "Exit  (CGtosPipeComm::ParseCmdFromGui) 2"));
    comm.ParseCmdFromGui("Add Icon\nuuid:1");
    EXPECT_TRUE(log.Has("DET", "(CGtosPipeComm::ParseAddIconCmdFromGui)parameters (csData="));
    EXPECT_TRUE(log.Has("TRC", "Exit  (CGtosPipeComm::ParseAddIconCmdFromGui) 0"));
    EXPECT_TRUE(log.Has("TRC", "Exit  (CGtosPipeComm::ParseCmdFromGui) 0"));
    comm.ParseResultFromService("Add Icon\n0\n12");
    EXPECT_TRUE(log.Has("DET", "(CGtosPipeComm::ParseResultFromService)parameters (csResult="));
    EXPECT_TRUE(log.Has("TRC", "Exit  (CGtosPipeComm::ParseResultFromService) success"));
    comm.ParseResultFromService("Unknown");
    EXPECT_TRUE(log.Has("TRC", "Exit  (CGtosPipeComm::ParseResultFromService) failure"));
    CStogPipeComm stog;
    stog.ParseData("New Printer");
    EXPECT_TRUE(log.Has("TRC", "Exit  (CStogPipeComm::ParseData) 4"));

    platform::SetLastError(platform::ERROR_PIPE_BUSY);
    EXPECT_EQ(comm.ErrorHandling("(X::Y)CreateFile failed"),
              "(X::Y)CreateFile failed : All pipe instances are busy.");
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_PIPE_BUSY);
    EXPECT_TRUE(log.Has("DET", "Entry (CGtosPipeComm::ErrorHandling) (csErrMsg="));
    EXPECT_TRUE(log.Has("DET", "Exit  (CGtosPipeComm::ErrorHandling)returning "));
    platform::SetLastError(platform::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(stog.ErrorHandling("m"), "m : The system cannot find the file specified.");
    EXPECT_TRUE(log.Has("DET", "Entry (CStogPipeComm::ErrorHandling) (csErrMsg="));
}

} // namespace
