// CVexFrame: the main window. Menus, the toolbar, the top bar with the state
// filter, the side panel describing the chosen state (beside the list in a
// splitter), the status bar, and the printer list; its 100 ms timer keeps each
// printer's queue names current, and a slower one the status bar's word on
// the service.
#pragma once

#include <QMainWindow>
#include <map>

class CColumnData;
class CPrinterView;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTextEdit;
class QTimer;
class QToolBar;

class CVexFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kReconcileMs = 100;
    static constexpr int kServiceStateMs = 1000;

    explicit CVexFrame(CColumnData* pColumns, QWidget* pParent = nullptr);
    ~CVexFrame() override;

    // Makes the bars, the title and the list; false (with an error trace line)
    // when a part cannot be made or the drivers package's language is unknown.
    bool Create();

    CPrinterView* View() const { return m_pView; }
    QAction* Action(int iCommand) const;
    QComboBox* Filter() const { return m_pFilter; }
    QTextEdit* SidePanel() const { return m_pSidePanel; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    QLabel* CountPane() const { return m_pCountPane; }
    QTimer* ReconcileTimer() const { return m_pTimer; }
    QLabel* StatusPane() const { return m_pStatusPane; }
    QSplitter* Splitter() const { return m_pSplitter; }
    // The status pane's text when no action speaks: what the service manager
    // says of the spooler and the service. A menu's fly-by text goes with it.
    void ShowServiceState();
    // An action's outcome in the status pane, until the next one or the next
    // change of the service's state.
    void ShowOutcome(const QString& csText);

    void OnSelChangeLists(int iIndex);
    void ChangeLeftPanelText(int iListKind);
    void OnViewToolbar(bool bShow);
    void OnViewStatusBar(bool bShow);
    void OnViewStyle(int iStyle);
    // F6 (forward) and Shift+F6 (backward) between top bar, list and side panel.
    void MoveFocus(bool bForward);
    // Enables each printer action by its rule over the selection.
    void UpdatePrinterActions();

protected:
    void showEvent(QShowEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    QAction* AddCommand(QMenu* pMenu, int iCommand, const QString& csText,
                        const QKeySequence& key = QKeySequence());
    // The menu bar, one menu after the other, and the keys that no menu shows.
    void CreateMenus();
    void CreateApplicationMenu();
    void CreatePrinterMenu();
    void CreateViewMenu();
    void CreateHelpMenu();
    void CreateHiddenKeys();
    void CreateToolBar();
    void CreateTopBar();
    void CreateStatusBar();
    void ActivateFrame();
    void SaveState();

    CColumnData* m_pColumns;
    CPrinterView* m_pView = nullptr;
    std::map<int, QAction*> m_actions;
    QMenu* m_pApplicationMenu = nullptr;
    QMenu* m_pPrinterMenu = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pTopBar = nullptr;
    QComboBox* m_pFilter = nullptr;
    QPushButton* m_pDiscover = nullptr;
    QTextEdit* m_pSidePanel = nullptr;
    QLabel* m_pStatusPane = nullptr;
    QLabel* m_pCountPane = nullptr;
    QTimer* m_pTimer = nullptr;
    QTimer* m_pStateTimer = nullptr;
    QSplitter* m_pSplitter = nullptr;
    QString m_csServiceState;
    bool m_bOutcomeShown = false;
    bool m_bActivated = false;
    bool m_bSaved = false;
};
