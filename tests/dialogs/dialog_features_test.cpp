// The dialogs as the main frame reaches them through its hooks.
#include "app/shell/dialogs/dialog_features.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdlib>

#include <gtest/gtest.h>

#include "app/download/runner_hosts.h"
#include "app/shell/dialogs/dlg_action_when_close.h"
#include "app/shell/dialogs/dlg_task_existed.h"
#include "app/shell/dialogs/msg_box_dlg.h"
#include "app/shell/dialogs/option_dlg.h"
#include "core/add_task.h"
#include "core/settings.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/frame_stub.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using dialogtest::PostedMessage;
using dialogtest::RecordingFrame;
using dialogtest::WhenModalShows;

// The dialogs take the frame's window as their parent.
struct FakeFrame : testsupport::StubFrame<RecordingFrame> {
  FakeFrame() { window = &parent; }
  QWidget parent;
};

// Delivers what the dialogs posted to the frame through the hooks, as the
// frame's message handler does.
void Deliver(shell::FrameHooks& hooks, FakeFrame& frame) {
  std::vector<PostedMessage> posted = std::move(frame.services.posted);
  frame.services.posted.clear();
  for (const PostedMessage& m : posted) {
    auto it = hooks.messages.find(m.msg);
    if (it != hooks.messages.end()) it->second(frame, m.wParam, m.lParam);
  }
}

TEST(DialogFeatures, OptionsOpenOnceAndOkReachesTheMonitorRefresh) {
  testsupport::OffscreenApp();
  testsupport::Sandbox box;
  testsupport::ScopedEnv config("XDG_CONFIG_HOME", box.dir().c_str());
  FakeFrame frame;
  // The capture feature's refresh of the monitor lists, hooked before.
  int refreshed = 0;
  shell::FrameHooks hooks;
  hooks.messages[shell::UM_OPTIONS_CLOSED] = [&](shell::FrameAccess&, platform::MessageParam,
                                                 platform::MessageParam) { ++refreshed; };
  DialogFeatures features({{}, QStringLiteral("/x/Tamborel")});
  features.Install(hooks);

  hooks.openOptions(frame);
  COptionDlg* first = features.OptionsDialog();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_FALSE(first->isModal());
  hooks.openOptions(frame);
  EXPECT_EQ(features.OptionsDialog(), first);  // at most one

  first->accept();
  Deliver(hooks, frame);
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(features.OptionsDialog(), nullptr);

  // Cancel: nothing to refresh; the next use makes a new dialog.
  hooks.openOptions(frame);
  ASSERT_NE(features.OptionsDialog(), nullptr);
  features.OptionsDialog()->reject();
  Deliver(hooks, frame);
  EXPECT_EQ(refreshed, 1);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(features.OptionsDialog(), nullptr);

  // The frame closes an open one at exit.
  hooks.openOptions(frame);
  hooks.closeOptions(frame);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(features.OptionsDialog(), nullptr);
}

TEST(DialogFeatures, CloseQuestionAnswersTheFrame) {
  testsupport::OffscreenApp();
  shell::FrameHooks hooks;
  DialogFeatures features({});
  features.Install(hooks);
  struct Case {
    bool cancel;
    bool tick;
    int result;
    bool dontAsk;
  } cases[] = {{true, true, -1, false}, {false, false, shell::kCloseToTray, false},
               {false, true, shell::kCloseToTray, true}};
  for (const Case& c : cases) {
    auto modal = WhenModalShows([&c](QWidget* w) {
      auto* d = static_cast<CDlgActionWhenClose*>(w);
      if (c.tick) d->doNotAskBox()->click();
      if (c.cancel) d->reject(); else d->accept();
    });
    bool dontAsk = false;
    EXPECT_EQ(hooks.askCloseAction(nullptr, shell::kCloseToTray, &dontAsk), c.result);
    EXPECT_EQ(dontAsk, c.dontAsk);
  }
}

TEST(DialogFeatures, TaskExistedPostsToTheFrame) {
  testsupport::OffscreenApp();
  FakeFrame frame;
  shell::FrameHooks hooks;
  bool earlierStart = false;
  hooks.startMonitor = [&](shell::FrameAccess&) { earlierStart = true; };
  DialogFeatures features({});
  features.Install(hooks);
  hooks.startMonitor(frame);
  EXPECT_TRUE(earlierStart);
  ASSERT_NE(hooks.taskExisted, nullptr);
  auto modal = WhenModalShows([](QWidget* w) { static_cast<CDlgTaskExisted*>(w)->checkButton()->click(); });
  hooks.taskExisted->Show("http://a.example/v.flv", 5);
  EXPECT_EQ(frame.services.posted, (std::vector<PostedMessage>{{shell::UM_SHOW_TASK, 0, 5}}));
}

TEST(DialogFeatures, DeleteQuestion) {
  testsupport::OffscreenApp();
  shell::FrameHooks hooks;
  DialogFeatures features({});
  features.Install(hooks);
  ASSERT_NE(hooks.deleteConfirmation, nullptr);
  struct Case {
    bool untick;
    bool ok;
    bool confirmed;
    bool files;
  } cases[] = {{false, true, true, true}, {true, true, true, false}, {false, false, false, false}};
  for (const Case& c : cases) {
    auto modal = WhenModalShows([&c](QWidget* w) {
      auto* d = static_cast<CMsgBoxDlg*>(w);
      if (c.untick) d->deleteFilesBox()->click();
      if (c.ok) d->accept(); else d->reject();
    });
    bool files = false;
    EXPECT_EQ(hooks.deleteConfirmation->Confirm(files), c.confirmed);
    EXPECT_EQ(files, c.files);
  }
}

}  // namespace
