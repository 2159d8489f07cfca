// The popup feature hooked into the main frame: the preview pane in the
// left column and what the task list and the tray make it do, and the
// completion notice through the frame's timer.
#include <QApplication>

#include <memory>

#include <gtest/gtest.h>

#include "app/download/desktop_launcher.h"
#include "app/shell/main_frame.h"
#include "app/shell/notify/cvideo_player_view.h"
#include "app/shell/notify/popup_feature.h"
#include "core/data_model.h"
#include "core/memory_key_value_store.h"
#include "core/settings.h"
#include "flash/shockwave_flash.h"
#include "flash/video_movies.h"
#include "tests/popups/popup_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/frame_stub.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

struct NullLauncher : DesktopLauncher {
  bool StartProgram(const std::string&, const std::string&) override { return true; }
  bool OpenWithDefault(const std::string&) override { return true; }
  bool ShowInFolder(const std::string&) override { return true; }
  bool OpenAddress(const std::string&) override { return true; }
};

class PopupsInFrame : public ::testing::Test {
 protected:
  PopupsInFrame() : runtime_("XDG_RUNTIME_DIR", box_.dir().c_str()) {
    TestApp();
    settings_.SavePath = box_.dir();
    settings_.ShowTutorial = 0;
    popups_.Install(hooks_);
  }
  ~PopupsInFrame() override { frame_.reset(); }

  DataRecord& AddCompleted(const std::string& name) {
    return testsupport::AddListedTask(model_, Completed, name, box_.dir());
  }
  CMainFrame& Frame() {
    frame_ = std::make_unique<CMainFrame>(model_, settings_, store_, hooks_, box_.dir(), &launcher_);
    EXPECT_TRUE(frame_->Create(false));
    frame_->show();
    return *frame_;
  }
  CVideoPlayerView* Pane() { return dynamic_cast<CVideoPlayerView*>(frame_->PreviewPane()); }
  int PreviewedTask() {
    auto* movie = dynamic_cast<flash::PreviewMovie*>(Pane()->Flash()->CurrentMovie());
    return movie ? movie->TaskIndex() : -2;
  }

  testsupport::Sandbox box_;
  testsupport::ScopedEnv runtime_;
  testsupport::RecordingMessageBoxes boxes_;
  DataModel model_;
  Settings settings_;
  MemoryKeyValueStore store_;
  shell::FrameHooks hooks_;
  PopupFeature popups_;
  NullLauncher launcher_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(PopupsInFrame, PreviewFollowsTheSelectionAndTheTray) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  ASSERT_TRUE(testsupport::MakeMediaFlv(box_.path("video.flv"), 1, "libx264", "aac"));
  ASSERT_TRUE(testsupport::MakeMediaFlv(box_.path("audio.flv"), 1, "", "aac"));
  const int32_t video = AddCompleted("video.flv").TaskIndex;
  const int32_t audio = AddCompleted("audio.flv").TaskIndex;
  CMainFrame& f = Frame();
  ASSERT_NE(Pane(), nullptr);
  EXPECT_TRUE(Pane()->isHidden()) << "the pane starts hidden";

  f.OnMessage(shell::UM_SHOW_TASK, 0, video);  // selects the one row
  EXPECT_FALSE(Pane()->isHidden());
  EXPECT_EQ(PreviewedTask(), video);

  f.OnMessage(shell::UM_SHOW_TASK, 0, audio);
  EXPECT_TRUE(Pane()->isHidden()) << "audio only";
  EXPECT_EQ(PreviewedTask(), -1);

  f.OnMessage(shell::UM_SHOW_TASK, 0, video);
  ASSERT_FALSE(Pane()->isHidden());
  f.OnMessage(shell::UM_SELECT_ALL_TASKS, 0, 0);  // two rows
  EXPECT_TRUE(Pane()->isHidden());
  EXPECT_EQ(PreviewedTask(), -1);

  f.OnMessage(shell::UM_SHOW_TASK, 0, video);
  ASSERT_FALSE(Pane()->isHidden());
  // Closing to the tray takes the same way out as minimising to it.
  settings_.CloseAction = shell::kCloseToTray;
  f.CloseButton();
  // Without a tray (offscreen has none) the frame minimises instead of hiding.
  ASSERT_TRUE(f.isHidden() || f.isMinimized()) << "gone to the tray";
  EXPECT_TRUE(Pane()->isHidden());
  EXPECT_EQ(PreviewedTask(), -1);
}

TEST_F(PopupsInFrame, CompletionNoticeShowsThroughTheFrameTimer) {
  const int32_t first = AddCompleted("first.flv").TaskIndex;
  const int32_t second = AddCompleted("second.flv").TaskIndex;
  CMainFrame& f = Frame();
  f.OnTaskCompleted(first);
  ASSERT_TRUE(popups_.Started());
  for (int i = 0; i < 3; ++i) f.OnTimer(shell::kPopupTimer);
  ASSERT_EQ(popups_.Stack().Shown().size(), 1u);
  EXPECT_TRUE(popups_.Center().CompletionQueue().empty());

  settings_.ShowFinishPopWnd = 0;
  f.OnTaskCompleted(second);
  for (int i = 0; i < 100; ++i) f.OnTimer(shell::kPopupTimer);
  EXPECT_EQ(popups_.Stack().Shown().size(), 1u) << "nothing new";
  EXPECT_TRUE(popups_.Center().CompletionQueue().empty());
}

}  // namespace
