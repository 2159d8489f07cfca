// The "Error Report" dialog on its own (offscreen): its texts, the report
// in the edit field, and which answer each way of ending it gives.
#include "crashreport/dialog/dlg_faultwick.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

// Fontconfig keeps its caches to the end of the process; that is not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// Made once and never destroyed: Qt's teardown at exit outlives its plugins.
QApplication& App() {
  static int argc = 1;
  static char name[] = "dlg_faultwick_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

TEST(DlgFaultwick, ShowsTheTextsAndTheReport) {
  App();
  CDlgFaultwick dialog(QStringLiteral("Total Memory: 1(KB)\r\nError Code: C0000005\r\n"));
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Error Report"));
  QStringList texts;
  for (QLabel* l : dialog.findChildren<QLabel*>()) texts << l->text();
  EXPECT_TRUE(texts.contains(QStringLiteral(
      "The program has encountered a problem and need to close. We are sorry for the "
      "inconvenience.")));
  EXPECT_TRUE(texts.contains(QStringLiteral("Please tell us this problem.")));
  EXPECT_TRUE(texts.contains(QStringLiteral(
      "We have create an error report that you can send to us to solve this problem. The "
      "following is the summary of this error report: ")));
  auto* edit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("1001"));
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->isReadOnly());
  EXPECT_EQ(edit->toPlainText(), QStringLiteral("Total Memory: 1(KB)\nError Code: C0000005\n"));
  EXPECT_EQ(dialog.send_button()->text(), QStringLiteral("Send Report"));
  EXPECT_TRUE(dialog.send_button()->isDefault());
  EXPECT_TRUE(dialog.send_button()->isHidden());
  EXPECT_EQ(dialog.close_button()->text(), QStringLiteral("Close"));
  EXPECT_TRUE(dialog.close_button()->isVisible());
}

TEST(DlgFaultwick, EachWayOutGivesItsButton) {
  App();
  struct Case {
    const char* name;
    std::function<void(CDlgFaultwick&)> act;
    int result;
  } cases[] = {
      {"Enter chooses the default button",
       [](CDlgFaultwick& d) {
         QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
         QCoreApplication::sendEvent(&d, &enter);
       },
       CDlgFaultwick::kSendReport},
      {"Close", [](CDlgFaultwick& d) { d.close_button()->click(); }, CDlgFaultwick::kClose},
      {"Enter on the focused Close button",
       [](CDlgFaultwick& d) {
         d.close_button()->setFocus();
         QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
         QCoreApplication::sendEvent(&d, &enter);
       },
       CDlgFaultwick::kClose},
      {"Escape",
       [](CDlgFaultwick& d) {
         QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QCoreApplication::sendEvent(&d, &esc);
       },
       CDlgFaultwick::kClose},
      {"the window's close button", [](CDlgFaultwick& d) { d.close(); }, CDlgFaultwick::kClose},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CDlgFaultwick dialog(QStringLiteral("report\r\n"));
    QTimer::singleShot(0, &dialog, [&] { c.act(dialog); });
    EXPECT_EQ(dialog.exec(), c.result);
  }
}

}  // namespace
