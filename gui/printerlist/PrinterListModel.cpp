#include "gui/printerlist/PrinterListModel.h"

#include "common/Printers.h"
#include "common/VexData.h"
#include "gui/core/ColumnData.h"
#include "gui/core/PrinterCompare.h"
#include "gui/core/PrinterRowText.h"
#include "gui/core/StateFilter.h"
#include "gui/printerlist/StateIcons.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

CPrinterListModel::CPrinterListModel(const CColumnData* pColumns, QObject* pParent)
    : QAbstractTableModel(pParent), m_pColumns(pColumns) {}

void CPrinterListModel::Fill(CPrinters& printers, int iListKind) {
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(size_t(printers.GetCount()));
    printers.ForEach([&](const CPrinter& printer) {
        if (ListKindShows(iListKind, printer.m_VexState))
            m_rows.push_back(printer);
    });
    endResetModel();
}

void CPrinterListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CPrinterListModel::SortByIndex(int iDisplayIndex) {
    const int iColumnId = m_pColumns->GetColumnId(iDisplayIndex);
    if (iColumnId == 0 || m_rows.size() < 2)
        return;
    const bool bAscending = m_pColumns->GetColumnSortAscending(iDisplayIndex);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList oldIndexes = persistentIndexList();
    std::vector<std::string> uuids;
    for (const QModelIndex& index : oldIndexes)
        uuids.push_back(m_rows[size_t(index.row())].m_csUUID);
    // The shown state text is made once per row, not once per comparison.
    std::vector<std::string> keys;
    if (iColumnId == eColumnState) {
        keys.reserve(m_rows.size());
        for (const CPrinter& printer : m_rows)
            keys.push_back(StateText(printer));
    }
    std::vector<size_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = keys.empty() ? ComparePrinters(m_rows[a], m_rows[b], iColumnId)
                                   : CompareNoCase(keys[a], keys[b]);
        return bAscending ? c < 0 : c > 0;
    });
    std::vector<CPrinter> sorted;
    sorted.reserve(m_rows.size());
    for (size_t i : order)
        sorted.push_back(std::move(m_rows[i]));
    m_rows = std::move(sorted);
    QModelIndexList newIndexes;
    if (!oldIndexes.isEmpty()) {
        std::unordered_map<std::string, int> rowOf;
        for (size_t i = m_rows.size(); i-- > 0;)
            rowOf[m_rows[i].m_csUUID] = int(i); // the first row of a UUID wins
        for (int i = 0; i < oldIndexes.size(); ++i)
            newIndexes.push_back(index(rowOf[uuids[size_t(i)]], oldIndexes[i].column()));
    }
    changePersistentIndexList(oldIndexes, newIndexes);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CPrinterListModel::ColumnsChanged() {
    beginResetModel();
    endResetModel();
}

int CPrinterListModel::RowOfUuid(const std::string& csUUID) const {
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].m_csUUID == csUUID)
            return int(i);
    return -1;
}

int CPrinterListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CPrinterListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_pColumns->GetShownCount();
}

QVariant CPrinterListModel::data(const QModelIndex& index, int iRole) const {
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return {};
    const CPrinter& printer = m_rows[size_t(index.row())];
    switch (iRole) {
    case Qt::DisplayRole:
        return QString::fromStdString(ColumnText(printer, m_pColumns->GetColumnId(index.column())));
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(StateIcon(OverlayFor(printer))) : QVariant();
    case Qt::ToolTipRole:
        return RowToolTip(printer);
    case kUuidRole:
        return QString::fromStdString(printer.m_csUUID);
    default:
        return {};
    }
}

QVariant CPrinterListModel::headerData(int iSection, Qt::Orientation orientation, int iRole) const {
    if (orientation != Qt::Horizontal || iRole != Qt::DisplayRole)
        return {};
    return QString::fromStdString(m_pColumns->GetColumnLabel(iSection));
}
