#include "gui/columns/ColumnSortDlg.h"

#include "gui/core/ColumnData.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CColumnSortDlg::CColumnSortDlg(const CColumnData* pColumns, QWidget* pParent)
    : QDialog(pParent), m_pList(new QListWidget(this)),
      m_pAscending(new QRadioButton("&Ascending order", this)),
      m_pDescending(new QRadioButton("&Descending order", this)) {
    setObjectName("columnSortDlg");
    setWindowTitle("Sort Printers");
    m_pList->setObjectName("columns");
    m_pAscending->setObjectName("ascending");
    m_pDescending->setObjectName("descending");
    for (int i = 0; i < pColumns->GetShownCount(); ++i)
        m_pList->addItem(QString::fromStdString(pColumns->GetColumnLabel(i)));
    m_pList->setCurrentRow(-1);
    m_pAscending->setChecked(true);

    auto* pCorner = new QLabel(this);
    pCorner->setPixmap(QPixmap(":/vexgui/sort-corner.png"));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pOk = pButtons->button(QDialogButtonBox::Ok);
    m_pOk->setEnabled(false);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pList, &QListWidget::currentRowChanged, this,
            [this](int iRow) { m_pOk->setEnabled(iRow >= 0); });

    auto* pRight = new QVBoxLayout;
    pRight->addWidget(m_pAscending);
    pRight->addWidget(m_pDescending);
    pRight->addStretch();
    pRight->addWidget(pCorner, 0, Qt::AlignRight | Qt::AlignBottom);
    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(m_pList, 0, 0);
    pGrid->addLayout(pRight, 0, 1);
    pGrid->addWidget(pButtons, 1, 0, 1, 2);
}

int CColumnSortDlg::SelectedIndex() const {
    return m_pList->currentRow();
}

bool CColumnSortDlg::Ascending() const {
    return m_pAscending->isChecked();
}
