// Dialogs that fit: a form in a scroll area, so that its dialog may be smaller
// than the form, and a dialog kept within its parent window and the screen.
#pragma once

class QDialog;
class QWidget;

// The form inside a frameless scroll area that asks for the form's whole size
// and scrolls only when it is given less.
QWidget* ScrollableForm(QWidget* pForm, QWidget* pParent);
// From its first showing on, the dialog is no larger than its parent window
// (when it has one) and the screen's free area, and centred on the parent.
void FitDialog(QDialog* pDialog);
