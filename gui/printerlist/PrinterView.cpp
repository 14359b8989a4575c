#include "gui/printerlist/PrinterView.h"

#include "common/GtosPipeComm.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/Prompter.h"
#include "gui/app/QtStrings.h"
#include "gui/app/VexApp.h"
#include "gui/app/WaitCursor.h"
#include "gui/columns/ColumnSelectionDlg.h"
#include "gui/columns/ColumnSortDlg.h"
#include "gui/core/ColumnData.h"
#include "gui/core/KplChanges.h"
#include "gui/core/QueueNames.h"
#include "gui/core/Reconcile.h"
#include "gui/core/StateFilter.h"
#include "gui/core/StringIds.h"
#include "gui/printerlist/DiscoverThread.h"
#include "gui/printerlist/PrinterListModel.h"
#include "gui/printerlist/ProcessingDlg.h"
#include "gui/printerlist/StateIcons.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QStackedWidget>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
CPrinterView::EUpdateAnswer SendUpdateIcons(const CPrinter& printer) {
    CGtosPipeComm comm;
    if (comm.SendUpdateIconsCmdToService(&printer))
        return CPrinterView::eUpdateDone;
    return comm.m_bUnknownAnswer ? CPrinterView::eUpdateUnknown : CPrinterView::eUpdateFailed;
}
} // namespace

CPrinterView::CPrinterView(CColumnData* pColumns, QWidget* pParent)
    : QWidget(pParent), m_pColumns(pColumns), m_pModel(new CPrinterListModel(pColumns, this)),
      m_pStack(new QStackedWidget(this)), m_pIconView(new QListView(m_pStack)),
      m_pDetailsView(new QTreeView(m_pStack)), m_updateSender(SendUpdateIcons) {
    setObjectName("printerView");
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pStack);

    m_pIconView->setObjectName("iconView");
    m_pIconView->setViewMode(QListView::IconMode);
    m_pIconView->setFlow(QListView::LeftToRight);
    m_pIconView->setWrapping(true);
    m_pIconView->setResizeMode(QListView::Adjust);
    m_pIconView->setMovement(QListView::Static);
    m_pIconView->setIconSize(QSize(32, 32));
    m_pIconView->setGridSize(QSize(120, 64));
    m_pIconView->setUniformItemSizes(true);
    m_pIconView->setWordWrap(true);
    m_pDetailsView->setObjectName("detailsView");
    m_pDetailsView->setRootIsDecorated(false);
    m_pDetailsView->setUniformRowHeights(true);
    m_pDetailsView->setItemsExpandable(false);
    m_pDetailsView->setAllColumnsShowFocus(true);
    m_pDetailsView->setIconSize(QSize(16, 16));
    m_pDetailsView->header()->setSectionsMovable(false);
    m_pDetailsView->header()->setSectionsClickable(true);
    m_pDetailsView->header()->setSortIndicatorShown(true);
    // The last column takes what the window has left.
    m_pDetailsView->header()->setStretchLastSection(true);
    m_pDetailsView->viewport()->installEventFilter(this);
    connect(m_pDetailsView->header(), &QHeaderView::sectionClicked, this,
            &CPrinterView::OnColumnClick);

    // Both views show one model with one selection.
    m_pIconView->setModel(m_pModel);
    m_pDetailsView->setModel(m_pModel);
    m_pDetailsView->setSelectionModel(m_pIconView->selectionModel());
    for (QAbstractItemView* pView : {static_cast<QAbstractItemView*>(m_pIconView),
                                     static_cast<QAbstractItemView*>(m_pDetailsView)}) {
        pView->setSelectionMode(QAbstractItemView::ExtendedSelection);
        pView->setSelectionBehavior(QAbstractItemView::SelectRows);
        pView->setContextMenuPolicy(Qt::CustomContextMenu);
        pView->installEventFilter(this);
        // A double-click on a row asks for what Enter asks for: Manage printers.
        connect(pView, &QAbstractItemView::doubleClicked, this, &CPrinterView::EnterPressed);
        connect(pView, &QWidget::customContextMenuRequested, this,
                [this, pView](const QPoint& pos) {
                    ShowContextMenu(pView->viewport()->mapToGlobal(pos));
                });
    }
    m_pStack->addWidget(m_pIconView);
    m_pStack->addWidget(m_pDetailsView);
    connect(m_pIconView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CPrinterView::SelectionChanged);
    connect(m_pIconView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CPrinterView::SelectionChanged);
    connect(m_pModel, &QAbstractItemModel::modelReset, this, &CPrinterView::SelectionChanged);
    connect(m_pModel, &QAbstractItemModel::dataChanged, this, &CPrinterView::SelectionChanged);
    CreateStateMenu();
    auto rowsChanged = [this] { emit RowCountChanged(RowCount()); };
    connect(m_pModel, &QAbstractItemModel::modelReset, this, rowsChanged);
    connect(m_pModel, &QAbstractItemModel::rowsInserted, this, rowsChanged);
    connect(m_pModel, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
}

