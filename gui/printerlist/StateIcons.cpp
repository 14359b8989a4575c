#include "gui/printerlist/StateIcons.h"

#include "common/Printer.h"
#include "common/VexData.h"
#include "gui/core/PrinterRowText.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>

namespace {

// The badge's colour and mark for each overlay.
struct SBadge {
    QColor colour;
    char cMark; // '?', 'v' (check), '/' (barred), '-', '!', 'x'
};

SBadge BadgeOf(EStateOverlay eOverlay) {
    switch (eOverlay) {
    case EStateOverlay::Awaiting:
        return {QColor(0, 90, 200), '?'};
    case EStateOverlay::Created:
        return {QColor(0, 140, 40), 'v'};
    case EStateOverlay::CantPrint:
        return {QColor(200, 0, 0), '/'};
    case EStateOverlay::Ignored:
        return {QColor(120, 120, 120), '-'};
    case EStateOverlay::Error:
        return {QColor(220, 60, 0), '!'};
    case EStateOverlay::Unsupported:
        return {QColor(150, 100, 0), 'x'};
    case EStateOverlay::None:
        break;
    }
    return {QColor(), ' '};
}

void PaintBadge(QPixmap* pPixmap, EStateOverlay eOverlay) {
    const SBadge badge = BadgeOf(eOverlay);
    const qreal side = pPixmap->width() * 0.55;
    const QRectF rect(pPixmap->width() - side, pPixmap->height() - side, side, side);
    QPainter painter(pPixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, std::max<qreal>(1.0, side / 10)));
    painter.setBrush(badge.colour);
    painter.drawEllipse(rect.adjusted(0.5, 0.5, -0.5, -0.5));
    QPen mark(Qt::white, std::max<qreal>(1.2, side / 6), Qt::SolidLine, Qt::RoundCap);
    painter.setPen(mark);
    painter.setBrush(Qt::NoBrush);
    const QRectF in = rect.adjusted(side * 0.28, side * 0.28, -side * 0.28, -side * 0.28);
    switch (badge.cMark) {
    case 'v': {
        QPainterPath path;
        path.moveTo(in.left(), in.center().y());
        path.lineTo(in.left() + in.width() * 0.4, in.bottom());
        path.lineTo(in.right(), in.top());
        painter.drawPath(path);
        break;
    }
    case '/':
        painter.drawLine(in.topRight(), in.bottomLeft());
        break;
    case '-':
        painter.drawLine(QPointF(in.left(), in.center().y()), QPointF(in.right(), in.center().y()));
        break;
    case 'x':
        painter.drawLine(in.topLeft(), in.bottomRight());
        painter.drawLine(in.topRight(), in.bottomLeft());
        break;
    case '!':
        painter.drawLine(QPointF(in.center().x(), in.top()),
                         QPointF(in.center().x(), in.top() + in.height() * 0.6));
        painter.drawPoint(QPointF(in.center().x(), in.bottom()));
        break;
    case '?': {
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(std::max(6, int(side * 0.8)));
        painter.setFont(font);
        painter.drawText(rect, Qt::AlignCenter, "?");
        break;
    }
    default:
        break;
    }
}

QIcon MakeIcon(EStateOverlay eOverlay) {
    QIcon icon;
    for (int iSize : {16, 32, 48}) {
        QPixmap pixmap(QString(":/vexgui/printer-%1.png").arg(iSize));
        if (pixmap.isNull())
            continue;
        if (eOverlay != EStateOverlay::None)
            PaintBadge(&pixmap, eOverlay);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

EStateOverlay OverlayFor(const CPrinter& printer) {
    if ((printer.m_VexState == eVexWaiting || printer.m_VexState == eVexAdded) &&
        (printer.m_uiPrtConfig1Var & PRT_CONFIG1_CAN_PRINT_MASK) != PRT_CONFIG1_CAN_PRINT_MASK)
        return EStateOverlay::CantPrint;
    switch (printer.m_VexState) {
    case eVexWaiting:
        return EStateOverlay::Awaiting;
    case eVexAdded:
        return EStateOverlay::Created;
    case eVexIgnore:
        return EStateOverlay::Ignored;
    case eVexAddError:
        return EStateOverlay::Error;
    case eVexUnsupported:
        return EStateOverlay::Unsupported;
    default:
        return EStateOverlay::None;
    }
}

QIcon StateIcon(EStateOverlay eOverlay) {
    static std::array<QIcon, 7> icons;
    QIcon& icon = icons[size_t(eOverlay)];
    if (icon.isNull())
        icon = MakeIcon(eOverlay);
    return icon;
}

QString RowToolTip(const CPrinter& printer) {
    const std::string csNames = printer.m_csIconName.empty() ? "-" : printer.m_csIconName;
    return QString::fromStdString(ColumnHeader(eColumnState) + ": " + StateText(printer) + "\n" +
                                  ColumnHeader(eColumnModel) + ": " + printer.m_csPrinterModel +
                                  "\n" + ColumnHeader(eColumnIconNames) + ": " +
                                  ShownIconNames(csNames));
}
