// The popups and the history dialog on a real X server: where the windows
// land, clicks from xdotool, the keyboard focus, and screenshots when
// TAMBOREL_SCREENSHOT_DIR names a folder (run with QT_SCALE_FACTOR=2 for 200 %).
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "app/capture/popups/ccaptrue_history.h"
#include "app/capture/popups/cmultiline_list_ctrl.h"
#include "app/capture/popups/cpopwnd_dlg.h"
#include "app/capture/popups/skin_button.h"
#include "app/shell/notify/popup_feature.h"
#include "core/data_model.h"
#include "core/program_dir.h"
#include "core/settings.h"
#include "tests/popups/popup_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/frame_stub.h"
#include "tests/support/xvfb_display.h"

// Fontconfig and the desktop bus keep their allocations to the end of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libX11.so\nleak:libxcb\n";
}

namespace {

constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

// Stopped when the program ends; the application keeps its connection to the last.
testsupport::XvfbDisplay& Display() {
  static testsupport::XvfbDisplay display(kScreenWidth, kScreenHeight);
  return display;
}

QApplication* App() {
  if (Display().display().empty()) return nullptr;
  setenv("DISPLAY", Display().display().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  return &TestApp();
}

using FakeFrame = testsupport::StubFrame<RecordingWindow>;

class FakeHistory : public CaptureHistorySource {
 public:
  void CopyHistory(std::vector<CaptureHistoryRow>& out) override { out = rows; }
  void DownloadCapture(int32_t) override {}
  void ClearHistory() override { rows.clear(); }
  bool SetThumbnail(int32_t id, const QImage& picture) override {
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
      if (it->id == id) {
        it->thumbnail = picture;
        return true;
      }
    return false;
  }
  std::vector<CaptureHistoryRow> rows;
};

std::string RunTool(const std::vector<std::string>& argv) {
  std::string out;
  testsupport::RunCommand(argv, &out, 20000);
  return out;
}

void Screenshot(const std::string& name) {
  const char* dir = std::getenv("TAMBOREL_SCREENSHOT_DIR");
  if (!dir || !*dir) return;
  QApplication::processEvents();
  RunTool({"import", "-window", "root", std::string(dir) + "/" + name});
}

// X's own idea of a window's place: "x y width height".
std::string XGeometry(const QWidget* w) {
  std::istringstream in(RunTool({"xdotool", "getwindowgeometry", "--shell", std::to_string(w->winId())}));
  std::string line, x, y, width, height;
  while (std::getline(in, line)) {
    if (line.rfind("X=", 0) == 0) x = line.substr(2);
    if (line.rfind("Y=", 0) == 0) y = line.substr(2);
    if (line.rfind("WIDTH=", 0) == 0) width = line.substr(6);
    if (line.rfind("HEIGHT=", 0) == 0) height = line.substr(7);
  }
  return x + " " + y + " " + width + " " + height;
}

void ClickAt(const QWidget* button) {
  const QPoint c = button->mapToGlobal(button->rect().center());
  // xdotool works in device pixels.
  const qreal dpr = button->devicePixelRatioF();
  RunTool({"xdotool", "mousemove", "--sync", std::to_string(int(c.x() * dpr)), std::to_string(int(c.y() * dpr)), "click",
       "1"});
}

struct Fixture {
  Fixture() {
    settings().ClosePopWndWay = 0;  // they stay for the pictures
    DataRecord known;
    known.TaskIndex = 1;
    known.URL = "http://v.example/Known.flv";
    known.SaveDir = "/home/user/Documents/Tamborel/";
    known.FileName = "Known.flv";
    frame.model.tasks.push_back(known);
    feature = std::make_unique<PopupFeature>();
    feature->Install(hooks);
    feature->Start(frame);
    feature->SetHistorySource(&history);
    ticker.setInterval(30);
    QObject::connect(&ticker, &QTimer::timeout, [this] {
      hooks.popupPass(frame);
      Dispatch();
    });
    ticker.start();
  }
  Settings& settings() { return frame.settings; }

  // The frame hands the popups' messages to the hooks; the rest is kept.
  void Dispatch() {
    std::vector<PostedMessage> fresh;
    fresh.swap(frame.services.posted);
    for (const auto& m : fresh) {
      auto it = hooks.messages.find(m.msg);
      if (it != hooks.messages.end() && it->second) it->second(frame, m.wParam, m.lParam);
      else seen.push_back(m);
    }
  }
  bool RunUntil(const std::function<bool()>& done, int timeoutMs = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
      if (clock.elapsed() > timeoutMs) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
  }
  void Capture(int32_t id, const std::string& address, const std::string& pattern) {
    feature->QueueCapture(id, address, pattern);
  }
  CPopWndDlg* ShownCapturePopup(int32_t id) {
    for (const auto& s : feature->Stack().Shown()) {
      auto* popup = dynamic_cast<CPopWndDlg*>(s.popup);
      if (popup && popup->Request().id == id) return popup;
    }
    return nullptr;
  }
  // Every request that fits is on screen and grown.
  bool AllShownAndStill() {
    const size_t fits = std::min<size_t>(5, feature->Stack().MaxOnScreen());
    const size_t waiting = feature->Center().CaptureQueue().size() + feature->Center().CompletionQueue().size();
    if (waiting && feature->Stack().Shown().size() < fits) return false;
    for (const auto& s : feature->Stack().Shown())
      if (s.popup->State() != PopupBase::Showing || s.placed.bottom == s.placed.top) return false;
    return feature->Stack().IsStable();
  }

  FakeFrame frame;
  FakeHistory history;
  shell::FrameHooks hooks;
  std::unique_ptr<PopupFeature> feature;
  QTimer ticker;
  std::vector<PostedMessage> seen;
};

TEST(PopupsOnScreen, StackInTheCornerAndAnswerClicksWithoutTakingTheFocus) {
  if (!App()) GTEST_SKIP() << "no Xvfb";
  if (!testsupport::HaveProgram("xdotool")) GTEST_SKIP() << "no xdotool";

  // The user's window has the keyboard.
  QLineEdit typing;
  typing.setWindowTitle(QStringLiteral("typing"));
  typing.show();
  typing.activateWindow();
  Fixture f;
  ASSERT_TRUE(f.RunUntil([&] { return typing.hasFocus(); }));
  const std::string focusBefore = RunTool({"xdotool", "getwindowfocus"});

  f.Capture(1, "http://v.example/new/clip.flv", "*.flv");
  f.Capture(2, "http://v.example/known.flv", "*.flv");  // a task has it (case aside)
  f.Capture(3, "http://a.example/song.mp3", "*.mp3");
  for (int32_t task : {1, 2}) {
    PopupRequest r;
    r.id = task;
    r.mainWindow = &f.frame.services;
    r.kind = kCompletionPopup;
    r.text = "/home/user/Documents/Tamborel/Finished clip number " + std::to_string(task) + ".flv";
    f.feature->Center().QueueCompletion(r);
  }
  // 5 at 100 %; a 200 % screen is 512 pixels high and holds 3.
  ASSERT_TRUE(f.RunUntil([&] { return f.AllShownAndStill(); }));
  ASSERT_EQ(f.feature->Stack().Shown().size(), std::min<size_t>(5, f.feature->Stack().MaxOnScreen()));

  // Bottom up in the order shown, 20 pixels from the right edge of a screen
  // without a work area.
  const auto& shown = f.feature->Stack().Shown();
  const qreal dpr = typing.devicePixelRatioF();
  int bottom = int(kScreenHeight / dpr);
  for (const auto& s : shown) {
    auto* w = dynamic_cast<QWidget*>(s.popup);
    ASSERT_NE(w, nullptr);
    const int h = s.popup->FullHeight();
    const QRect expected(int(kScreenWidth / dpr) - 20 - 192, bottom - h, 192, h);
    EXPECT_EQ(w->geometry(), expected);
    EXPECT_EQ(XGeometry(w), std::to_string(int(expected.x() * dpr)) + " " + std::to_string(int(expected.y() * dpr)) +
                                " " + std::to_string(int(192 * dpr)) + " " + std::to_string(int(h * dpr)));
    bottom -= h;
  }
  CPopWndDlg* offer = f.ShownCapturePopup(1);
  CPopWndDlg* existing = f.ShownCapturePopup(2);
  ASSERT_TRUE(offer && existing);
  EXPECT_EQ(offer->MainText()->Text(), QStringLiteral("http://v.example/new/clip.flv"));
  EXPECT_EQ(existing->MainText()->Text(), QStringLiteral("The Task has existed."));
  Screenshot("stacked_popups.png");

  // "Download" asks the frame; the frame's answer changes the text.
  ClickAt(offer->DownloadButton());
  ASSERT_TRUE(f.RunUntil([&] { return !f.seen.empty(); }));
  EXPECT_EQ(f.seen[0].msg, shell::UM_CAPTURE_ADD);
  EXPECT_EQ(f.seen[0].wParam, offer->AskerParam());
  EXPECT_EQ(f.seen[0].lParam, 1);
  EXPECT_TRUE(f.feature->SendTaskAdded(f.seen[0].wParam));
  EXPECT_FALSE(f.feature->SendTaskAdded(12345)) << "not a popup";
  EXPECT_EQ(offer->MainText()->Text(), QStringLiteral("The task has been added."));
  Screenshot("task_added.png");

  ClickAt(existing->CheckButton());
  ASSERT_TRUE(f.RunUntil([&] { return f.seen.size() == 2; }));
  EXPECT_EQ(f.seen[1].msg, shell::UM_SHOW_TASK);
  EXPECT_EQ(f.seen[1].lParam, 2);
  EXPECT_FALSE(existing->DownloadAgainButton()->isEnabled());

  // Both close two seconds later; the shown list forgets them as they go.
  ASSERT_TRUE(f.RunUntil([&] { return !f.feature->Center().IsShownAddress("http://v.example/new/clip.flv") &&
                                      !f.feature->Center().IsShownAddress("http://v.example/known.flv"); }));
  ASSERT_TRUE(f.RunUntil([&] { return f.AllShownAndStill() && f.feature->Stack().Shown().size() == 3; }));
  EXPECT_EQ(RunTool({"xdotool", "getwindowfocus"}), focusBefore);
  EXPECT_TRUE(typing.isActiveWindow());
}

TEST(PopupsOnScreen, SixCompletionsShowFiveThenTheSixth) {
  if (!App()) GTEST_SKIP() << "no Xvfb";
  Fixture f;
  f.settings().ClosePopWndWay = 1;
  f.settings().ClosePopWndSeconds = 1;
  for (int32_t t = 1; t <= 6; ++t) {
    DataRecord task;
    task.TaskIndex = t;
    task.SaveDir = "/home/user/Documents/Tamborel/";
    task.FileName = "clip" + std::to_string(t) + ".flv";
    f.frame.model.tasks.push_back(task);
  }
  for (int32_t t = 1; t <= 6; ++t) f.hooks.completionNotice(f.frame, t);
  const size_t fits = std::min<size_t>(5, f.feature->Stack().MaxOnScreen());
  ASSERT_TRUE(f.RunUntil([&] { return f.feature->Stack().Shown().size() == fits; }));
  EXPECT_FALSE(f.feature->Center().CompletionQueue().empty());
  // The sixth comes once one of the five has gone.
  ASSERT_TRUE(f.RunUntil([&] { return f.feature->Center().CompletionQueue().empty(); }));
  bool sixthShown = false;
  for (const auto& s : f.feature->Stack().Shown())
    sixthShown |= dynamic_cast<PopupWindow*>(s.popup)->Request().id == 6;
  EXPECT_TRUE(sixthShown);

  // Switched off: nothing more shows, and what waits is dropped.
  ASSERT_TRUE(f.RunUntil([&] { return f.feature->Stack().Shown().empty(); }));
  f.settings().ShowFinishPopWnd = 0;
  f.hooks.completionNotice(f.frame, 1);
  f.RunUntil([] { return false; }, 300);
  EXPECT_TRUE(f.feature->Stack().Shown().empty());
  EXPECT_TRUE(f.feature->Center().CompletionQueue().empty());
}

TEST(PopupsOnScreen, HistoryDialog) {
  if (!App()) GTEST_SKIP() << "no Xvfb";
  Fixture f;
  QImage thumbnail(148, 96, QImage::Format_RGB32);
  for (int y = 0; y < thumbnail.height(); ++y)
    for (int x = 0; x < thumbnail.width(); ++x) thumbnail.setPixel(x, y, qRgb(40 + x, 80 + y, 160));
  struct Row {
    const char* address;
    const char* pattern;
    bool picture;
  } rows[] = {
      {"http://v.example/videos/2026/12/a-rather-long-name-for-a-clip-that-does-not-fit-the-column-at-all.flv",
       "*.flv", true},
      {"http://a.example/music/song.mp3", "*.mp3", false},
      {"rtmp://stream.example/live/channel7", "*.flv", false},
  };
  int32_t id = 0;
  for (const Row& r : rows) {
    CaptureHistoryRow row;
    row.id = ++id;
    row.address = r.address;
    row.typePattern = r.pattern;
    row.time = {2026, 12, 10, 14, 30 + id, 5};
    if (r.picture) row.thumbnail = thumbnail;
    f.history.rows.push_back(row);
  }
  f.hooks.openCaptureHistory(f.frame);
  CCaptrueHistory* dialog = f.feature->HistoryDialog();
  ASSERT_NE(dialog, nullptr);
  dialog->move(40, 40);
  ASSERT_TRUE(f.RunUntil([&] { return dialog->isVisible(); }));
  dialog->List()->topLevelItem(0)->setSelected(true);
  f.RunUntil([] { return false; }, 300);
  EXPECT_EQ(dialog->List()->topLevelItemCount(), 3);
  Screenshot("history.png");
  dialog->ClearButton()->click();
  EXPECT_EQ(dialog->List()->topLevelItemCount(), 0);
}

}  // namespace
