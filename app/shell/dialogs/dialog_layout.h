// Small pieces every dialog of the program is built from.
#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;

// A modal dialog with a title, a close box and no resize grip; its layout
// fixes its size.
void PrepareFixedDialog(QDialog* dialog, const QString& title);

// "OK" (the default button) and "Cancel", wired to accept and reject.
QDialogButtonBox* MakeOkCancel(QDialog* dialog);

// Puts a shown dialog in the middle of the screen it is on.
void CentreOnScreen(QDialog* dialog);
