#include "gui/app/VexFrame.h"

#include "common/Spooler.h"
#include "common/Trace.h"
#include "common/VexData.h"
#include "gui/app/QtStrings.h"
#include "gui/app/VexApp.h"
#include "gui/core/AppText.h"
#include "gui/core/ColumnData.h"
#include "gui/core/StateFilter.h"
#include "gui/core/StringIds.h"
#include "gui/printerlist/PrinterView.h"
#include "platform/service.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

namespace {
// The commands without a menu entry or help text; the others are named in
// gui/core/StringIds.h.
enum : int {
    ID_APP_TRACE = 32792,
    ID_STATE_MENU = 32809,
};
constexpr int kSidePanelWidth = 210;
} // namespace

CVexFrame::CVexFrame(CColumnData* pColumns, QWidget* pParent)
    : QMainWindow(pParent), m_pColumns(pColumns) {
    setObjectName("vexFrame");
}

CVexFrame::~CVexFrame() {
    SaveState();
}

QAction* CVexFrame::Action(int iCommand) const {
    auto it = m_actions.find(iCommand);
    return it == m_actions.end() ? nullptr : it->second;
}

QAction* CVexFrame::AddCommand(QMenu* pMenu, int iCommand, const QString& csText,
                               const QKeySequence& key) {
    auto* pAction = pMenu->addAction(csText);
    pAction->setObjectName(QString("command%1").arg(iCommand));
    pAction->setStatusTip(VexCommandHelp(uint32_t(iCommand)));
    pAction->setToolTip(VexCommandTip(uint32_t(iCommand)));
    if (!key.isEmpty())
        pAction->setShortcut(key);
    m_actions[iCommand] = pAction;
    return pAction;
}

bool CVexFrame::Create() {
    CTraceScope scope("CVexFrame::OnCreate");
    m_pView = new CPrinterView(m_pColumns, this);
    CreateMenus();
    CreateToolBar();
    CreateTopBar();
    CreateStatusBar();

    m_pSidePanel = new QTextEdit(this);
    m_pSidePanel->setObjectName("sidePanel");
    m_pSidePanel->setReadOnly(true);
    m_pSidePanel->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The user may narrow the side panel or drag it shut; the list takes the rest.
    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pSplitter->setObjectName("sideSplitter");
    m_pSplitter->setChildrenCollapsible(true);
    m_pSplitter->addWidget(m_pSidePanel);
    m_pSplitter->addWidget(m_pView);
    m_pSplitter->setCollapsible(1, false);
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->setSizes({kSidePanelWidth, 900 - kSidePanelWidth});
    setCentralWidget(m_pSplitter);

    CVexData data;
    m_pToolBar->setVisible(data.GetShowToolbar());
    Action(ID_VIEW_TOOLBAR)->setChecked(data.GetShowToolbar());
    statusBar()->setVisible(data.GetShowStatusbar());
    Action(ID_VIEW_STATUS_BAR)->setChecked(data.GetShowStatusbar());

    std::string csCode;
    std::string csTitle;
    if (!data.GetLanguageCode(csCode) || !WindowTitleForLanguage(csCode, &csTitle)) {
        scope.Err("Unknown drivers package language '%s'", csCode.c_str());
        scope.Result(false);
        return false;
    }
    setWindowTitle(QString::fromStdString(csTitle));

    const SWindowRect rect = data.GetWindowRect();
    if (rect.right > rect.left && rect.bottom > rect.top)
        setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    else
        resize(900, 560);

    m_pTimer = new QTimer(this);
    m_pTimer->setObjectName("reconcileTimer");
    connect(m_pTimer, &QTimer::timeout, m_pView, &CPrinterView::ReconcileTick);
    m_pTimer->start(kReconcileMs);
    m_pStateTimer = new QTimer(this);
    m_pStateTimer->setObjectName("serviceStateTimer");
    connect(m_pStateTimer, &QTimer::timeout, this, [this] {
        // A menu open shows its fly-by text; it is left alone until the menu closes.
        if (!QApplication::activePopupWidget())
            ShowServiceState();
    });
    m_pStateTimer->start(kServiceStateMs);
    scope.Result(true);
    return true;
}

