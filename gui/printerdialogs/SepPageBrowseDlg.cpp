#include "gui/printerdialogs/SepPageBrowseDlg.h"

#include "common/Trace.h"
#include "gui/app/QtStrings.h"
#include "gui/core/StringIds.h"
#include "platform/os.h"

#include <QDir>
#include <QFileInfo>

CSepPageBrowseDlg::CSepPageBrowseDlg(QWidget* pParent)
    : QFileDialog(pParent, VexQString(IDS_SEPARATOR_PAGE),
                  QString::fromStdString(platform::GetSystemDirectory())) {
    setObjectName("sepPageBrowseDlg");
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    // Only a file that exists, in a folder that exists.
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters({"Separator Pages (*.sep)", "All files (*)"});
    setLabelText(QFileDialog::Accept, "&OK");
}

std::optional<QString> CSepPageBrowseDlg::Choose(QWidget* pParent, const QString& csCurrent) {
    CTraceScope scope("CSepPageBrowseDlg::Choose");
    CSepPageBrowseDlg dialog(pParent);
    // The chooser starts in the system directory; the current page is
    // preselected when it lies there.
    const QFileInfo current(csCurrent);
    if (!csCurrent.isEmpty() && current.isFile() &&
        current.absoluteDir() == QDir(dialog.directory()))
        dialog.selectFile(current.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        scope.Result("cancelled");
        return std::nullopt;
    }
    const QString csPath = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    scope.Result("%s", qPrintable(csPath));
    return csPath;
}