CPrinterView::~CPrinterView() = default;

void CPrinterView::OnInitialUpdate() {
    CTraceScope scope("CPrinterView::OnInitialUpdate");
    CVexData data;
    m_printers.SetKplPath(data.GetWorkingDir() + data.GetKplFile());
    m_iListKind = ValidListKind(data.GetViewList());
    SetViewStyle(int(data.GetViewStyle()) == eStyleDetails ? eStyleDetails : eStyleIcons);
    AddSelectedColumns();
    FillList(m_iListKind, true);
    SortByStoredColumn();
    if (SelectedUuids().empty() && RowCount() > 0)
        m_pIconView->selectionModel()->setCurrentIndex(m_pModel->index(0, 0),
                                                       QItemSelectionModel::NoUpdate);
}

void CPrinterView::FillList(int iListKind, bool bReadFile) {
    const CTraceName trace("CPrinterView::FillList");
    if (bReadFile && !m_printers.Read()) {
        trace.Err("The known printer list could not be read");
        m_pModel->Clear();
        return;
    }
    m_pModel->Fill(m_printers, iListKind);
}

void CPrinterView::ShowList(int iListKind) {
    m_iListKind = ValidListKind(uint32_t(iListKind));
    FillList(m_iListKind, true);
}

void CPrinterView::Redisplay(bool bReadFile) {
    const std::vector<std::string> selected = SelectedUuids();
    FillList(m_iListKind, bReadFile);
    SortByStoredColumn();
    bool bFirst = true;
    for (const std::string& csUUID : selected) {
        SelectUuid(csUUID, bFirst);
        bFirst = false;
    }
}

void CPrinterView::RefreshView() {
    CTraceScope scope("CPrinterView::RefreshView");
    emit StatusText(VexQString(IDS_REFRESHING));
    Redisplay(true);
    emit ServiceStateMayHaveChanged();
}

void CPrinterView::SortPrinters(int iDisplayIndex) {
    m_pModel->SortByIndex(iDisplayIndex);
    m_pDetailsView->header()->setSortIndicator(
        iDisplayIndex, m_pColumns->GetColumnSortAscending(iDisplayIndex) ? Qt::AscendingOrder
                                                                         : Qt::DescendingOrder);
}

void CPrinterView::SortByStoredColumn() {
    const int iIndex = m_pColumns->GetColumnIndex(CVexData().GetSortColumn());
    SortPrinters(iIndex < 0 ? 0 : iIndex);
}

void CPrinterView::OnColumnClick(int iDisplayIndex) {
    m_pColumns->ChangeColumnSortAscending(iDisplayIndex);
    SortPrinters(iDisplayIndex);
    CVexData().SetSortColumn(eColumn(m_pColumns->GetColumnId(iDisplayIndex)));
}

void CPrinterView::OnViewColumns() {
    m_flags.Hold();
    CColumnSelectionDlg dialog(m_pColumns, this);
    if (dialog.exec() == QDialog::Accepted) {
        AddSelectedColumns();
        RefreshView();
    }
    m_flags.m_bHoldKplUpdates = false;
    m_flags.m_bHoldNewPrinters = false;
}

void CPrinterView::OnViewSort() {
    m_flags.Hold();
    CColumnSortDlg dialog(m_pColumns, this);
    if (dialog.exec() == QDialog::Accepted) {
        CWaitCursor wait;
        const int iIndex = dialog.SelectedIndex();
        m_pColumns->SetColumnSortAscending(iIndex, dialog.Ascending());
        SortPrinters(iIndex);
        CVexData().SetSortColumn(eColumn(m_pColumns->GetColumnId(iIndex)));
        RefreshView();
    }
    m_flags.m_bHoldKplUpdates = false;
    m_flags.m_bHoldNewPrinters = false;
}

void CPrinterView::SetViewStyle(int iStyle) {
    m_iStyle = iStyle == eStyleDetails ? eStyleDetails : eStyleIcons;
    m_pStack->setCurrentWidget(m_iStyle == eStyleDetails ? static_cast<QWidget*>(m_pDetailsView)
                                                         : m_pIconView);
}

void CPrinterView::AddSelectedColumns() {
    m_pModel->ColumnsChanged();
    for (int i = 0; i < m_pColumns->GetShownCount(); ++i) {
        const int iWidth = m_pColumns->GetColumnWidth(i);
        m_pDetailsView->setColumnWidth(i, iWidth > 0 ? iWidth : 100);
    }
}