void CVexFrame::CreateMenus() {
    CreateApplicationMenu();
    CreatePrinterMenu();
    CreateViewMenu();
    CreateHelpMenu();
    m_pView->SetContextMenus(m_pPrinterMenu, m_pApplicationMenu);
    CreateHiddenKeys();
}

void CVexFrame::CreateApplicationMenu() {
    CVexApp* pApp = CVexApp::Instance();
    m_pApplicationMenu = menuBar()->addMenu("&Application");
    connect(AddCommand(m_pApplicationMenu, ID_APP_DISCOVER, "&Discover printers..."),
            &QAction::triggered, m_pView, &CPrinterView::OnAppDiscover);
    m_pApplicationMenu->addSeparator();
    QAction* pSettings = AddCommand(m_pApplicationMenu, ID_APP_SETTINGS, "&Settings...");
    QAction* pValues = AddCommand(m_pApplicationMenu, ID_APP_VALUES, "Default &values...");
    if (pApp) {
        connect(pSettings, &QAction::triggered, pApp, &CVexApp::OnAppSettings);
        connect(pValues, &QAction::triggered, pApp, &CVexApp::OnAppValues);
    }
    m_pApplicationMenu->addSeparator();
    connect(AddCommand(m_pApplicationMenu, ID_APP_EXIT, "E&xit"), &QAction::triggered, this,
            &QWidget::close);
}

void CVexFrame::CreatePrinterMenu() {
    // The printer actions are carried out with the service; each is enabled by
    // its rule over the selected printers.
    m_pPrinterMenu = menuBar()->addMenu("&Printer");
    const struct {
        int iCommand;
        const char* pszText;
        void (CPrinterView::*handler)();
    } kActions[] = {
        {ID_PRINTER_ADD_ICON, "&Create printer...", &CPrinterView::OnPrinterAddIcon},
        {ID_PRINTER_ADD_ICON_DEFAULTS, "Create printer using &defaults",
         &CPrinterView::OnPrinterAddIconDefaults},
        {0, nullptr, nullptr},
        {ID_PRINTER_IGNORE, "&Ignore", &CPrinterView::OnPrinterIgnore},
        {ID_PRINTER_RESTORE, "R&estore", &CPrinterView::OnPrinterRestore},
        {ID_PRINTER_REMOVE, "&Remove\tDEL", &CPrinterView::OnPrinterRemove},
        {0, nullptr, nullptr},
        {ID_PRINTER_MANAGE, "&Manage printers...", &CPrinterView::OnPrinterManage},
    };
    for (const auto& action : kActions) {
        if (!action.iCommand) {
            m_pPrinterMenu->addSeparator();
            continue;
        }
        connect(AddCommand(m_pPrinterMenu, action.iCommand, action.pszText), &QAction::triggered,
                m_pView, action.handler);
    }
    connect(m_pView, &CPrinterView::SelectionChanged, this, &CVexFrame::UpdatePrinterActions);
    connect(m_pPrinterMenu, &QMenu::aboutToShow, this, &CVexFrame::UpdatePrinterActions);
    UpdatePrinterActions();
    auto triggerIfEnabled = [this](int iCommand) {
        if (Action(iCommand)->isEnabled())
            Action(iCommand)->trigger();
    };
    connect(m_pView, &CPrinterView::DeletePressed, this,
            [=] { triggerIfEnabled(ID_PRINTER_REMOVE); });
    connect(m_pView, &CPrinterView::EnterPressed, this, [this, triggerIfEnabled] {
        bool bMarkHasQueues = false;
        const std::vector<SSelectedPrinter> selection = m_pView->SelectionForRules(&bMarkHasQueues);
        EPrinterAction eAction = EPrinterAction::Manage;
        if (DefaultAction(selection, bMarkHasQueues, &eAction))
            triggerIfEnabled(eAction == EPrinterAction::Manage ? ID_PRINTER_MANAGE
                                                               : ID_PRINTER_ADD_ICON);
    });
}

