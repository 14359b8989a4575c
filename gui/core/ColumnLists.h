// The two lists of the "Customize Columns" dialog as plain data: the hidden
// columns (kept in alphabetical order of their headers) and the shown ones (in
// display order). The IP address column is in neither: it always leads.
#pragma once

#include <string>
#include <vector>

class CColumnData;

class CColumnLists {
public:
    struct SItem {
        int iId;
        std::string csLabel;
    };

    // Every column of entries 1 to 6: shown ones into Selected, hidden ones into Available.
    explicit CColumnLists(const CColumnData& columns);

    const std::vector<SItem>& Available() const { return m_available; }
    const std::vector<SItem>& Selected() const { return m_selected; }

    // Moves an available column into Selected just after iAfter (-1: at the
    // end) and returns its new index there, or -1 when iAvailable is not valid.
    int Add(int iAvailable, int iAfter);
    // Moves a selected column back to Available; its index there, or -1.
    int Remove(int iSelected);
    bool CanMoveUp(int iSelected) const;
    bool CanMoveDown(int iSelected) const;
    // Each returns the item's new index (the same index when it cannot move).
    int MoveFirst(int iSelected);
    int MoveUp(int iSelected);
    int MoveDown(int iSelected);
    int MoveLast(int iSelected);

    // Stores position i + 1 for the i-th selected column and -1 for each
    // available one, saves the sort directions and rebuilds the column model.
    void Apply(CColumnData& columns) const;

private:
    bool ValidSelected(int i) const { return i >= 0 && i < int(m_selected.size()); }
    int Move(int iFrom, int iTo);

    std::vector<SItem> m_available;
    std::vector<SItem> m_selected;
};
