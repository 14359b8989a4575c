#include "gui/printerdialogs/InfoItemDlg.h"

#include "common/TestPage.h"
#include "common/Trace.h"
#include "gui/app/Prompter.h"
#include "gui/app/WaitCursor.h"
#include "gui/core/ManagedQueues.h"
#include "gui/core/StringIds.h"
#include "gui/core/StringTable.h"
#include "gui/printerdialogs/DialogFit.h"
#include "gui/printerdialogs/ViewIconDlg.h"
#include "platform/error.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

using namespace managedqueues;

namespace {
CInfoItemDlg::ModifyRunner g_modifyDialog;
constexpr int kDefaultRole = Qt::UserRole; // 1 on the default printer's row
} // namespace

void CInfoItemDlg::SetModifyDialog(ModifyRunner runner) {
    g_modifyDialog = std::move(runner);
}

CInfoItemDlg::CInfoItemDlg(const CPrinter& printer, QWidget* pParent)
    : QDialog(pParent), m_printer(printer), m_pList(new QTreeWidget(this)),
      m_pSetDefault(new QPushButton("&Set as Default Printer", this)),
      m_pModify(new QPushButton("&Modify...", this)),
      m_pRemove(new QPushButton("&Remove...", this)),
      m_pTestPage(new QPushButton("Print &test page", this)), m_pTestPageResult(new QLabel(this)),
      m_pTimer(new QTimer(this)) {
    CTraceScope scope("CInfoItemDlg::OnInitDialog");
    setObjectName("infoItemDlg");
    setWindowTitle("Manage Printers");
    m_pList->setObjectName("list1159");
    m_pSetDefault->setObjectName("button1162");
    m_pModify->setObjectName("button1161");
    m_pRemove->setObjectName("button1160");
    m_pTestPage->setObjectName("buttonTestPage");
    m_pTestPageResult->setObjectName("testPageResult");
    m_pTestPageResult->setWordWrap(true);
    auto* pClose = new QPushButton("&Close", this);
    pClose->setObjectName("button2");
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pSetDefault, &QPushButton::clicked, this, &CInfoItemDlg::OnSetDefault);
    connect(m_pModify, &QPushButton::clicked, this, &CInfoItemDlg::OnModify);
    connect(m_pRemove, &QPushButton::clicked, this, &CInfoItemDlg::OnRemove);
    connect(m_pTestPage, &QPushButton::clicked, this, &CInfoItemDlg::OnPrintTestPage);

    m_pList->setColumnCount(1);
    m_pList->setHeaderHidden(true);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->header()->setStretchLastSection(false);
    m_pList->installEventFilter(this);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] { OnModify(); });

    auto* pBitmap = new QLabel(this);
    pBitmap->setPixmap(QPixmap(":/vexgui/printer-48.png"));
    auto* pText = new QLabel(
        QString("These printers of this workstation print to the network printer at %1.\n"
                "You can delete them, change their properties or make one of them your "
                "default printer.")
            .arg(QString::fromStdString(m_printer.m_csIpAddr)),
        this);
    pText->setObjectName("explanation");
    pText->setWordWrap(true);
    auto* pPrinters = new QLabel("&Printers:", this);
    pPrinters->setBuddy(m_pList);

    auto* pButtons = new QVBoxLayout;
    for (QPushButton* pButton : {m_pSetDefault, m_pModify, m_pRemove, m_pTestPage})
        pButtons->addWidget(pButton);
    pButtons->addStretch();
    pButtons->addWidget(pClose);
    auto* pGrid = new QGridLayout(this);
    pGrid->setContentsMargins(10, 10, 10, 10);
    pGrid->addWidget(pBitmap, 0, 0, Qt::AlignTop);
    pGrid->addWidget(pText, 0, 1, 1, 2);
    pGrid->addWidget(pPrinters, 1, 0, 1, 2);
    pGrid->addWidget(m_pList, 2, 0, 1, 2);
    pGrid->addLayout(pButtons, 2, 2);
    pGrid->addWidget(m_pTestPageResult, 3, 0, 1, 3);
    pGrid->setColumnStretch(1, 1);
    resize(480, 300);
    FitDialog(this);

    Refresh();
    if (m_pList->topLevelItemCount() > 0)
        m_pList->setCurrentItem(m_pList->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    OnTimer();
    m_pTimer->setObjectName(QString("timer%1").arg(kTimerId));
    connect(m_pTimer, &QTimer::timeout, this, &CInfoItemDlg::OnTimer);
    m_pTimer->start(kTimerMs);
}

std::string CInfoItemDlg::QueueName(const QTreeWidgetItem* pItem) {
    const std::string csText = pItem->text(0).toStdString();
    return pItem->data(0, kDefaultRole).toInt() == 1 ? StripDefaultMarker(csText) : csText;
}

void CInfoItemDlg::Refresh() {
    if (!m_queues.Refresh())
        return; // the spooler cannot tell now: the rows stay as they are
    const std::vector<std::string> queues = m_queues.QueuesFor(m_printer.m_csIpAddr);
    const std::string csDefault = DefaultPrinter();
    const std::set<std::string> present(queues.begin(), queues.end());
    std::set<std::string> listed;
    for (int i = m_pList->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* pItem = m_pList->topLevelItem(i);
        const std::string csName = QueueName(pItem);
        if (!present.count(csName)) {
            delete m_pList->takeTopLevelItem(i);
            continue;
        }
        pItem->setText(0, QString::fromStdString(csName));
        pItem->setData(0, kDefaultRole, 0);
        listed.insert(csName);
    }
    for (const std::string& csQueue : queues)
        if (!listed.count(csQueue))
            m_pList->addTopLevelItem(
                new QTreeWidgetItem(QStringList(QString::fromStdString(csQueue))));
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pItem = m_pList->topLevelItem(i);
        // Printer names compare without regard to case.
        if (!csDefault.empty() &&
            pItem->text(0).compare(QString::fromStdString(csDefault), Qt::CaseInsensitive) == 0) {
            pItem->setText(0, pItem->text(0) + QString::fromStdString(DefaultMarker()));
            pItem->setData(0, kDefaultRole, 1);
        }
    }
}

