// The options dialog: what each page shows, the seconds rules, what "OK"
// writes (settings, autostart entry, the frame's message) and what "Cancel"
// leaves alone.
#include "app/shell/dialogs/option_dlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/shell/frame_hooks.h"
#include "app/shell/dialogs/dlg_options_general.h"
#include "app/shell/dialogs/dlg_options_monitor.h"
#include "app/shell/dialogs/dlg_options_prompt.h"
#include "platform/autostart.h"
#include "platform/file_system.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using dialogtest::PostedMessage;
using dialogtest::RecordingFrame;
using testsupport::RecordingMessageBoxes;

// A dialog over its own settings, with the autostart entry kept in a sandbox.
struct OptionsFixture {
  OptionsFixture() : config("XDG_CONFIG_HOME", box.dir().c_str()) {
    testsupport::OffscreenApp();
    settings.SavePath = "/home/u/Videos/";
  }
  COptionDlg& Open() {
    dialog = std::make_unique<COptionDlg>(settings, &frame, QStringLiteral("/opt/tamborel/Tamborel"));
    dialog->show();
    return *dialog;
  }
  CDlgOptionsPrompt& Prompt() { return *dialog->promptPage(); }

  testsupport::Sandbox box;
  testsupport::ScopedEnv config;
  Settings settings;
  RecordingFrame frame;
  std::unique_ptr<COptionDlg> dialog;
};

// Types `text` into the seconds field and moves the focus away from it.
void TypeSecondsAndLeave(CDlgOptionsPrompt& page, const QString& text) {
  page.secondsEdit()->setFocus();
  page.secondsEdit()->setText(text);
  emit page.secondsEdit()->editingFinished();
}