void CPrinterView::SaveColumnWidths() {
    if (m_iStyle != eStyleDetails)
        return;
    for (int i = 0; i < m_pColumns->GetShownCount(); ++i)
        m_pColumns->SetColumnWidth(i, m_pDetailsView->columnWidth(i));
}

void CPrinterView::ReconcileTick() {
    const CTraceName trace("CPrinterView::ReconcileTick");
    if (!m_queues.Refresh())
        return; // names unknown this tick: nothing to correct
    std::vector<CPrinter> corrections;
    CPrinter corrected;
    m_printers.ForEach([&](const CPrinter& printer) {
        if (ReconcilePrinter(printer, m_queues, &corrected))
            corrections.push_back(corrected);
    });
    if (corrections.empty())
        return;
    for (const CPrinter& printer : corrections) {
        trace.Inf("Printer %s: names '%s', state %d", printer.m_csUUID.c_str(),
                  printer.m_csIconName.c_str(), printer.m_VexState);
        // The service stores the correction under its list lock; the file is
        // never written here, so that no newer record of the service is lost.
        // A correction the service refused is not shown as if it were taken.
        switch (m_updateSender(printer)) {
        case eUpdateDone:
            m_printers.UpdatePrinter(printer);
            break;
        case eUpdateUnknown:
            trace.Wrn("The service does not know \"Update Icons\"; "
                      "the list file is left as it is");
            m_printers.UpdatePrinter(printer);
            break;
        case eUpdateFailed:
            trace.Err("The service did not take the correction");
            break;
        }
    }
    Redisplay(false);
}

void CPrinterView::OnKplUpdated() {
    const CTraceName trace("CPrinterView::OnKplUpdated");
    if (m_flags.m_bKplUpdateRunning) {
        trace.Inf("Skipping KPL updated command (1)");
        return;
    }
    if (m_flags.m_bHoldKplUpdates) {
        trace.Inf("Skipping KPL updated command (2)");
        return;
    }
    m_flags.m_bKplUpdateRunning = true;
    trace.Inf("Processing KPL updated command");
    uint32_t uiMessage = 0;
    std::string csUUID;
    {
        CWaitCursor wait;
        const std::vector<CPrinter> before = TakeSnapshot(m_printers);
        RefreshView();
        const std::vector<CPrinter> after = TakeSnapshot(m_printers);
        m_pIconView->selectionModel()->clearSelection();
        uiMessage = FirstChangeMessage(before, after, &csUUID);
        if (uiMessage)
            SelectUuid(csUUID, true);
        CurrentView()->update();
    }
    if (uiMessage)
        VexMessage(this, uiMessage, EMsgButtons::Ok, EMsgIcon::Information);
    m_flags.m_bKplUpdateRunning = false;
}

void CPrinterView::OnNewPrinter() {
    const CTraceName trace("CPrinterView::OnNewPrinter");
    if (m_flags.m_bNewPrinterRunning) {
        trace.Inf("Skipping new printer command (1)");
        return;
    }
    if (m_flags.m_bHoldNewPrinters) {
        trace.Inf("Skipping new printer command (2)");
        return;
    }
    m_flags.m_bNewPrinterRunning = true;
    trace.Inf("Processing new printer command");
    QWidget* pFrame = window();
    pFrame->raise();
    pFrame->activateWindow();
    if (pFrame->isMinimized()) {
        if (VexMessage(pFrame, IDS_NEW_PRINTERS_VIEW, EMsgButtons::YesNo, EMsgIcon::Question,
                       "CPrinterView::OnNewPrinter", 206) == eAnswerYes)
            pFrame->showNormal();
    } else {
        VexMessage(pFrame, IDS_NEW_PRINTERS, EMsgButtons::Ok, EMsgIcon::Information,
                   "CPrinterView::OnNewPrinter", 207);
    }
    m_flags.m_bNewPrinterRunning = false;
}

void CPrinterView::OnAppDiscover() {
    CTraceScope scope("CPrinterView::OnAppDiscover");
    std::unique_ptr<CDiscoverThread> pThread;
    CProcessingDlg dialog([this] { RefreshView(); },
                          [&pThread] {
                              if (pThread)
                                  pThread->Stop();
                          },
                          this);
    m_flags.Hold();
    if (!CVexApp::ServiceCheck(this)) {
        m_flags.Release();
        return;
    }
    bool bDiscover = true;
    if (CVexData().GetOpMode() == eModeAutomatic &&
        VexMessage(this, IDS_DISCOVER_IN_AUTOMATIC, EMsgButtons::YesNo, EMsgIcon::Question,
                   "CPrinterView::OnAppDiscover", 203) != eAnswerYes) {
        CWaitCursor wait;
        RefreshView();
        bDiscover = false;
    }
    if (bDiscover) {
        m_flags.m_pProcessingDlg = &dialog;
        pThread = std::make_unique<CDiscoverThread>(&dialog);
        if (pThread->Start()) {
            dialog.exec();
            pThread->Join();
        }
        pThread.reset();
    }
    if (m_flags.m_bNewPrinterHeld) {
        window()->raise();
        window()->activateWindow();
        VexMessage(window(), IDS_NEW_PRINTERS, EMsgButtons::Ok, EMsgIcon::Information);
    }
    m_flags.Release();
    m_flags.m_pProcessingDlg = nullptr;
}

