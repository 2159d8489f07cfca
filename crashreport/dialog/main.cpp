// Shows the "Error Report" dialog for the report text read from standard
// input; the exit code is the button: 1 "Send Report", 2 "Close".
//
// For tests without a person at the screen, FAULTWICK_DIALOG_ANSWER=send
// presses Enter (the default button) and =close clicks "Close" once the
// dialog is up; FAULTWICK_DIALOG_SCREENSHOT=FILE.png saves a picture of it
// first.
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "crashreport/dialog/dlg_faultwick.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QFile in;
  QByteArray text;
  if (in.open(stdin, QIODevice::ReadOnly)) text = in.readAll();

  CDlgFaultwick dialog(QString::fromUtf8(text));
  const QByteArray answer = qgetenv("FAULTWICK_DIALOG_ANSWER");
  const QByteArray screenshot = qgetenv("FAULTWICK_DIALOG_SCREENSHOT");
  if (!answer.isEmpty() || !screenshot.isEmpty()) {
    QTimer::singleShot(0, &dialog, [&] {
      if (!screenshot.isEmpty()) dialog.grab().save(QString::fromLocal8Bit(screenshot));
      if (answer == "send") {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &enter);
      } else if (answer == "close") {
        dialog.close_button()->click();
      }
    });
  }
  return dialog.exec();
}
