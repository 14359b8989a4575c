// CSettingsSheet: a modal notebook of settings tabs with OK, Cancel and Apply.
// A tab reads its settings when it is first shown. OK and Apply check every
// tab that was shown (a tab whose check fails is brought to the front and the
// notebook stays open), then write what changed; Cancel writes nothing.
// Leaving a tab whose values fail the check is refused.
#pragma once

#include <QDialog>
#include <vector>

class CSettingsTab;
class QPushButton;
class QTabWidget;

class CSettingsSheet : public QDialog {
    Q_OBJECT
public:
    CSettingsSheet(uint32_t uiTitleId, const char* pszObjectName, QWidget* pParent = nullptr);

    QTabWidget* Tabs() const { return m_pTabs; }
    QPushButton* ApplyButton() const { return m_pApply; }

    // OK: check, write, close.
    void accept() override;
    // Apply: check and write, and stay open. False when the notebook stays as it was.
    bool ApplyNow();

protected:
    void AddTab(CSettingsTab* pTab);
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnCurrentChanged(int iIndex);
    bool ValidateShownTabs();
    bool ApplyShownTabs();
    void UpdateApplyButton();

    QTabWidget* m_pTabs;
    QPushButton* m_pApply;
    std::vector<CSettingsTab*> m_tabs;
    int m_iCurrent = -1;
    bool m_bSwitchingBack = false;
};
