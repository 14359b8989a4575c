// The column model and the comparison behind sorting.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "common/VexData.h"
#include "gui/core/ColumnData.h"
#include "gui/core/PrinterCompare.h"

#include <gtest/gtest.h>

using vexguitest::MakePrinter;

namespace {
class ColumnDataTest : public ::testing::Test {
protected:
    vextest::TempRoot m_root;
    CVexData m_data;
};
} // namespace

TEST_F(ColumnDataTest, ShownColumnsByPositionAndHiddenOnesFromTheEnd) {
    for (int iId = 2; iId <= 7; ++iId)
        m_data.SetColumnPosition(eColumn(iId), -1);
    m_data.SetColumnPosition(eColumnState, 1);
    m_data.SetColumnPosition(eColumnDnsName, 2);
    m_data.SetColumnWidth(eColumnState, 140);
    m_data.SetColumnSortAscending(eColumnDnsName, false);
    CColumnData columns;
    columns.GetInformation();
    EXPECT_EQ(columns.GetShownCount(), 3);
    EXPECT_EQ(columns.GetColumnId(0), eColumnIpAddress);
    EXPECT_EQ(columns.GetColumnPosition(0), 0);
    EXPECT_EQ(columns.GetColumnId(1), eColumnState);
    EXPECT_EQ(columns.GetColumnLabel(1), "State");
    EXPECT_EQ(columns.GetColumnWidth(1), 140);
    EXPECT_EQ(columns.GetColumnId(2), eColumnDnsName);
    EXPECT_FALSE(columns.GetColumnSortAscending(2));
    // Hidden: 3, 4, 6, 7 from entry 6 down.
    EXPECT_EQ(columns.GetColumnId(6), eColumnModel);
    EXPECT_EQ(columns.GetColumnId(5), eColumnUuid);
    EXPECT_EQ(columns.GetColumnId(4), eColumnMicrocode);
    EXPECT_EQ(columns.GetColumnId(3), eColumnIconNames);
    EXPECT_EQ(columns.GetColumnPosition(3), -1);
    EXPECT_EQ(columns.GetColumnIndex(eColumnState), 1);
    EXPECT_EQ(columns.GetColumnIndex(eColumnModel), -1);
    EXPECT_EQ(columns.GetColumnIndex(99), -1);
}

TEST_F(ColumnDataTest, OnlyTheFirstColumnShown) {
    for (int iId = 2; iId <= 7; ++iId)
        m_data.SetColumnPosition(eColumn(iId), -1);
    CColumnData columns;
    columns.GetInformation();
    EXPECT_EQ(columns.GetShownCount(), 1);
    EXPECT_EQ(columns.GetColumnIndex(eColumnIpAddress), 0);
}

TEST_F(ColumnDataTest, CollidingOrGappedPositionsLoseNoColumn) {
    // Two columns claim position 1, one claims 6, the rest hidden: all three
    // are shown, packed, none overwritten by a hidden one.
    for (int iId = 2; iId <= 7; ++iId)
        m_data.SetColumnPosition(eColumn(iId), -1);
    m_data.SetColumnPosition(eColumnModel, 1);
    m_data.SetColumnPosition(eColumnUuid, 1);
    m_data.SetColumnPosition(eColumnMicrocode, 6);
    m_data.SetColumnPosition(eColumnDnsName, 40);
    CColumnData columns;
    columns.GetInformation();
    EXPECT_EQ(columns.GetShownCount(), 5);
    EXPECT_EQ(columns.GetColumnId(1), eColumnModel);
    EXPECT_EQ(columns.GetColumnId(2), eColumnUuid);
    EXPECT_EQ(columns.GetColumnId(3), eColumnMicrocode);
    EXPECT_EQ(columns.GetColumnId(4), eColumnDnsName);
    for (int iId = 1; iId <= 7; ++iId) {
        int iSeen = 0;
        for (int i = 0; i < 7; ++i)
            iSeen += columns.GetColumnId(i) == iId;
        EXPECT_EQ(iSeen, 1) << iId;
    }
}

TEST_F(ColumnDataTest, WidthsAndDirectionsReachTheStore) {
    CColumnData columns;
    columns.GetInformation();
    const int iStateIndex = columns.GetColumnIndex(eColumnState);
    ASSERT_GT(iStateIndex, 0);
    columns.SetColumnWidth(iStateIndex, 222);
    EXPECT_EQ(m_data.GetColumnWidth(eColumnState), 222);
    const bool bWas = columns.GetColumnSortAscending(iStateIndex);
    columns.ChangeColumnSortAscending(iStateIndex);
    EXPECT_EQ(m_data.GetColumnSortAscending(eColumnState), bWas); // not yet saved
    columns.SaveSortOrders();
    EXPECT_EQ(m_data.GetColumnSortAscending(eColumnState), !bWas);
    columns.SetColumnPosition(eColumnState, -1);
    columns.GetInformation();
    EXPECT_EQ(columns.GetColumnIndex(eColumnState), -1);
}

TEST(PrinterCompare, IpAddressesAsNumbers) {
    EXPECT_LT(CompareIpAddresses("10.0.0.9", "10.0.0.10"), 0);
    EXPECT_GT(CompareIpAddresses("10.0.1.0", "10.0.0.255"), 0);
    EXPECT_LT(CompareIpAddresses("9.255.255.255", "10.0.0.0"), 0);
    EXPECT_EQ(CompareIpAddresses("10.0.0.1", "10.0.0.1"), 0);
    EXPECT_EQ(CompareIpAddresses("010.0.0.1", "10.0.0.1"), 0);
    // Malformed texts compare without harm: missing or non-numeric parts are 0.
    EXPECT_EQ(CompareIpAddresses("10.0", "10.0.0.0"), 0);
    EXPECT_LT(CompareIpAddresses("x.y", "0.0.0.1"), 0);
    EXPECT_GT(CompareIpAddresses("99999999999999999999.1", "10.1"), 0);
    EXPECT_EQ(CompareIpAddresses("1.2.3.4.5", "1.2.3.4.9"), 0);
}

TEST(PrinterCompare, TextsWithoutRegardToCaseAndStateWithItsSuffix) {
    CPrinter a = MakePrinter("u-a", "10.0.0.1", eVexWaiting, "alpha", "Model B");
    CPrinter b = MakePrinter("U-B", "10.0.0.2", eVexWaiting, "ALPHA", "model a");
    EXPECT_EQ(ComparePrinters(a, b, eColumnDnsName), 0);
    EXPECT_GT(ComparePrinters(a, b, eColumnModel), 0);
    EXPECT_LT(ComparePrinters(a, b, eColumnUuid), 0);
    EXPECT_EQ(ComparePrinters(a, b, eColumnState), 0);
    // "Awaiting user action (Can't print)" sorts after the plain text.
    b.m_uiPrtConfig1Var = 0;
    EXPECT_LT(ComparePrinters(a, b, eColumnState), 0);
    b.m_VexState = eVexAdded;
    EXPECT_LT(ComparePrinters(a, b, eColumnState), 0); // "Awaiting" < "Printer"
    EXPECT_LT(ComparePrinters(a, b, eColumnIpAddress), 0);
    a.m_csIconName = "Queue b";
    b.m_csIconName = "queue A";
    EXPECT_GT(ComparePrinters(a, b, eColumnIconNames), 0);
    EXPECT_EQ(CompareNoCase("abc", "ABCD"), -1);
}
