// The texts of the printer list: string table, row texts, filter and side
// panel, window title and command line.
#include "GuiTestSupport.h"
#include "common/VexData.h"
#include "gui/app/QtStrings.h"
#include "gui/core/AppText.h"
#include "gui/core/PrinterRowText.h"
#include "gui/core/StateFilter.h"
#include "gui/core/StringIds.h"

#include <gtest/gtest.h>
#include <iterator>
#include <set>

using vexguitest::MakePrinter;

TEST(StringTable, ParsesEscapesAndRefusesMalformedLines) {
    CStringTable table;
    EXPECT_FALSE(table.Parse("# comment\n1\tone\\ntwo\n2\ttab\\there\\\\\nx\tbad id\n3 no tab\n"
                             "4\tbad \\q escape\n1\tduplicate\n5\t\n"));
    EXPECT_EQ(table.Get(1), "one\ntwo");
    EXPECT_EQ(table.Get(2), "tab\there\\");
    EXPECT_EQ(table.Get(5), "");
    EXPECT_TRUE(table.Has(5));
    EXPECT_FALSE(table.Has(4));
    EXPECT_EQ(table.BadLines(), 4);
    EXPECT_EQ(table.Get(99), "");
}

TEST(StringTable, ProgramTableIsWholeAndHoldsTheExactTexts) {
    const CStringTable& table = CStringTable::Instance();
    EXPECT_EQ(table.BadLines(), 0);
    EXPECT_EQ(table.Get(57344), "Zantor Ambrel");
    EXPECT_EQ(table.Get(5018), " (Can't print)");
    EXPECT_EQ(table.Get(5014), "Ambrel is already running.  Switch to the application that is "
                               "already running, or wait a few moments and try again.");
    EXPECT_EQ(VexCommandHelp(32788).toStdString(), "Discovers printers that Ambrel can work with");
    EXPECT_EQ(VexCommandTip(32788).toStdString(), "Discover printers");
    // Every message the start-up, the window and the notifications show.
    for (uint32_t id : {144u,  146u,  147u,  148u,  149u,  153u,  5000u, 5013u, 5015u, 5016u,
                        5017u, 5024u, 5025u, 5026u, 5027u, 5028u, 5029u, 5030u, 5031u, 5032u,
                        5033u, 5034u, 5037u, 5038u, 5039u, 5058u, 5061u, 57345u})
        EXPECT_FALSE(table.Get(id).empty()) << id;
    const std::string csRemove = FormatVexString(5035, {"A", "B", "C"});
    EXPECT_NE(csRemove.find("back in the 'A' state or 'B' state."), std::string::npos);
    EXPECT_NE(csRemove.find("put it in the 'C' state and"), std::string::npos);
    EXPECT_EQ(csRemove.find("%s"), std::string::npos);
}

// The names of the code and the numbers of the table are one list: a string
// without a name, a name without a string or a number named twice fails here.
TEST(StringTable, EveryStringHasOneNameAndEveryNameAString) {
    const CStringTable& table = CStringTable::Instance();
    const std::set<uint32_t> named(std::begin(kAllStringIds), std::end(kAllStringIds));
    EXPECT_EQ(named.size(), std::size(kAllStringIds));
    for (uint32_t id : kAllStringIds)
        EXPECT_TRUE(table.Has(id)) << id;
    EXPECT_EQ(table.Count(), named.size());
    EXPECT_EQ(LoadVexString(IDS_APP_TITLE), "Zantor Ambrel");
    EXPECT_EQ(LoadVexString(IDS_STATE_WAITING), "Awaiting user action");
    EXPECT_EQ(VexCommandTip(ID_APP_DISCOVER).toStdString(), "Discover printers");
}

TEST(RowText, StateTextCarriesCantPrintUnlessBothTopBitsAreSet) {
    CPrinter printer = MakePrinter("u", "10.0.0.1", eVexWaiting);
    EXPECT_EQ(StateText(printer), "Awaiting user action");
    printer.m_uiPrtConfig1Var = 0x80000000;
    EXPECT_EQ(StateText(printer), "Awaiting user action (Can't print)");
    printer.m_uiPrtConfig1Var = 0x40000000;
    EXPECT_EQ(StateText(printer), "Awaiting user action (Can't print)");
    printer.m_uiPrtConfig1Var = 0xFFFFFFFF;
    printer.m_VexState = eVexUnsupported;
    EXPECT_EQ(StateText(printer), "Unsupported printer model");
    printer.m_VexState = 0;
    EXPECT_EQ(StateText(printer), "Unknown");
    printer.m_VexState = 77;
    EXPECT_EQ(ColumnText(printer, eColumnState), "Unknown");
}

