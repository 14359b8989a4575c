#include "gui/app/ReadmeDlg.h"

#include "gui/app/QtStrings.h"
#include "gui/core/StringIds.h"
#include "platform/error.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CReadmeDlg::CReadmeDlg(QWidget* pParent) : QDialog(pParent), m_pText(new QPlainTextEdit(this)) {
    setObjectName("readmeDlg");
    setWindowTitle(VexQString(IDS_APP_TITLE) + " - Readme");
    m_pText->setObjectName("readmeText");
    m_pText->setReadOnly(true);
    m_pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pText);
    pLayout->addWidget(pButtons);
    resize(560, 420);
}

bool CReadmeDlg::Load(const std::string& csPath, std::string* pcsError) {
    QFile file(QString::fromStdString(csPath));
    if (!file.open(QIODevice::ReadOnly)) {
        *pcsError = file.error() == QFileDevice::OpenError && !file.exists()
                        ? platform::ErrorText(platform::ERROR_FILE_NOT_FOUND)
                        : file.errorString().toStdString();
        return false;
    }
    const QByteArray bytes = file.read(kMaxReadmeBytes + 1);
    if (bytes.size() > kMaxReadmeBytes) {
        *pcsError = "the file is larger than 1 MB";
        return false;
    }
    m_pText->setPlainText(QString::fromUtf8(bytes));
    return true;
}
