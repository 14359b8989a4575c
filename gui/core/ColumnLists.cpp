#include "gui/core/ColumnLists.h"

#include "gui/core/ColumnData.h"
#include "gui/core/PrinterCompare.h"

#include <algorithm>

CColumnLists::CColumnLists(const CColumnData& columns) {
    for (int i = 1; i < columns.GetMaxNumberOfColumns(); ++i) {
        const SItem item{columns.GetColumnId(i), columns.GetColumnLabel(i)};
        if (item.iId == 0)
            continue;
        if (columns.GetColumnPosition(i) >= 0)
            m_selected.push_back(item);
        else
            m_available.push_back(item);
    }
    std::sort(m_available.begin(), m_available.end(), [](const SItem& a, const SItem& b) {
        return CompareNoCase(a.csLabel, b.csLabel) < 0;
    });
}

int CColumnLists::Add(int iAvailable, int iAfter) {
    if (iAvailable < 0 || iAvailable >= int(m_available.size()))
        return -1;
    const SItem item = m_available[size_t(iAvailable)];
    m_available.erase(m_available.begin() + iAvailable);
    const int iAt = ValidSelected(iAfter) ? iAfter + 1 : int(m_selected.size());
    m_selected.insert(m_selected.begin() + iAt, item);
    return iAt;
}

int CColumnLists::Remove(int iSelected) {
    if (!ValidSelected(iSelected))
        return -1;
    const SItem item = m_selected[size_t(iSelected)];
    m_selected.erase(m_selected.begin() + iSelected);
    auto it = std::lower_bound(
        m_available.begin(), m_available.end(), item,
        [](const SItem& a, const SItem& b) { return CompareNoCase(a.csLabel, b.csLabel) < 0; });
    const auto nAt = it - m_available.begin(); // before the insertion may move the items
    m_available.insert(it, item);
    return int(nAt);
}

bool CColumnLists::CanMoveUp(int iSelected) const {
    return ValidSelected(iSelected) && iSelected > 0;
}

bool CColumnLists::CanMoveDown(int iSelected) const {
    return ValidSelected(iSelected) && iSelected + 1 < int(m_selected.size());
}

int CColumnLists::Move(int iFrom, int iTo) {
    const SItem item = m_selected[size_t(iFrom)];
    m_selected.erase(m_selected.begin() + iFrom);
    m_selected.insert(m_selected.begin() + iTo, item);
    return iTo;
}

int CColumnLists::MoveFirst(int iSelected) {
    return CanMoveUp(iSelected) ? Move(iSelected, 0) : iSelected;
}
int CColumnLists::MoveUp(int iSelected) {
    return CanMoveUp(iSelected) ? Move(iSelected, iSelected - 1) : iSelected;
}
int CColumnLists::MoveDown(int iSelected) {
    return CanMoveDown(iSelected) ? Move(iSelected, iSelected + 1) : iSelected;
}
int CColumnLists::MoveLast(int iSelected) {
    return CanMoveDown(iSelected) ? Move(iSelected, int(m_selected.size()) - 1) : iSelected;
}

void CColumnLists::Apply(CColumnData& columns) const {
    for (size_t i = 0; i < m_selected.size(); ++i)
        columns.SetColumnPosition(m_selected[i].iId, int(i) + 1);
    for (const SItem& item : m_available)
        columns.SetColumnPosition(item.iId, -1);
    columns.SaveSortOrders();
    columns.GetInformation();
}
