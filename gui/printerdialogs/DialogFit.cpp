#include "gui/printerdialogs/DialogFit.h"

#include <QDialog>
#include <QEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// A scroll area whose wish is its form's whole size: the dialog is as large as
// before where there is room.
class CFormScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const QSize form = widget() ? widget()
                                          ->sizeHint()
                                          .expandedTo(widget()->minimumSizeHint())
                                          .expandedTo(widget()->minimumSize())
                                    : QSize();
        return form + QSize(2 * frameWidth(), 2 * frameWidth());
    }
    QSize minimumSizeHint() const override {
        return QSize(verticalScrollBar()->sizeHint().width() * 4,
                     horizontalScrollBar()->sizeHint().height() * 4);
    }
};

class CDialogFitter : public QObject {
public:
    explicit CDialogFitter(QDialog* pDialog) : QObject(pDialog), m_pDialog(pDialog) {}
    bool eventFilter(QObject* pObject, QEvent* pEvent) override {
        if (pObject == m_pDialog && pEvent->type() == QEvent::Show && !m_bFitted) {
            m_bFitted = true;
            Fit();
        }
        return false;
    }

private:
    void Fit() {
        QWidget* pParent =
            m_pDialog->parentWidget() ? m_pDialog->parentWidget()->window() : nullptr;
        QScreen* pScreen = pParent ? pParent->screen() : m_pDialog->screen();
        QRect bound = pScreen ? pScreen->availableGeometry() : QRect();
        if (pParent && pParent->isVisible())
            bound = bound.isValid() ? bound.intersected(pParent->frameGeometry())
                                    : pParent->frameGeometry();
        if (!bound.isValid())
            return;
        // The window frame's share of the dialog's outer size.
        const QSize frame = m_pDialog->frameGeometry().size() - m_pDialog->size();
        const QSize room = (bound.size() - frame).expandedTo(m_pDialog->minimumSizeHint());
        // The whole wish where there is room (the platform's first size may
        // be less), else the room.
        const QSize size = m_pDialog->sizeHint().expandedTo(m_pDialog->size()).boundedTo(room);
        if (size != m_pDialog->size())
            m_pDialog->resize(size);
        const QRect centre = pParent && pParent->isVisible() ? pParent->frameGeometry() : bound;
        QRect rect(QPoint(0, 0), size);
        rect.moveCenter(centre.center());
        m_pDialog->move(rect.topLeft());
    }

    QDialog* m_pDialog;
    bool m_bFitted = false;
};

} // namespace

QWidget* ScrollableForm(QWidget* pForm, QWidget* pParent) {
    auto* pArea = new CFormScrollArea(pParent);
    pArea->setObjectName("formScrollArea");
    pArea->setFrameShape(QFrame::NoFrame);
    pArea->setWidgetResizable(true);
    pArea->setWidget(pForm);
    return pArea;
}

void FitDialog(QDialog* pDialog) {
    pDialog->installEventFilter(new CDialogFitter(pDialog));
}
