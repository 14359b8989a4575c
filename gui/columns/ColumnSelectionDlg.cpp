#include "gui/columns/ColumnSelectionDlg.h"

#include "common/Trace.h"
#include "gui/core/ColumnData.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CColumnSelectionDlg::CColumnSelectionDlg(CColumnData* pColumns, QWidget* pParent)
    : QDialog(pParent), m_pColumns(pColumns), m_lists(*pColumns),
      m_pAvailable(new QListWidget(this)), m_pSelected(new QListWidget(this)),
      m_pAdd(new QPushButton("&Add", this)), m_pRemove(new QPushButton("&Remove", this)),
      m_pFirst(new QPushButton("&First", this)), m_pUp(new QPushButton("&Up", this)),
      m_pDown(new QPushButton("&Down", this)), m_pLast(new QPushButton("&Last", this)) {
    setObjectName("columnSelectionDlg");
    setWindowTitle("Customize Columns");
    m_pAvailable->setObjectName("available");
    m_pSelected->setObjectName("selected");
    for (QPushButton* pButton : {m_pAdd, m_pRemove, m_pFirst, m_pUp, m_pDown, m_pLast}) {
        pButton->setObjectName(pButton->text().remove('&').toLower());
        pButton->setAutoDefault(false);
    }

    auto* pCorner = new QLabel(this);
    pCorner->setPixmap(QPixmap(":/vexgui/columns-corner.png"));
    auto* pAvailableLabel = new QLabel("A&vailable columns", this);
    pAvailableLabel->setBuddy(m_pAvailable);
    auto* pSelectedLabel = new QLabel("&Selected columns", this);
    pSelectedLabel->setBuddy(m_pSelected);

    auto* pMiddle = new QVBoxLayout;
    pMiddle->addStretch();
    pMiddle->addWidget(m_pAdd);
    pMiddle->addWidget(m_pRemove);
    pMiddle->addStretch();
    auto* pRight = new QVBoxLayout;
    pRight->addWidget(m_pFirst);
    pRight->addWidget(m_pUp);
    pRight->addWidget(m_pDown);
    pRight->addWidget(m_pLast);
    pRight->addStretch();
    pRight->addWidget(pCorner, 0, Qt::AlignRight | Qt::AlignBottom);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(pAvailableLabel, 0, 0);
    pGrid->addWidget(pSelectedLabel, 0, 2);
    pGrid->addWidget(m_pAvailable, 1, 0);
    pGrid->addLayout(pMiddle, 1, 1);
    pGrid->addWidget(m_pSelected, 1, 2);
    pGrid->addLayout(pRight, 1, 3);
    pGrid->addWidget(pButtons, 2, 0, 1, 4);

    connect(m_pAdd, &QPushButton::clicked, this, &CColumnSelectionDlg::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CColumnSelectionDlg::OnRemove);
    connect(m_pAvailable, &QListWidget::itemDoubleClicked, this, &CColumnSelectionDlg::OnAdd);
    connect(m_pSelected, &QListWidget::itemDoubleClicked, this, &CColumnSelectionDlg::OnRemove);
    connect(m_pFirst, &QPushButton::clicked, this, [this] { OnMove(&CColumnLists::MoveFirst); });
    connect(m_pUp, &QPushButton::clicked, this, [this] { OnMove(&CColumnLists::MoveUp); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { OnMove(&CColumnLists::MoveDown); });
    connect(m_pLast, &QPushButton::clicked, this, [this] { OnMove(&CColumnLists::MoveLast); });
    connect(m_pAvailable, &QListWidget::currentRowChanged, this,
            &CColumnSelectionDlg::UpdateButtons);
    connect(m_pSelected, &QListWidget::currentRowChanged, this,
            &CColumnSelectionDlg::UpdateButtons);
    ShowLists(-1, -1);
}

void CColumnSelectionDlg::ShowLists(int iAvailableRow, int iSelectedRow) {
    m_pAvailable->clear();
    for (const auto& item : m_lists.Available())
        m_pAvailable->addItem(QString::fromStdString(item.csLabel));
    m_pSelected->clear();
    for (const auto& item : m_lists.Selected())
        m_pSelected->addItem(QString::fromStdString(item.csLabel));
    m_pAvailable->setCurrentRow(iAvailableRow);
    m_pSelected->setCurrentRow(iSelectedRow);
    UpdateButtons();
}

void CColumnSelectionDlg::UpdateButtons() {
    const int iSelected = m_pSelected->currentRow();
    m_pAdd->setEnabled(m_pAvailable->currentRow() >= 0);
    m_pRemove->setEnabled(iSelected >= 0);
    m_pFirst->setEnabled(m_lists.CanMoveUp(iSelected));
    m_pUp->setEnabled(m_lists.CanMoveUp(iSelected));
    m_pDown->setEnabled(m_lists.CanMoveDown(iSelected));
    m_pLast->setEnabled(m_lists.CanMoveDown(iSelected));
}

void CColumnSelectionDlg::OnAdd() {
    const int iAt = m_lists.Add(m_pAvailable->currentRow(), m_pSelected->currentRow());
    if (iAt >= 0)
        ShowLists(-1, iAt);
}

void CColumnSelectionDlg::OnRemove() {
    if (m_lists.Remove(m_pSelected->currentRow()) >= 0)
        ShowLists(-1, -1);
}

void CColumnSelectionDlg::OnMove(int (CColumnLists::*pfnMove)(int)) {
    const int iSelected = m_pSelected->currentRow();
    if (iSelected >= 0)
        ShowLists(-1, (m_lists.*pfnMove)(iSelected));
}

void CColumnSelectionDlg::accept() {
    CTraceScope scope("CColumnSelectionDlg::OnOK");
    m_lists.Apply(*m_pColumns);
    QDialog::accept();
}
