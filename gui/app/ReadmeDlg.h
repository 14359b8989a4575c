// CReadmeDlg: the readme of the driver package in a read-only text window of
// the program's own, so Help > Readme file works on any desktop.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;

class CReadmeDlg : public QDialog {
    Q_OBJECT
public:
    // A readme larger than this is refused: it is not the package's.
    static constexpr int64_t kMaxReadmeBytes = 1 << 20;

    explicit CReadmeDlg(QWidget* pParent = nullptr);
    // Reads the file into the window; false with the reason in *pcsError.
    bool Load(const std::string& csPath, std::string* pcsError);
    QPlainTextEdit* Text() const { return m_pText; }

private:
    QPlainTextEdit* m_pText;
};
