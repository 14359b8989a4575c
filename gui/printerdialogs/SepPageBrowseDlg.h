// CSepPageBrowseDlg: the file chooser for a separator page, opened by the
// Browse buttons of the printer dialogs and of the default values. It starts
// in the system directory and takes only an existing file. Always Qt's own
// dialog (never the desktop's), so that it looks the same everywhere and a
// test can answer it.
#pragma once

#include <QFileDialog>
#include <optional>

class CSepPageBrowseDlg : public QFileDialog {
    Q_OBJECT
public:
    explicit CSepPageBrowseDlg(QWidget* pParent = nullptr);

    // Runs the chooser; the full path of the chosen file, or nothing when the
    // user cancelled. csCurrent is preselected when it is a file of the system
    // directory.
    static std::optional<QString> Choose(QWidget* pParent, const QString& csCurrent);
};