std::vector<std::string> CPrinterView::SelectedUuids() const {
    std::vector<std::string> uuids;
    QModelIndexList rows = m_pIconView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows)
        uuids.push_back(m_pModel->PrinterAt(index.row()).m_csUUID);
    return uuids;
}

void CPrinterView::SelectUuid(const std::string& csUUID, bool bClearFirst) {
    QItemSelectionModel* pSelection = m_pIconView->selectionModel();
    if (bClearFirst)
        pSelection->clearSelection();
    const int iRow = m_pModel->RowOfUuid(csUUID);
    if (iRow < 0)
        return;
    pSelection->setCurrentIndex(m_pModel->index(iRow, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

std::vector<CPrinter> CPrinterView::SelectedPrinters() const {
    std::vector<CPrinter> printers;
    QModelIndexList rows = m_pIconView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows)
        printers.push_back(m_pModel->PrinterAt(index.row()));
    return printers;
}

int CPrinterView::RowCount() const {
    return m_pModel->rowCount();
}

QWidget* CPrinterView::CurrentView() const {
    return m_pStack->currentWidget();
}

void CPrinterView::SetContextMenus(QMenu* pPrinterMenu, QMenu* pApplicationMenu) {
    m_pPrinterMenu = pPrinterMenu;
    m_pApplicationMenu = pApplicationMenu;
}

QMenu* CPrinterView::ContextMenuFor() const {
    return SelectedUuids().empty() ? m_pApplicationMenu : m_pPrinterMenu;
}

void CPrinterView::ShowContextMenu(const QPoint& globalPos) {
    if (QMenu* pMenu = ContextMenuFor())
        pMenu->popup(globalPos);
}

void CPrinterView::ShowContextMenuForKeyboard() {
    auto* pView = static_cast<QAbstractItemView*>(CurrentView());
    QPoint pos(0, 0);
    if (!SelectedUuids().empty()) {
        const QModelIndex current = pView->selectionModel()->currentIndex();
        if (current.isValid())
            pos = pView->visualRect(current).topLeft() + QPoint(2, 2);
    }
    ShowContextMenu(pView->viewport()->mapToGlobal(pos));
}

void CPrinterView::FocusList() {
    CurrentView()->setFocus(Qt::OtherFocusReason);
    if (RowCount() > 0 && SelectedUuids().empty())
        m_pIconView->selectionModel()->setCurrentIndex(m_pModel->index(0, 0),
                                                       QItemSelectionModel::NoUpdate);
}

bool CPrinterView::CellCutOff(const QModelIndex& index) const {
    if (!index.isValid())
        return false;
    constexpr int kCellMargins = 12;
    int iNeeded =
        m_pDetailsView->fontMetrics().horizontalAdvance(index.data().toString()) + kCellMargins;
    if (index.column() == 0)
        iNeeded += m_pDetailsView->iconSize().width() + 4;
    return iNeeded > m_pDetailsView->visualRect(index).width();
}

QString CPrinterView::ToolTipFor(const QModelIndex& index) const {
    if (!index.isValid())
        return {};
    if (CellCutOff(index))
        return index.data().toString();
    return RowToolTip(m_pModel->PrinterAt(index.row()));
}

bool CPrinterView::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (pObject == m_pDetailsView->viewport() && pEvent->type() == QEvent::ToolTip) {
        auto* pHelp = static_cast<QHelpEvent*>(pEvent);
        const QString csTip = ToolTipFor(m_pDetailsView->indexAt(pHelp->pos()));
        if (csTip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(pHelp->globalPos(), csTip, m_pDetailsView->viewport());
        return true;
    }
    if (pEvent->type() == QEvent::KeyPress) {
        auto* pKey = static_cast<QKeyEvent*>(pEvent);
        switch (pKey->key()) {
        case Qt::Key_Delete:
            emit DeletePressed();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit EnterPressed();
            return true;
        case Qt::Key_Menu:
            ShowContextMenuForKeyboard();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(pObject, pEvent);
}