void CVexFrame::CreateViewMenu() {
    QMenu* pView = menuBar()->addMenu("&View");
    QAction* pToolbar = AddCommand(pView, ID_VIEW_TOOLBAR, "&Toolbar");
    pToolbar->setCheckable(true);
    connect(pToolbar, &QAction::toggled, this, &CVexFrame::OnViewToolbar);
    QAction* pStatusBar = AddCommand(pView, ID_VIEW_STATUS_BAR, "Status &bar");
    pStatusBar->setCheckable(true);
    connect(pStatusBar, &QAction::toggled, this, &CVexFrame::OnViewStatusBar);
    pView->addSeparator();
    auto* pStyles = new QActionGroup(this);
    QAction* pIcons = AddCommand(pView, ID_VIEW_LARGEICON, "&Icons");
    QAction* pDetails = AddCommand(pView, ID_VIEW_DETAILS, "&Details");
    pIcons->setIcon(QIcon(":/vexgui/tb-icons.png"));
    pDetails->setIcon(QIcon(":/vexgui/tb-details.png"));
    for (QAction* pAction : {pIcons, pDetails}) {
        pAction->setCheckable(true);
        pStyles->addAction(pAction);
    }
    connect(pIcons, &QAction::triggered, this, [this] { OnViewStyle(CPrinterView::eStyleIcons); });
    connect(pDetails, &QAction::triggered, this,
            [this] { OnViewStyle(CPrinterView::eStyleDetails); });
    pView->addSeparator();
    QAction* pColumns = AddCommand(pView, ID_VIEW_COLUMNS, "&Customize columns...");
    pColumns->setIcon(QIcon(":/vexgui/tb-columns.png"));
    connect(pColumns, &QAction::triggered, m_pView, &CPrinterView::OnViewColumns);
    QAction* pSort = AddCommand(pView, ID_VIEW_SORT, "&Sort printers by...");
    pSort->setIcon(QIcon(":/vexgui/tb-sort.png"));
    connect(pSort, &QAction::triggered, m_pView, &CPrinterView::OnViewSort);
    pView->addSeparator();
    QAction* pRefresh = AddCommand(pView, ID_VIEW_REFRESH, "&Refresh", QKeySequence(Qt::Key_F5));
    pRefresh->setIcon(QIcon(":/vexgui/tb-refresh.png"));
    connect(pRefresh, &QAction::triggered, this, [this] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_pView->RefreshView();
        QApplication::restoreOverrideCursor();
    });
}

void CVexFrame::CreateHelpMenu() {
    CVexApp* pApp = CVexApp::Instance();
    QMenu* pHelp = menuBar()->addMenu("&Help");
    QAction* pReadme = AddCommand(pHelp, ID_APP_README, "&Readme file");
    pHelp->addSeparator();
    QAction* pAbout = AddCommand(pHelp, ID_APP_ABOUT, "&About...");
    if (pApp) {
        connect(pReadme, &QAction::triggered, pApp, &CVexApp::OnAppReadme);
        connect(pAbout, &QAction::triggered, pApp, &CVexApp::OnAppAbout);
    }
}

void CVexFrame::CreateHiddenKeys() {
    CVexApp* pApp = CVexApp::Instance();
    // Hidden keys: F6 and Shift+F6 move the focus; Ctrl+Alt+Shift+T opens the
    // trace settings; Ctrl+Alt+Shift+X does nothing.
    auto* pF6 = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(pF6, &QShortcut::activated, this, [this] { MoveFocus(true); });
    auto* pShiftF6 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(pShiftF6, &QShortcut::activated, this, [this] { MoveFocus(false); });
    auto* pTrace = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_T), this);
    pTrace->setObjectName(QString("command%1").arg(ID_APP_TRACE));
    if (pApp)
        connect(pTrace, &QShortcut::activated, pApp, &CVexApp::OnAppTrace);
    new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_X), this);
    // Ctrl+Alt+Shift+S: the hidden menu that forces a printer's state.
    auto* pStateMenu =
        new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_S), this);
    pStateMenu->setObjectName(QString("command%1").arg(ID_STATE_MENU));
    connect(pStateMenu, &QShortcut::activated, m_pView, &CPrinterView::OnStateMenu);
}

