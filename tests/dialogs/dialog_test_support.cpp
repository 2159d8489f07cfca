#include "tests/dialogs/dialog_test_support.h"

#include <QDialog>
#include <QPointer>

// Fontconfig keeps its caches to the end of the process; that is not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace dialogtest {

std::unique_ptr<QObject> WhenModalShows(std::function<void(QWidget*)> act, bool* stillOpen) {
  if (stillOpen) *stillOpen = false;
  auto context = std::make_unique<QObject>();
  QObject* guard = context.get();
  QTimer::singleShot(0, guard, [guard, act = std::move(act), stillOpen] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    QPointer<QWidget> watched(modal);
    act(modal);
    QTimer::singleShot(0, guard, [watched, stillOpen] {
      if (!watched || QApplication::activeModalWidget() != watched) return;
      QWidget* modal = watched;
      if (stillOpen) *stillOpen = true;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(-1);
    });
  });
  return context;
}

}  // namespace dialogtest
