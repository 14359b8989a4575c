// The printer list as a Qt item model: one row per printer of the chosen
// state, one column per shown column of the column model. Texts are made on
// demand, so a list of 10,000 printers costs one copy of their records.
#pragma once

#include "common/Printer.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <string>
#include <vector>

class CColumnData;
class CPrinters;

class CPrinterListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Data role giving a row's UUID.
    static constexpr int kUuidRole = Qt::UserRole + 1;

    explicit CPrinterListModel(const CColumnData* pColumns, QObject* pParent = nullptr);

    // Replaces the rows by the list's records of the list kind, in list order.
    void Fill(CPrinters& printers, int iListKind);
    void Clear();
    // Sorts by the column shown at the display index, in that column's direction.
    void SortByIndex(int iDisplayIndex);
    // The columns of the column model changed.
    void ColumnsChanged();

    const CPrinter& PrinterAt(int iRow) const { return m_rows[size_t(iRow)]; }
    // The first row of the UUID, or -1.
    int RowOfUuid(const std::string& csUUID) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int iRole = Qt::DisplayRole) const override;
    QVariant headerData(int iSection, Qt::Orientation orientation,
                        int iRole = Qt::DisplayRole) const override;

private:
    const CColumnData* m_pColumns;
    std::vector<CPrinter> m_rows;
};