void CVexFrame::UpdatePrinterActions() {
    const struct {
        int iCommand;
        EPrinterAction eAction;
    } kRules[] = {
        {ID_PRINTER_IGNORE, EPrinterAction::Ignore},
        {ID_PRINTER_REMOVE, EPrinterAction::Remove},
        {ID_PRINTER_RESTORE, EPrinterAction::Restore},
        {ID_PRINTER_ADD_ICON, EPrinterAction::Create},
        {ID_PRINTER_ADD_ICON_DEFAULTS, EPrinterAction::CreateDefaults},
        {ID_PRINTER_MANAGE, EPrinterAction::Manage},
    };
    bool bMarkHasQueues = false;
    const std::vector<SSelectedPrinter> selection = m_pView->SelectionForRules(&bMarkHasQueues);
    for (const auto& rule : kRules)
        Action(rule.iCommand)->setEnabled(ActionEnabled(rule.eAction, selection, bMarkHasQueues));
}

void CVexFrame::CreateToolBar() {
    m_pToolBar = addToolBar("Toolbar");
    m_pToolBar->setObjectName("toolBar");
    m_pToolBar->setIconSize(QSize(16, 16));
    m_pToolBar->addAction(Action(ID_VIEW_LARGEICON));
    m_pToolBar->addAction(Action(ID_VIEW_DETAILS));
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(Action(ID_VIEW_COLUMNS));
    m_pToolBar->addAction(Action(ID_VIEW_SORT));
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(Action(ID_VIEW_REFRESH));
}

void CVexFrame::CreateTopBar() {
    m_pTopBar = addToolBar("State filter");
    m_pTopBar->setObjectName("topBar");
    auto* pBar = new QWidget(m_pTopBar);
    auto* pLayout = new QHBoxLayout(pBar);
    pLayout->setContentsMargins(4, 0, 4, 0);
    auto* pLabel = new QLabel(VexQString(IDS_SHOW_STATE_LABEL), pBar);
    pLabel->setObjectName("label1153");
    m_pFilter = new QComboBox(pBar);
    m_pFilter->setObjectName("filter");
    pLabel->setBuddy(m_pFilter);
    for (int iKind = 0; iKind < kListKinds; ++iKind)
        m_pFilter->addItem(VexQString(ListKindStringId(iKind)));
    m_pDiscover = new QPushButton("&Discover printers", pBar);
    m_pDiscover->setObjectName("discover");
    m_pDiscover->setStatusTip(VexCommandHelp(ID_APP_DISCOVER));
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pFilter);
    pLayout->addWidget(m_pDiscover);
    m_pTopBar->addWidget(pBar);
    connect(m_pFilter, &QComboBox::activated, this, &CVexFrame::OnSelChangeLists);
    connect(m_pDiscover, &QPushButton::clicked, m_pView, &CPrinterView::OnAppDiscover);
}

void CVexFrame::CreateStatusBar() {
    m_pStatusPane = new QLabel(VexQString(IDS_LISTENING), this);
    m_pStatusPane->setObjectName("statusPane");
    m_pCountPane = new QLabel(this);
    m_pCountPane->setObjectName("countPane");
    m_pCountPane->setMinimumWidth(
        fontMetrics().horizontalAdvance(VexQString(IDS_PRINTERS_COUNT_WIDTH)) + 8);
    statusBar()->addWidget(m_pStatusPane, 1);
    statusBar()->addPermanentWidget(m_pCountPane);
    auto showCount = [this](int iRows) {
        m_pCountPane->setText(VexQString(IDS_PRINTERS_COUNT) + QString(" %1").arg(iRows));
    };
    showCount(0);
    connect(m_pView, &CPrinterView::RowCountChanged, this, showCount);
    connect(m_pView, &CPrinterView::StatusText, this, [this](const QString& csText) {
        statusBar()->clearMessage();
        m_bOutcomeShown = false;
        m_pStatusPane->setText(csText);
        m_pStatusPane->repaint();
    });
    connect(m_pView, &CPrinterView::ServiceStateMayHaveChanged, this, &CVexFrame::ShowServiceState);
    connect(m_pView, &CPrinterView::Outcome, this, &CVexFrame::ShowOutcome);
    ShowServiceState();
}

void CVexFrame::ShowServiceState() {
    uint32_t uiText = IDS_LISTENING;
    if (!platform::IsServiceRunning(CSpooler::kSpoolerServiceName))
        uiText = IDS_SPOOLER_NOT_RUNNING;
    else if (!platform::IsServiceRunning(CVexApp::kServiceName))
        uiText = IDS_SERVICE_NOT_RUNNING;
    const QString csState = VexQString(uiText);
    // Fly-by help ends with the menu that showed it.
    statusBar()->clearMessage();
    // An action's outcome stays until the service's state changes.
    if (m_bOutcomeShown && csState == m_csServiceState)
        return;
    m_bOutcomeShown = false;
    m_csServiceState = csState;
    m_pStatusPane->setText(csState);
}

