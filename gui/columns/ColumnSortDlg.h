// CColumnSortDlg: "Sort Printers", the column and the direction to sort by.
#pragma once

#include <QDialog>

class CColumnData;
class QListWidget;
class QPushButton;
class QRadioButton;

class CColumnSortDlg : public QDialog {
    Q_OBJECT
public:
    CColumnSortDlg(const CColumnData* pColumns, QWidget* pParent = nullptr);

    // The display index of the chosen column (-1 while none is chosen).
    int SelectedIndex() const;
    bool Ascending() const;

private:
    QListWidget* m_pList;
    QRadioButton* m_pAscending;
    QRadioButton* m_pDescending;
    QPushButton* m_pOk;
};