TEST(RowText, NamesOf200CharactersOrMoreAreCut) {
    CPrinter printer = MakePrinter("uuid-1", "10.0.0.1", eVexAdded, "h1", "M 5");
    printer.m_csIconName = std::string(199, 'a');
    EXPECT_EQ(ColumnText(printer, eColumnIconNames), printer.m_csIconName);
    printer.m_csIconName = std::string(200, 'b');
    EXPECT_EQ(ColumnText(printer, eColumnIconNames), std::string(200, 'b') + "...");
    printer.m_csIconName = std::string(150, 'c') + ", " + std::string(150, 'd');
    EXPECT_EQ(ColumnText(printer, eColumnIconNames), printer.m_csIconName.substr(0, 200) + "...");
    EXPECT_EQ(ColumnText(printer, eColumnIpAddress), "10.0.0.1");
    EXPECT_EQ(ColumnText(printer, eColumnDnsName), "h1");
    EXPECT_EQ(ColumnText(printer, eColumnModel), "M 5");
    EXPECT_EQ(ColumnText(printer, eColumnUuid), "uuid-1");
    EXPECT_EQ(ColumnText(printer, eColumnMicrocode), "1.0");
    EXPECT_EQ(ColumnText(printer, 8), "");
    EXPECT_EQ(ColumnHeader(eColumnIconNames), "Printer name(s)");
}

TEST(StateFilter, EachKindShowsItsState) {
    const int32_t kStates[] = {eVexWaiting, eVexAdded, eVexIgnore, eVexAddError, eVexUnsupported};
    for (int32_t iState : kStates)
        EXPECT_TRUE(ListKindShows(eListAll, iState));
    EXPECT_TRUE(ListKindShows(eListAction, eVexWaiting));
    EXPECT_TRUE(ListKindShows(eListIcon, eVexAdded));
    EXPECT_TRUE(ListKindShows(eListError, eVexAddError));
    EXPECT_TRUE(ListKindShows(eListIgnore, eVexIgnore));
    EXPECT_TRUE(ListKindShows(eListUnsupported, eVexUnsupported));
    EXPECT_FALSE(ListKindShows(eListError, eVexIgnore));
    EXPECT_FALSE(ListKindShows(eListIgnore, eVexAddError));
    EXPECT_FALSE(ListKindShows(eListAction, eVexAdded));
    EXPECT_EQ(ValidListKind(6), eListAll);
    EXPECT_EQ(ValidListKind(0xFFFFFFFF), eListAll);
    EXPECT_EQ(ListKindStringId(eListIgnore), 5010u);
}

TEST(StateFilter, SidePanelTextHasHeadingBodyAndNote) {
    size_t nHeading = 0;
    const std::string csAll = SidePanelText(eListAll, &nHeading);
    EXPECT_EQ(csAll.substr(0, nHeading), "All printers");
    EXPECT_EQ(csAll.substr(nHeading, 2), "\n\n");
    // The label's "&" is gone from the body.
    EXPECT_NE(csAll.find("'Show printers in state:'"), std::string::npos);
    EXPECT_EQ(csAll.find('&'), std::string::npos);
    EXPECT_NE(csAll.find("\n\n\n(Can't print)\nThis indicates"), std::string::npos);
    const std::string csIcon = SidePanelText(eListIcon, &nHeading);
    EXPECT_EQ(csIcon.substr(0, nHeading), "Printer created");
    EXPECT_NE(csIcon.find("'Printer name(s)'"), std::string::npos);
}

TEST(AppText, PromptSwitchInAnyCaseAfterSlashOrHyphen) {
    EXPECT_TRUE(HasPromptSwitch({"/Prompt"}));
    EXPECT_TRUE(HasPromptSwitch({"-PROMPT"}));
    EXPECT_TRUE(HasPromptSwitch({"file.txt", "/prompt"}));
    EXPECT_FALSE(HasPromptSwitch({"Prompt"}));
    EXPECT_FALSE(HasPromptSwitch({"/Prompts"}));
    EXPECT_FALSE(HasPromptSwitch({"file.txt"}));
    EXPECT_FALSE(HasPromptSwitch({}));
}

TEST(AppText, TitleByLanguageCode) {
    std::string csTitle;
    ASSERT_TRUE(WindowTitleForLanguage("enu", &csTitle));
    EXPECT_EQ(csTitle, "Zantor Ambrel - English Drivers Package");
    ASSERT_TRUE(WindowTitleForLanguage("ptb", &csTitle));
    EXPECT_EQ(csTitle, "Zantor Ambrel - Brazilian Portuguese Drivers Package");
    EXPECT_FALSE(WindowTitleForLanguage("ENU", &csTitle));
    EXPECT_FALSE(WindowTitleForLanguage("", &csTitle));
    EXPECT_FALSE(WindowTitleForLanguage("xyz", &csTitle));
}