void CVexFrame::ShowOutcome(const QString& csText) {
    statusBar()->clearMessage();
    m_bOutcomeShown = true;
    m_pStatusPane->setText(csText);
}

void CVexFrame::showEvent(QShowEvent* pEvent) {
    QMainWindow::showEvent(pEvent);
    if (!m_bActivated) {
        m_bActivated = true;
        ActivateFrame();
    }
}

void CVexFrame::ActivateFrame() {
    m_pView->OnInitialUpdate();
    const int iKind = m_pView->ListKind();
    m_pFilter->setCurrentIndex(iKind);
    ChangeLeftPanelText(iKind);
    Action(m_pView->ViewStyle() == CPrinterView::eStyleDetails ? ID_VIEW_DETAILS
                                                               : ID_VIEW_LARGEICON)
        ->setChecked(true);
}

void CVexFrame::OnSelChangeLists(int iIndex) {
    if (iIndex < 0)
        return;
    m_pView->ShowList(iIndex);
    m_pView->SortByStoredColumn();
    ChangeLeftPanelText(iIndex);
    CVexData().SetViewList(uint32_t(iIndex));
}

void CVexFrame::ChangeLeftPanelText(int iListKind) {
    size_t nHeading = 0;
    const std::string csText = SidePanelText(iListKind, &nHeading);
    const int iHeading = QString::fromStdString(csText.substr(0, nHeading)).size();
    m_pSidePanel->setPlainText(QString::fromStdString(csText));
    QTextCursor cursor(m_pSidePanel->document());
    cursor.setPosition(0);
    cursor.setPosition(iHeading, QTextCursor::KeepAnchor);
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    heading.setFontPointSize(m_pSidePanel->font().pointSizeF() + 2);
    cursor.mergeCharFormat(heading);
}

void CVexFrame::OnViewToolbar(bool bShow) {
    const CTraceName trace("CVexFrame::OnViewToolbar");
    m_pToolBar->setVisible(bShow);
    trace.Inf(" toolbar is being %s", bShow ? "shown" : "hidden");
    CVexData().SetShowToolbar(bShow);
}

void CVexFrame::OnViewStatusBar(bool bShow) {
    const CTraceName trace("CVexFrame::OnViewStatusBar");
    statusBar()->setVisible(bShow);
    trace.Inf(" status bar is being %s", bShow ? "shown" : "hidden");
    CVexData().SetShowStatusbar(bShow);
}

void CVexFrame::OnViewStyle(int iStyle) {
    // Widths are kept from the details table before it goes.
    m_pView->SaveColumnWidths();
    m_pView->SetViewStyle(iStyle);
    Action(iStyle == CPrinterView::eStyleDetails ? ID_VIEW_DETAILS : ID_VIEW_LARGEICON)
        ->setChecked(true);
    CVexData().SetViewStyle(uint32_t(iStyle));
}

void CVexFrame::MoveFocus(bool bForward) {
    QWidget* const order[] = {m_pFilter, m_pView->CurrentView(), m_pSidePanel};
    int iNow = -1;
    for (int i = 0; i < 3; ++i)
        if (order[i]->hasFocus() || order[i]->isAncestorOf(QApplication::focusWidget()))
            iNow = i;
    const int iNext = iNow < 0 ? 0 : (iNow + (bForward ? 1 : 2)) % 3;
    if (iNext == 1)
        m_pView->FocusList();
    else
        order[iNext]->setFocus(bForward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void CVexFrame::closeEvent(QCloseEvent* pEvent) {
    SaveState();
    QMainWindow::closeEvent(pEvent);
}

void CVexFrame::SaveState() {
    if (m_bSaved || !m_bActivated)
        return;
    m_bSaved = true;
    m_pView->SaveColumnWidths();
    m_pColumns->SaveSortOrders();
    const QRect rect = normalGeometry();
    CVexData().SetWindowRect(SWindowRect{rect.left(), rect.top(), rect.left() + rect.width(),
                                         rect.top() + rect.height()});
}
