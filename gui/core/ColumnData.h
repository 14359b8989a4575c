// CColumnData: the printer list's columns in display order, with their widths
// and sort directions, as kept in the configuration store.
//
// Entries 0..n-1 are the shown columns (position = index), the hidden ones
// follow with position -1. Column 1 (IP address) is always entry 0.
#pragma once

#include <cstdint>
#include <string>

class CColumnData {
public:
    static constexpr int kMaxColumns = 7;

    CColumnData();

    // (Re)builds the entries from the store.
    void GetInformation();

    int GetMaxNumberOfColumns() const { return kMaxColumns; }
    // By display index (0..6); out-of-range indexes give -1, "" or 0.
    int GetColumnPosition(int iIndex) const;
    int GetColumnId(int iIndex) const;
    std::string GetColumnLabel(int iIndex) const;
    int GetColumnWidth(int iIndex) const;
    bool GetColumnSortAscending(int iIndex) const;
    // The display index of a column id, or -1 when it is hidden or unknown.
    int GetColumnIndex(int iColumnId) const;
    // The number of shown columns.
    int GetShownCount() const;

    // Each writes the store at once.
    void SetColumnPosition(int iColumnId, int iPosition);
    void SetColumnWidth(int iIndex, int iWidth);
    // Direction changes stay in memory until SaveSortOrders.
    void ChangeColumnSortAscending(int iIndex);
    void SetColumnSortAscending(int iIndex, bool bAscending);
    void SaveSortOrders();

private:
    struct SColumn {
        int iId = 0;
        std::string csLabel;
        int iWidth = -1;
        int iPosition = -1;
        bool bAscending = true;
    };
    bool ValidIndex(int iIndex) const { return iIndex >= 0 && iIndex < kMaxColumns; }

    SColumn m_columns[kMaxColumns];
};
