// Dialogs fit their parent window and the screen: a form taller than the
// window scrolls inside a dialog that is no taller than the window.
#include "gui/printerdialogs/DialogFit.h"
#include "GuiTestSupport.h"

#include <QDialog>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <gtest/gtest.h>

TEST(DialogFitTest, AFormTallerThanItsWindowScrollsInADialogThatFits) {
    QWidget window;
    window.setGeometry(50, 50, 500, 300);
    window.show();
    ASSERT_TRUE(vexguitest::WaitForUi([&] { return window.isVisible(); }));

    auto makeDialog = [&](int iFormHeight) {
        auto* pDialog = new QDialog(&window);
        auto* pForm = new QLabel("form");
        pForm->setMinimumSize(200, iFormHeight);
        auto* pLayout = new QVBoxLayout(pDialog);
        pLayout->addWidget(ScrollableForm(pForm, pDialog));
        FitDialog(pDialog);
        pDialog->show();
        return pDialog;
    };
    QDialog* pTall = makeDialog(900);
    EXPECT_LE(pTall->frameGeometry().height(), window.frameGeometry().height());
    EXPECT_TRUE(window.frameGeometry().contains(pTall->frameGeometry().center()));
    auto* pArea = pTall->findChild<QScrollArea*>("formScrollArea");
    ASSERT_NE(pArea, nullptr);
    EXPECT_LT(pArea->viewport()->height(), 900);

    // A form with room keeps its whole size: nothing scrolls.
    QDialog* pSmall = makeDialog(120);
    auto* pSmallArea = pSmall->findChild<QScrollArea*>("formScrollArea");
    EXPECT_TRUE(vexguitest::WaitForUi([&] { return pSmallArea->viewport()->height() >= 120; }))
        << pSmallArea->viewport()->height();
}
