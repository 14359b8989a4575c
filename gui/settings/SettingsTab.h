// CSettingsTab: one tab of a settings notebook. It reads its settings when it
// is first shown, keeps the values it read beside those in its controls, and
// when the notebook applies writes only the values that changed. Its bitmap
// sits at (10, 10) with the controls to its right.
#pragma once

#include <QPixmap>
#include <QWidget>

class QVBoxLayout;

class CSettingsTab : public QWidget {
    Q_OBJECT
public:
    CSettingsTab(const QString& csTitle, const char* pszObjectName, QWidget* pParent = nullptr);

    const QString& Title() const { return m_csTitle; }
    bool Initialised() const { return m_bInitialised; }
    bool IsModified() const { return m_bModified; }

    // Reads the settings into the controls the first time; false when the tab
    // cannot be used, which closes the notebook as Cancel would.
    bool Init();
    // Checks the values of the controls; false (after telling the user) keeps
    // the notebook open on this tab.
    virtual bool Validate() { return true; }
    // Writes what changed if the tab was marked changed; false when a write failed.
    bool Apply();

signals:
    void Modified();

protected:
    virtual bool OnInitDialog() = 0;
    virtual bool OnApply() = 0;
    // Marks the tab changed (any click or edit of its controls).
    void SetModified();
    // The column beside the bitmap that holds the tab's controls.
    QVBoxLayout* Body() const { return m_pBody; }
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QString m_csTitle;
    QPixmap m_bitmap;
    QVBoxLayout* m_pBody;
    bool m_bInitialised = false;
    bool m_bModified = false;
};