void CInfoItemDlg::OnTimer() {
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    const SInfoButtons buttons =
        InfoButtons(int(selected.size()),
                    selected.size() == 1 && selected[0]->data(0, kDefaultRole).toInt() == 1);
    m_pRemove->setEnabled(buttons.bRemove);
    m_pModify->setEnabled(buttons.bModify);
    m_pSetDefault->setEnabled(buttons.bSetDefault);
    m_pTestPage->setEnabled(buttons.bModify);
    Refresh();
    FitColumn();
}

void CInfoItemDlg::FitColumn() {
    m_pList->resizeColumnToContents(0);
    m_pList->setColumnWidth(0, std::max(m_pList->width() - 20, m_pList->columnWidth(0)));
}

void CInfoItemDlg::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    FitColumn();
}

void CInfoItemDlg::OnRemove() {
    CTraceScope scope("CInfoItemDlg::OnRemove");
    std::vector<QTreeWidgetItem*> selected;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        if (m_pList->topLevelItem(i)->isSelected())
            selected.push_back(m_pList->topLevelItem(i));
    if (selected.empty())
        return;
    if (VexMessage(this, selected.size() > 1 ? IDS_DELETE_QUEUES : IDS_DELETE_QUEUE,
                   EMsgButtons::YesNo, EMsgIcon::Question) != eAnswerYes)
        return;
    const bool bHadDefault = !DefaultPrinter().empty();
    const int iFirstRemoved = m_pList->indexOfTopLevelItem(selected.front());
    {
        CWaitCursor wait;
        for (QTreeWidgetItem* pItem : selected) {
            if (!DeleteQueue(QueueName(pItem)))
                break;
            delete pItem;
        }
    }
    // Deleting the default printer leaves the user without one: another
    // printer takes its place. A user who had none is left as he was.
    if (bHadDefault && DefaultPrinter().empty())
        HandDefaultOn(iFirstRemoved);
    m_pList->clearSelection();
    if (m_pList->topLevelItemCount() > 0) {
        QTreeWidgetItem* pFocus = m_pList->topLevelItem(std::max(0, iFirstRemoved - 1));
        m_pList->setCurrentItem(pFocus, 0, QItemSelectionModel::ClearAndSelect);
        m_pList->setFocus();
    }
    Refresh();
}

void CInfoItemDlg::HandDefaultOn(int iFirstRemoved) {
    std::string csNew;
    if (m_pList->topLevelItemCount() > 0) {
        const int iRow = iFirstRemoved > 0 ? iFirstRemoved - 1 : 0;
        csNew = QueueName(m_pList->topLevelItem(std::min(iRow, m_pList->topLevelItemCount() - 1)));
    } else {
        csNew = FirstLocalPrinter();
    }
    if (csNew.empty()) {
        VexMessage(this, IDS_NO_PRINTER_LEFT, EMsgButtons::Ok, EMsgIcon::Exclamation);
        return;
    }
    if (SetDefaultPrinter(csNew))
        VexMessageText(this, IDS_DEFAULT_PRINTER_REPLACED,
                       FormatVexString(IDS_DEFAULT_PRINTER_REPLACED, {csNew}), EMsgButtons::Ok,
                       EMsgIcon::Exclamation);
}

void CInfoItemDlg::OnSetDefault() {
    CTraceScope scope("CInfoItemDlg::OnSetDefault");
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    if (selected.size() != 1)
        return;
    SetDefaultPrinter(QueueName(selected[0]));
    Refresh();
}

void CInfoItemDlg::OnModify() {
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    if (selected.size() != 1)
        return;
    const std::string csQueue = QueueName(selected[0]);
    if (g_modifyDialog) {
        g_modifyDialog(csQueue, m_printer, this);
    } else {
        CViewIconDlg dialog(csQueue, m_printer, this);
        dialog.exec();
    }
    Refresh();
}

void CInfoItemDlg::OnPrintTestPage() {
    CTraceScope scope("CInfoItemDlg::OnPrintTestPage");
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    if (selected.size() != 1)
        return;
    const std::string csQueue = QueueName(selected[0]);
    uint32_t uiJob = 0;
    bool bOk = false;
    {
        CWaitCursor wait;
        bOk = CTestPage().Print(csQueue, &uiJob);
    }
    const std::string csResult =
        bOk ? FormatVexString(IDS_TEST_PAGE_SENT, {csQueue, std::to_string(uiJob)})
            : FormatVexString(IDS_TEST_PAGE_FAILED,
                              {csQueue, platform::ErrorText(platform::GetLastError())});
    scope.Inf("%s", csResult.c_str());
    m_pTestPageResult->setText(QString::fromStdString(csResult));
    scope.Result(bOk);
}

bool CInfoItemDlg::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (pObject == m_pList && pEvent->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Delete) {
        OnRemove();
        return true;
    }
    return QDialog::eventFilter(pObject, pEvent);
}
