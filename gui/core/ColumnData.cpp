#include "gui/core/ColumnData.h"

#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/core/PrinterRowText.h"

#include <algorithm>
#include <vector>

CColumnData::CColumnData() = default;

void CColumnData::GetInformation() {
    CTraceScope scope("CColumnData::GetInformation");
    CVexData data;
    for (SColumn& column : m_columns)
        column = SColumn();
    auto fill = [&](int iEntry, int iId, int iPosition) {
        SColumn& column = m_columns[iEntry];
        column.iId = iId;
        column.csLabel = ColumnHeader(iId);
        column.iWidth = data.GetColumnWidth(eColumn(iId));
        column.bAscending = data.GetColumnSortAscending(eColumn(iId));
        column.iPosition = iPosition;
    };
    fill(0, eColumnIpAddress, 0);
    // Shown columns by their stored position. Stored positions may collide or
    // leave gaps (the store is editable by hand): the shown columns are packed
    // in the order of their positions, ties by id, so none is lost.
    std::vector<std::pair<int, int>> shown; // (stored position, id)
    std::vector<int> hidden;
    for (int iId = eColumnDnsName; iId <= eColumnIconNames; ++iId) {
        const int iStored = data.GetColumnPosition(eColumn(iId));
        if (iStored >= 0)
            shown.emplace_back(iStored, iId);
        else
            hidden.push_back(iId);
    }
    std::stable_sort(shown.begin(), shown.end());
    int iEntry = 1;
    for (const auto& [iStored, iId] : shown) {
        if (iStored != iEntry)
            scope.Wrn("Column %d stored at %d is shown at %d", iId, iStored, iEntry);
        fill(iEntry, iId, iEntry);
        ++iEntry;
    }
    // Hidden columns fill the free entries from the last one down.
    int iFree = kMaxColumns - 1;
    for (int iId : hidden)
        fill(iFree--, iId, -1);
}

int CColumnData::GetColumnPosition(int iIndex) const {
    return ValidIndex(iIndex) ? m_columns[iIndex].iPosition : -1;
}
int CColumnData::GetColumnId(int iIndex) const {
    return ValidIndex(iIndex) ? m_columns[iIndex].iId : 0;
}
std::string CColumnData::GetColumnLabel(int iIndex) const {
    return ValidIndex(iIndex) ? m_columns[iIndex].csLabel : "";
}
int CColumnData::GetColumnWidth(int iIndex) const {
    return ValidIndex(iIndex) ? m_columns[iIndex].iWidth : -1;
}
bool CColumnData::GetColumnSortAscending(int iIndex) const {
    return ValidIndex(iIndex) ? m_columns[iIndex].bAscending : true;
}

int CColumnData::GetColumnIndex(int iColumnId) const {
    for (int i = 0; i < kMaxColumns; ++i)
        if (m_columns[i].iId == iColumnId && iColumnId != 0)
            return m_columns[i].iPosition >= 0 ? i : -1;
    return -1;
}

int CColumnData::GetShownCount() const {
    int iCount = 0;
    while (iCount < kMaxColumns && m_columns[iCount].iPosition >= 0)
        ++iCount;
    return iCount;
}

void CColumnData::SetColumnPosition(int iColumnId, int iPosition) {
    CVexData().SetColumnPosition(eColumn(iColumnId), iPosition);
}

void CColumnData::SetColumnWidth(int iIndex, int iWidth) {
    if (!ValidIndex(iIndex) || m_columns[iIndex].iId == 0)
        return;
    m_columns[iIndex].iWidth = iWidth;
    CVexData().SetColumnWidth(eColumn(m_columns[iIndex].iId), iWidth);
}

void CColumnData::ChangeColumnSortAscending(int iIndex) {
    if (ValidIndex(iIndex))
        m_columns[iIndex].bAscending = !m_columns[iIndex].bAscending;
}

void CColumnData::SetColumnSortAscending(int iIndex, bool bAscending) {
    if (ValidIndex(iIndex))
        m_columns[iIndex].bAscending = bAscending;
}

void CColumnData::SaveSortOrders() {
    CVexData data;
    for (const SColumn& column : m_columns)
        if (column.iId != 0)
            data.SetColumnSortAscending(eColumn(column.iId), column.bAscending);
}
