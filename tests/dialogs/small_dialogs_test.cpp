// The close-action question, the task-existed notice, the permanent-delete
// confirmation, the tutorial and the about box.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/shell/frame_hooks.h"
#include "app/shell/dialogs/dlg_about.h"
#include "app/shell/dialogs/dlg_action_when_close.h"
#include "app/shell/dialogs/dlg_task_existed.h"
#include "app/shell/dialogs/dlg_tutorial.h"
#include "app/shell/dialogs/msg_box_dlg.h"
#include "app/shell/dialogs/tutorial_movie.h"
#include "flash/flash_control.h"
#include "flash/movie.h"
#include "tests/dialogs/dialog_test_support.h"

namespace {

using dialogtest::PostedMessage;
using dialogtest::RecordingFrame;
using dialogtest::WhenModalShows;

QStringList LabelTexts(const QWidget& w) {
  QStringList texts;
  for (QLabel* l : w.findChildren<QLabel*>()) texts << l->text();
  return texts;
}

TEST(DlgActionWhenClose, PresetAndAnswers) {
  testsupport::OffscreenApp();
  struct Case {
    int preset;
    const char* choose;  // object name of the radio button to choose, or null
    bool tickDoNotAsk;
    bool ok;
    std::optional<int> action;
    bool doNotAsk;
  } cases[] = {
      {shell::kCloseToTray, nullptr, false, true, shell::kCloseToTray, false},
      {shell::kCloseProgram, nullptr, false, true, shell::kCloseProgram, false},
      {0, nullptr, true, true, shell::kCloseProgram, true},
      {shell::kCloseToTray, "1073", true, true, shell::kCloseProgram, true},
      {shell::kCloseProgram, "1074", false, true, shell::kCloseToTray, false},
      {shell::kCloseToTray, "1073", true, false, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.preset << " " << (c.choose ? c.choose : "-"));
    auto modal = WhenModalShows([&c](QWidget* w) {
      auto* d = static_cast<CDlgActionWhenClose*>(w);
      EXPECT_EQ(d->windowTitle(), QStringLiteral("Select your action"));
      EXPECT_EQ(d->trayButton()->isChecked(), c.preset == shell::kCloseToTray);
      EXPECT_EQ(d->closeButton()->isChecked(), c.preset != shell::kCloseToTray);
      EXPECT_FALSE(d->doNotAskBox()->isChecked());
      if (c.choose) d->findChild<QRadioButton*>(QString::fromLatin1(c.choose))->click();
      if (c.tickDoNotAsk) d->doNotAskBox()->click();
      if (c.ok) d->accept(); else QTest::keyClick(d, Qt::Key_Escape);
    });
    std::optional<CloseChoice> choice = CDlgActionWhenClose::Ask(c.preset, nullptr);
    ASSERT_EQ(choice.has_value(), c.action.has_value());
    if (choice) {
      EXPECT_EQ(choice->action, *c.action);
      EXPECT_EQ(choice->doNotAskAgain, c.doNotAsk);
    }
  }
}

TEST(DlgTaskExisted, EachButtonPostsOnceAndTheDialogCloses) {
  testsupport::OffscreenApp();
  struct Case {
    const char* button;
    uint32_t message;
  } cases[] = {{"1075", shell::UM_DOWNLOAD_AGAIN}, {"1111", shell::UM_SHOW_TASK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    RecordingFrame frame;
    CDlgTaskExisted d(&frame, QStringLiteral("http://a.example/v.flv"), 42, nullptr, 50);
    d.show();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Dialog"));
    EXPECT_TRUE(LabelTexts(d).contains(QStringLiteral("The task has existed in your list.")));
    auto* address = d.findChild<QPlainTextEdit*>(QStringLiteral("1076"));
    ASSERT_NE(address, nullptr);
    EXPECT_TRUE(address->isReadOnly());
    EXPECT_EQ(address->toPlainText(), QStringLiteral("http://a.example/v.flv"));
    EXPECT_EQ(d.downloadAgainButton()->text(), QStringLiteral("Download Again"));
    EXPECT_EQ(d.checkButton()->text(), QStringLiteral("Check"));

    auto* button = d.findChild<QPushButton*>(QString::fromLatin1(c.button));
    button->click();
    button->click();  // a second click in the closing time asks nothing more
    d.checkButton()->click();
    EXPECT_EQ(frame.posted, (std::vector<PostedMessage>{{c.message, 0, 42}}));
    EXPECT_TRUE(d.isVisible());  // it stays a moment
    EXPECT_TRUE(QTest::qWaitFor([&] { return !d.isVisible(); }, 10000));
    EXPECT_EQ(d.result(), QDialog::Accepted);
  }
}

TEST(DlgTaskExisted, ClosingOtherwisePostsNothing) {
  testsupport::OffscreenApp();
  RecordingFrame frame;
  CDlgTaskExisted d(&frame, QStringLiteral("http://a.example/v.flv"), 7);
  d.show();
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
  EXPECT_TRUE(frame.posted.empty());
}

TEST(MsgBoxDlg, TheBoxStartsTickedAndOkReturnsIt) {
  testsupport::OffscreenApp();
  struct Case {
    int clicks;
    bool ok;
    std::optional<bool> result;
  } cases[] = {{0, true, true}, {1, true, false}, {2, true, true}, {0, false, std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.clicks << (c.ok ? " OK" : " Cancel"));
    auto modal = WhenModalShows([&c](QWidget* w) {
      auto* d = static_cast<CMsgBoxDlg*>(w);
      EXPECT_EQ(d->windowTitle(), QStringLiteral("Confirm"));
      EXPECT_TRUE(LabelTexts(*d).contains(
          QStringLiteral("Are you sure to delete the selected downloads permanently ?")));
      EXPECT_EQ(d->deleteFilesBox()->text(), QStringLiteral("Also delete downloaded files"));
      EXPECT_TRUE(d->deleteFilesBox()->isChecked());
      for (int i = 0; i < c.clicks; ++i) QTest::mouseClick(d->deleteFilesBox(), Qt::LeftButton);
      if (c.ok) d->accept(); else d->reject();
    });
    EXPECT_EQ(CMsgBoxDlg::Ask(nullptr), c.result);
  }
}

TEST(DlgTutorial, TheBoxIsTakenHoweverTheDialogCloses) {
  testsupport::OffscreenApp();
  struct Case {
    const char* name;
    bool tick;
    std::function<void(CDlgTutorial*)> close;
    bool result;
  } cases[] = {
      {"Close", true, [](CDlgTutorial* d) { d->closeButton()->click(); }, true},
      {"Close, not ticked", false, [](CDlgTutorial* d) { d->closeButton()->click(); }, false},
      {"close box", true, [](CDlgTutorial* d) { d->close(); }, true},
      {"Escape", true, [](CDlgTutorial* d) { QTest::keyClick(d, Qt::Key_Escape); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget* made = nullptr;
    bool stillOpen = false;
    auto modal = WhenModalShows(
        [&](QWidget* w) {
          auto* d = static_cast<CDlgTutorial*>(w);
          if (c.tick) d->doNotShowBox()->click();
          c.close(d);
        },
        &stillOpen);
    bool result = CDlgTutorial::Run(nullptr, [&](QWidget* parent) {
      made = new QWidget(parent);
      return made;
    });
    EXPECT_FALSE(stillOpen);
    EXPECT_EQ(result, c.result);
    EXPECT_NE(made, nullptr);
  }
}

TEST(DlgTutorial, Layout) {
  testsupport::OffscreenApp();
  CDlgTutorial d([](QWidget* parent) { return new QWidget(parent); });
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Tamborel Tutorial"));
  EXPECT_EQ(d.size(), QSize(720, 590));
  EXPECT_EQ(d.movie()->geometry(), QRect(0, 0, 720, 550));
  EXPECT_EQ(d.doNotShowBox()->text(), QStringLiteral("Do not show this tutorial on startup"));
  EXPECT_EQ(d.doNotShowBox()->geometry().topLeft(), QPoint(20, 560));
  EXPECT_FALSE(d.doNotShowBox()->isChecked());
  EXPECT_EQ(d.closeButton()->geometry(), QRect(580, 560, 120, 23));
  EXPECT_EQ(d.closeButton()->text(), QStringLiteral("Close"));
  // Without a movie the dialog still opens, with its place left empty.
  CDlgTutorial empty([](QWidget*) { return nullptr; });
  EXPECT_EQ(empty.movie(), nullptr);
}

TEST(DlgAbout, ShowsNameAndVersion) {
  testsupport::OffscreenApp();
  CDlgAbout d;
  EXPECT_EQ(d.windowTitle(), QStringLiteral("About"));
  QStringList texts = LabelTexts(d);
  EXPECT_TRUE(texts.contains(QStringLiteral("Tamborel")));
  EXPECT_TRUE(texts.contains(QStringLiteral("Version 2.0 Build 091217")));
  auto buttons = d.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(buttons[0]->text(), QStringLiteral("OK"));
}

}  // namespace

namespace {

TEST(TutorialMovie, TheTutorialFromTheProgramFolder) {
  testsupport::OffscreenApp();
  CDlgTutorial d(MakeTutorialMovie);
  auto* control = qobject_cast<flash::FlashControl*>(d.movie());
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->ControlId(), 1021);
  ASSERT_NE(control->CurrentMovie(), nullptr);  // the build puts tutorial.swf beside the program
  EXPECT_EQ(control->CurrentMovie()->Kind(), QStringLiteral("tutorial"));
  EXPECT_EQ(control->geometry(), QRect(0, 0, 720, 550));
}

}  // namespace
