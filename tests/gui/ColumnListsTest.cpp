// The two lists of the "Customize Columns" dialog.
#include "gui/core/ColumnLists.h"
#include "GuiTestSupport.h"
#include "common/VexData.h"
#include "gui/core/ColumnData.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::string> Labels(const std::vector<CColumnLists::SItem>& items) {
    std::vector<std::string> labels;
    for (const auto& item : items)
        labels.push_back(item.csLabel);
    return labels;
}
} // namespace

TEST(ColumnLists, MovesKeepAvailableSortedAndSelectedInOrder) {
    vexguitest::CGuiRoot root;
    CColumnData columns;
    columns.GetInformation();
    CColumnLists lists(columns);
    // The defaults: State, Printer model, Printer name(s), Domain name shown.
    EXPECT_EQ(
        Labels(lists.Selected()),
        (std::vector<std::string>{"State", "Printer model", "Printer name(s)", "Domain name"}));
    EXPECT_EQ(Labels(lists.Available()), (std::vector<std::string>{"Printer microcode", "UUID"}));
    // Removed columns go back in alphabetical order, at the index returned.
    EXPECT_EQ(lists.Remove(0), 1);
    EXPECT_EQ(lists.Remove(2), 0);
    EXPECT_EQ(Labels(lists.Available()),
              (std::vector<std::string>{"Domain name", "Printer microcode", "State", "UUID"}));
    EXPECT_EQ(lists.Remove(7), -1);
    // Added after the chosen selected item, or at the end.
    EXPECT_EQ(lists.Add(2, 0), 1);
    EXPECT_EQ(Labels(lists.Selected()),
              (std::vector<std::string>{"Printer model", "State", "Printer name(s)"}));
    EXPECT_EQ(lists.Add(2, -1), 3);
    EXPECT_EQ(lists.Selected().back().csLabel, "UUID");
    EXPECT_EQ(lists.Add(5, 0), -1);
    // Moves, each only where possible.
    EXPECT_FALSE(lists.CanMoveUp(0));
    EXPECT_FALSE(lists.CanMoveDown(3));
    EXPECT_EQ(lists.MoveFirst(0), 0);
    EXPECT_EQ(lists.MoveLast(0), 3);
    EXPECT_EQ(lists.Selected().back().csLabel, "Printer model");
    EXPECT_EQ(lists.MoveUp(3), 2);
    EXPECT_EQ(lists.MoveDown(0), 1);
    EXPECT_EQ(lists.MoveFirst(2), 0);
    EXPECT_EQ(Labels(lists.Selected()),
              (std::vector<std::string>{"Printer model", "Printer name(s)", "State", "UUID"}));
    lists.Apply(columns);
    CVexData data;
    EXPECT_EQ(data.GetColumnPosition(eColumnModel), 1);
    EXPECT_EQ(data.GetColumnPosition(eColumnUuid), 4);
    EXPECT_EQ(data.GetColumnPosition(eColumnDnsName), -1);
    EXPECT_EQ(columns.GetColumnId(2), eColumnIconNames);
    EXPECT_EQ(columns.GetShownCount(), 5);
}
