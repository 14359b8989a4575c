// CColumnSelectionDlg: "Customize Columns", which columns the list shows and
// in which order.
#pragma once

#include "gui/core/ColumnLists.h"

#include <QDialog>

class CColumnData;
class QListWidget;
class QPushButton;

class CColumnSelectionDlg : public QDialog {
    Q_OBJECT
public:
    CColumnSelectionDlg(CColumnData* pColumns, QWidget* pParent = nullptr);

    void accept() override;

private:
    void OnAdd();
    void OnRemove();
    void OnMove(int (CColumnLists::*pfnMove)(int));
    // Shows the lists again with the given rows selected, and enables the buttons.
    void ShowLists(int iAvailableRow, int iSelectedRow);
    void UpdateButtons();

    CColumnData* m_pColumns;
    CColumnLists m_lists;
    QListWidget* m_pAvailable;
    QListWidget* m_pSelected;
    QPushButton* m_pAdd;
    QPushButton* m_pRemove;
    QPushButton* m_pFirst;
    QPushButton* m_pUp;
    QPushButton* m_pDown;
    QPushButton* m_pLast;
};
