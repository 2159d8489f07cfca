// "Monitored programs": adding and removing browsers, the Chrome refusal,
// and the "next time" notice only when the monitored set changed.
#include "app/shell/dialogs/dlg_options_capture.h"

#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include "tests/dialogs/dialog_test_support.h"

namespace {

using testsupport::RecordingMessageBoxes;

struct Row {
  std::string text;
  bool checked;
  bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(const CDlgOptionsCapture& d) {
  std::vector<Row> rows;
  for (int i = 0; i < d.list()->count(); ++i) {
    rows.push_back({d.list()->item(i)->text().toStdString(),
                    d.list()->item(i)->checkState() == Qt::Checked});
  }
  return rows;
}

Settings DefaultSettings() {
  Settings s;
  s.Browsers = Settings::ParseBrowsers("iexplore.exe,firefox.exe,opera.exe,maxthon.exe", "links.exe");
  return s;
}

TEST(DlgOptionsCapture, ShowsTheBrowserList) {
  testsupport::OffscreenApp();
  Settings s = DefaultSettings();
  CDlgOptionsCapture d(s);
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Monitored programs"));
  EXPECT_EQ(Rows(d), (std::vector<Row>{{" iexplore.exe", true},
                                       {" firefox.exe", true},
                                       {" opera.exe", true},
                                       {" maxthon.exe", true},
                                       {" links.exe", false}}));
  EXPECT_FALSE(d.removeButton()->isEnabled());  // nothing selected
}

TEST(DlgOptionsCapture, InstalledBrowsersNoEntryNamesAreOfferedUnticked) {
  testsupport::OffscreenApp();
  Settings s = DefaultSettings();
  // firefox-esr is what " firefox.exe" already names.
  CDlgOptionsCapture d(s, nullptr, {"chromium", "firefox-esr", "chrome", "chromium", "links"});
  EXPECT_EQ(Rows(d), (std::vector<Row>{{" iexplore.exe", true},
                                       {" firefox.exe", true},
                                       {" opera.exe", true},
                                       {" maxthon.exe", true},
                                       {" links.exe", false},
                                       {" chromium", false},
                                       {" chrome", false}}));
  d.list()->setCurrentRow(5);
  EXPECT_FALSE(d.removeButton()->isEnabled());  // chromium comes with the program
  d.list()->setCurrentRow(6);
  EXPECT_TRUE(d.removeButton()->isEnabled());
}

TEST(DlgOptionsCapture, AddingAProgram) {
  testsupport::OffscreenApp();
  Settings s = DefaultSettings();
  CDlgOptionsCapture d(s);
  d.SetProgramPicker([](QWidget*) { return QStringLiteral("/opt/X/Browser.EXE"); });
  d.addButton()->click();
  ASSERT_EQ(d.list()->count(), 6);
  EXPECT_EQ(Rows(d).back(), (Row{" browser.exe", true}));
  EXPECT_EQ(d.list()->currentRow(), 5);
  EXPECT_TRUE(d.list()->item(5)->isSelected());
  EXPECT_TRUE(d.removeButton()->isEnabled());

  // Again, and under another case, after it was unticked and another row chosen.
  d.list()->item(5)->setCheckState(Qt::Unchecked);
  d.list()->setCurrentRow(0);
  d.AddProgram(QStringLiteral("/usr/lib/x/BROWSER.exe"));
  EXPECT_EQ(d.list()->count(), 6);
  EXPECT_EQ(Rows(d).back(), (Row{" browser.exe", true}));
  EXPECT_EQ(d.list()->currentRow(), 5);

  // Cancel of the picker adds nothing.
  d.SetProgramPicker([](QWidget*) { return QString(); });
  d.addButton()->click();
  EXPECT_EQ(d.list()->count(), 6);

  // The row of a built-in browser is only selected and ticked.
  d.list()->item(1)->setCheckState(Qt::Unchecked);
  d.AddProgram(QStringLiteral("/usr/bin/FireFox.exe"));
  EXPECT_EQ(d.list()->count(), 6);
  EXPECT_EQ(Rows(d)[1], (Row{" firefox.exe", true}));
  EXPECT_EQ(d.list()->currentRow(), 1);
}

TEST(DlgOptionsCapture, ChromeIsRefused) {
  testsupport::OffscreenApp();
  struct Case {
    const char* path;
    bool refused;
  } cases[] = {{"/x/Chrome.exe", true}, {"/x/CHROME.EXE", true}, {"/x/chrome", false},
               {"/x/chromium.exe", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    RecordingMessageBoxes boxes;
    Settings s = DefaultSettings();
    CDlgOptionsCapture d(s);
    d.AddProgram(QString::fromLatin1(c.path));
    EXPECT_EQ(d.list()->count(), c.refused ? 5 : 6);
    if (c.refused) {
      EXPECT_EQ(boxes.texts, std::vector<std::string>{"message: Sorry, we do not support chrome now."});
    } else {
      EXPECT_TRUE(boxes.texts.empty());
    }
  }
}

TEST(DlgOptionsCapture, BuiltInBrowsersCannotBeRemoved) {
  testsupport::OffscreenApp();
  Settings s = DefaultSettings();
  s.Browsers.push_back({"FIREFOX.EXE", 1});  // a built-in under another case
  CDlgOptionsCapture d(s);
  struct Case {
    int row;
    bool removable;
  } cases[] = {{0, false}, {1, false}, {2, false}, {3, false}, {4, true}, {5, false}};
  for (const Case& c : cases) {
    d.list()->setCurrentRow(c.row);
    EXPECT_EQ(d.removeButton()->isEnabled(), c.removable) << d.list()->item(c.row)->text().toStdString();
  }
  d.list()->setCurrentRow(4);
  d.removeButton()->click();
  EXPECT_EQ(d.list()->count(), 5);
  EXPECT_EQ(d.list()->item(4)->text(), QStringLiteral(" FIREFOX.EXE"));
  d.list()->clearSelection();
  EXPECT_FALSE(d.removeButton()->isEnabled());
}

TEST(DlgOptionsCapture, OkTellsOfNextTimeOnlyWhenTheMonitoredSetChanged) {
  testsupport::OffscreenApp();
  struct Case {
    const char* name;
    std::function<void(CDlgOptionsCapture&)> edit;
    bool notice;
  } cases[] = {
      {"nothing changed", [](CDlgOptionsCapture&) {}, false},
      {"a monitored browser unticked",
       [](CDlgOptionsCapture& d) { d.list()->item(2)->setCheckState(Qt::Unchecked); }, true},
      {"an unmonitored browser ticked",
       [](CDlgOptionsCapture& d) { d.list()->item(4)->setCheckState(Qt::Checked); }, true},
      {"a monitored browser added", [](CDlgOptionsCapture& d) { d.AddProgram(QStringLiteral("/a/b.exe")); },
       true},
      {"an unmonitored browser removed",
       [](CDlgOptionsCapture& d) {
         d.list()->setCurrentRow(4);
         d.removeButton()->click();
       },
       false},
      {"untick and tick again",
       [](CDlgOptionsCapture& d) {
         d.list()->item(0)->setCheckState(Qt::Unchecked);
         d.list()->item(0)->setCheckState(Qt::Checked);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingMessageBoxes boxes;
    Settings s = DefaultSettings();
    CDlgOptionsCapture d(s);
    c.edit(d);
    std::vector<Row> shown = Rows(d);
    d.accept();
    if (c.notice) {
      EXPECT_EQ(boxes.texts, std::vector<std::string>{
                                 "Confirm: The changes will take effect next time your start Tamborel."});
      EXPECT_EQ(boxes.styles, std::vector<uint32_t>{platform::MB_ICONINFORMATION});
    } else {
      EXPECT_TRUE(boxes.texts.empty());
    }
    // The settings hold the rows, names without the leading blank.
    ASSERT_EQ(s.Browsers.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(" " + s.Browsers[i].Name, shown[i].text);
      EXPECT_EQ(s.Browsers[i].Monitored != 0, shown[i].checked);
    }
  }
}

TEST(DlgOptionsCapture, CancelKeepsTheList) {
  testsupport::OffscreenApp();
  RecordingMessageBoxes boxes;
  Settings s = DefaultSettings();
  CDlgOptionsCapture d(s);
  d.list()->item(0)->setCheckState(Qt::Unchecked);
  d.AddProgram(QStringLiteral("/a/b.exe"));
  d.reject();
  EXPECT_EQ(s.Browsers.size(), 5u);
  EXPECT_EQ(s.Browsers[0].Monitored, 1);
  EXPECT_TRUE(boxes.texts.empty());
}

}  // namespace
