// The printer icon with a small overlay per state, so both views of the list
// show at a glance what needs action: awaiting, created, can't print, ignored,
// error, unsupported.
#pragma once

#include <QIcon>
#include <QString>

class CPrinter;

enum class EStateOverlay { None, Awaiting, Created, CantPrint, Ignored, Error, Unsupported };

// A printer that cannot print from this workstation shows that before its
// state: it needs the user whatever its state says.
EStateOverlay OverlayFor(const CPrinter& printer);
// The printer icon (16, 32 and 48 pixels) with the overlay; made once per kind.
QIcon StateIcon(EStateOverlay eOverlay);
// A row's tool tip: its state, model and workstation printer names.
QString RowToolTip(const CPrinter& printer);