TEST(OptionDlg, PagesShowTheSettings) {
  OptionsFixture f;
  f.settings.ResumeTask = 1;
  f.settings.AutoStart = 0;
  f.settings.ShowTaskWnd = 0;
  f.settings.PlaySound = 0;
  f.settings.ShowFinishPopWnd = 1;
  f.settings.ClosePopWndWay = 0;
  f.settings.ClosePopWndSeconds = 45;
  f.settings.MediaTypeOn[3] = 0;
  COptionDlg& d = f.Open();
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Options"));
  ASSERT_EQ(d.tabs()->count(), 3);
  EXPECT_EQ(d.tabs()->tabText(0), QStringLiteral("General"));
  EXPECT_EQ(d.tabs()->tabText(1), QStringLiteral("Prompt"));
  EXPECT_EQ(d.tabs()->tabText(2), QStringLiteral("Monitor"));
  EXPECT_EQ(d.generalPage()->savePathEdit()->text(), QStringLiteral("/home/u/Videos/"));
  EXPECT_TRUE(d.generalPage()->resumeBox()->isChecked());
  EXPECT_FALSE(d.generalPage()->autoStartBox()->isChecked());
  EXPECT_FALSE(d.generalPage()->showTaskWndBox()->isChecked());
  EXPECT_FALSE(f.Prompt().soundBox()->isChecked());
  EXPECT_TRUE(f.Prompt().finishPopBox()->isChecked());
  EXPECT_TRUE(f.Prompt().manualButton()->isChecked());
  EXPECT_EQ(f.Prompt().secondsEdit()->text(), QStringLiteral("45"));
  for (int i = 0; i < kMediaTypeCount; ++i) {
    EXPECT_EQ(d.monitorPage()->typeBox(i)->isChecked(), i != 3 && i != 16) << i;
  }
  // The pages are white.
  EXPECT_EQ(d.generalPage()->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_TRUE(d.generalPage()->autoFillBackground());
}

TEST(OptionDlg, EachTypeBoxNamesTheTypeItSwitches) {
  OptionsFixture f;
  COptionDlg& d = f.Open();
  // The box's label carries the extension of the pattern it controls.
  const std::vector<MediaType> types = Settings::BuiltInMediaTypes();
  ASSERT_EQ(types.size(), static_cast<size_t>(kMediaTypeCount));
  for (int i = 0; i < kMediaTypeCount; ++i) {
    const QString extension = QString::fromStdString(types[i].Pattern).mid(1);  // "*.flv" -> ".flv"
    EXPECT_TRUE(d.monitorPage()->typeBox(i)->text().endsWith(QStringLiteral("(%1)").arg(extension)))
        << i << " " << d.monitorPage()->typeBox(i)->text().toStdString();
  }
  // Unticking one box switches off exactly that type.
  d.monitorPage()->typeBox(9)->setChecked(false);
  d.monitorPage()->typeBox(16)->setChecked(true);
  d.accept();
  for (int i = 0; i < kMediaTypeCount; ++i) EXPECT_EQ(f.settings.MediaTypeOn[i], i == 9 ? 0 : 1) << i;
}

TEST(OptionDlg, SecondsAreClampedWhenTheFieldIsLeft) {
  struct Case {
    const char* typed;
    const char* shown;
  } cases[] = {{"200", "120"}, {"1", "3"}, {"-7", "3"}, {"121", "120"}, {"3", "3"},
               {"120", "120"}, {"60", "60"}, {"abc", "abc"}, {"", ""}};
  OptionsFixture f;
  f.Open();
  for (const Case& c : cases) {
    TypeSecondsAndLeave(f.Prompt(), QString::fromLatin1(c.typed));
    EXPECT_EQ(f.Prompt().secondsEdit()->text(), QString::fromLatin1(c.shown)) << c.typed;
  }
}

TEST(OptionDlg, SpinStepsStayBetween3And120) {
  struct Case {
    const char* start;
    bool up;
    const char* after;
  } cases[] = {{"20", true, "21"},  {"20", false, "19"}, {"120", true, "120"},
               {"3", false, "3"},   {"119", true, "120"}, {"4", false, "3"},
               {"x", true, "3"},    {"x", false, "3"}};
  OptionsFixture f;
  f.Open();
  for (const Case& c : cases) {
    f.Prompt().secondsEdit()->setText(QString::fromLatin1(c.start));
    (c.up ? f.Prompt().stepUpButton() : f.Prompt().stepDownButton())->click();
    EXPECT_EQ(f.Prompt().secondsEdit()->text(), QString::fromLatin1(c.after))
        << c.start << (c.up ? " up" : " down");
  }
}

TEST(OptionDlg, ManualClosingDisablesTheSeconds) {
  OptionsFixture f;
  f.Open();
  CDlgOptionsPrompt& p = f.Prompt();
  ASSERT_TRUE(p.automaticButton()->isChecked());
  EXPECT_TRUE(p.secondsEdit()->isEnabled());
  EXPECT_TRUE(p.stepUpButton()->isEnabled());
  QTest::mouseClick(p.manualButton(), Qt::LeftButton);
  EXPECT_FALSE(p.secondsEdit()->isEnabled());
  EXPECT_FALSE(p.stepUpButton()->isEnabled());
  EXPECT_FALSE(p.stepDownButton()->isEnabled());
  QTest::keyClicks(p.secondsEdit(), QStringLiteral("9"));
  EXPECT_EQ(p.secondsEdit()->text(), QStringLiteral("20"));
  QTest::mouseClick(p.automaticButton(), Qt::LeftButton);
  EXPECT_TRUE(p.secondsEdit()->isEnabled());
}

TEST(OptionDlg, OkWritesThePagesAndTellsTheFrame) {
  OptionsFixture f;
  COptionDlg& d = f.Open();
  d.generalPage()->resumeBox()->setChecked(true);
  d.generalPage()->showTaskWndBox()->setChecked(false);
  f.Prompt().soundBox()->setChecked(false);
  f.Prompt().finishPopBox()->setChecked(false);
  f.Prompt().manualButton()->setChecked(true);
  f.Prompt().secondsEdit()->setText(QStringLiteral("90"));
  d.monitorPage()->typeBox(0)->setChecked(false);
  d.accept();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(f.settings.ResumeTask, 1);
  EXPECT_EQ(f.settings.ShowTaskWnd, 0);
  EXPECT_EQ(f.settings.PlaySound, 0);
  EXPECT_EQ(f.settings.ShowFinishPopWnd, 0);
  EXPECT_EQ(f.settings.ClosePopWndWay, 0);
  EXPECT_EQ(f.settings.ClosePopWndSeconds, 90);
  EXPECT_EQ(f.settings.MediaTypeOn[0], 0);
  EXPECT_EQ(f.frame.posted, (std::vector<PostedMessage>{{shell::UM_OPTIONS_CLOSED, 0, 0}}));
}

TEST(OptionDlg, CancelChangesNothing) {
  OptionsFixture f;
  COptionDlg& d = f.Open();
  d.generalPage()->savePathEdit()->setText(QStringLiteral("/tmp/elsewhere"));
  d.generalPage()->autoStartBox()->setChecked(true);
  f.Prompt().secondsEdit()->setText(QStringLiteral("99"));
  d.monitorPage()->typeBox(0)->setChecked(false);
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(f.settings.SavePath, "/home/u/Videos/");
  EXPECT_EQ(f.settings.AutoStart, 0);
  EXPECT_EQ(f.settings.ClosePopWndSeconds, 20);
  EXPECT_EQ(f.settings.MediaTypeOn[0], 1);
  EXPECT_TRUE(f.frame.posted.empty());
  EXPECT_FALSE(platform::FileExists(platform::AutoStartEntryPath()));
}

TEST(OptionDlg, SecondsThatAreNoNumberKeepTheOldValue) {
  struct Case {
    const char* typed;
    int stored;
    bool complaint;
  } cases[] = {{"abc", 20, true}, {"", 20, true}, {"12x", 20, true}, {"1.5", 20, true},
               {" 45 ", 45, false}, {"500", 120, false}, {"0", 3, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    OptionsFixture f;
    RecordingMessageBoxes boxes;
    COptionDlg& d = f.Open();
    f.Prompt().secondsEdit()->setText(QString::fromLatin1(c.typed));
    f.Prompt().soundBox()->setChecked(false);
    d.accept();
    EXPECT_EQ(f.settings.ClosePopWndSeconds, c.stored);
    EXPECT_EQ(f.settings.PlaySound, 0);  // the rest of the page is still taken
    if (c.complaint) {
      EXPECT_EQ(boxes.texts, std::vector<std::string>{"Tamborel: Enter an integer."});
    } else {
      EXPECT_TRUE(boxes.texts.empty());
    }
  }
}

TEST(OptionDlg, SavePathIsStoredWithItsSeparator) {
  struct Case {
    const char* typed;
    const char* stored;
  } cases[] = {{"/home/u/Films", "/home/u/Films/"},
               {"/home/u/Films/", "/home/u/Films/"},
               {"/", "/"},
               {"", "/home/u/Videos/"}};  // an emptied field keeps the old folder
  for (const Case& c : cases) {
    OptionsFixture f;
    COptionDlg& d = f.Open();
    d.generalPage()->savePathEdit()->setText(QString::fromUtf8(c.typed));
    d.accept();
    EXPECT_EQ(f.settings.SavePath, c.stored) << c.typed;
  }
}

TEST(OptionDlg, FolderPickerFillsTheSavePath) {
  OptionsFixture f;
  COptionDlg& d = f.Open();
  QString startedAt;
  QString answer = QStringLiteral("/srv/media");
  d.generalPage()->SetFolderPicker([&](QWidget*, const QString& start) {
    startedAt = start;
    return answer;
  });
  d.generalPage()->browseButton()->click();
  EXPECT_EQ(startedAt, QStringLiteral("/home/u/Videos/"));
  EXPECT_EQ(d.generalPage()->savePathEdit()->text(), QStringLiteral("/srv/media"));
  answer.clear();  // the picker was cancelled
  d.generalPage()->browseButton()->click();
  EXPECT_EQ(d.generalPage()->savePathEdit()->text(), QStringLiteral("/srv/media"));
}

TEST(OptionDlg, AutoStartWritesAndRemovesTheEntry) {
  OptionsFixture f;
  const std::string entry = platform::AutoStartEntryPath();
  ASSERT_EQ(entry.rfind(f.box.dir(), 0), 0u);

  COptionDlg& on = f.Open();
  on.generalPage()->autoStartBox()->setChecked(true);
  on.accept();
  EXPECT_EQ(f.settings.AutoStart, 1);
  ASSERT_TRUE(platform::FileExists(entry));
  EXPECT_NE(testsupport::ReadWholeFile(entry).find("\nExec=/opt/tamborel/Tamborel -min\n"),
            std::string::npos);

  COptionDlg& off = f.Open();
  EXPECT_TRUE(off.generalPage()->autoStartBox()->isChecked());
  off.generalPage()->autoStartBox()->setChecked(false);
  off.accept();
  EXPECT_EQ(f.settings.AutoStart, 0);
  EXPECT_FALSE(platform::FileExists(entry));
}

TEST(OptionDlg, TheLastTabIsShownFirstNextTime) {
  OptionsFixture f;
  f.Open().tabs()->setCurrentIndex(2);
  f.dialog->reject();
  EXPECT_EQ(f.Open().tabs()->currentIndex(), 2);
  EXPECT_EQ(f.dialog->tabs()->currentWidget(), f.dialog->monitorPage());
  f.dialog->tabs()->setCurrentIndex(0);
  f.dialog->accept();
  EXPECT_EQ(f.Open().tabs()->currentIndex(), 0);
}

}  // namespace
