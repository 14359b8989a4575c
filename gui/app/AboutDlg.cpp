#include "gui/app/AboutDlg.h"

#include "gui/app/QtStrings.h"
#include "gui/core/StringIds.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent) {
    setObjectName("aboutDlg");
    setWindowTitle("About " + VexQString(IDS_APP_TITLE));
    auto* pPicture = new QLabel(this);
    pPicture->setPixmap(QPixmap(":/vexgui/splash.png"));
    auto* pText =
        new QLabel(VexQString(IDS_APP_TITLE) + " version 1.0\n"
                                               "Finds the network printers and creates print "
                                               "queues for them.\nRuns on Linux (POSIX) today.",
                   this);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pPicture);
    pLayout->addWidget(pText);
    pLayout->addWidget(pButtons);
}
