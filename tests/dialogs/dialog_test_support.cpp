#include "tests/dialogs/dialog_test_support.h"

#include <QDialog>
#include <QPointer>

// Fontconfig keeps its caches to the end of the process; that is not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace dialogtest {

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_dialogs";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Made once and never destroyed: Qt's teardown at exit outlives its plugins.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

void WhenModalShows(std::function<void(QWidget*)> act, bool* stillOpen) {
  if (stillOpen) *stillOpen = false;
  QTimer::singleShot(0, [act = std::move(act), stillOpen] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    QPointer<QWidget> watched(modal);
    act(modal);
    QTimer::singleShot(0, [watched, stillOpen] {
      if (!watched || QApplication::activeModalWidget() != watched) return;
      QWidget* modal = watched;
      if (stillOpen) *stillOpen = true;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(-1);
    });
  });
}

}  // namespace dialogtest
