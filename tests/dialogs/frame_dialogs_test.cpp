// The dialogs inside the running main frame: the close button, the
// tutorial at start-up, and the about and options commands.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include "app/shell/dialogs/dialog_features.h"
#include "app/shell/dialogs/dlg_action_when_close.h"
#include "app/shell/dialogs/dlg_tutorial.h"
#include "app/shell/dialogs/option_dlg.h"
#include "app/shell/main_frame.h"
#include "core/data_model.h"
#include "core/memory_key_value_store.h"
#include "core/settings.h"
#include "tests/dialogs/dialog_test_support.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace {

using dialogtest::WhenModalShows;

struct NullLauncher : DesktopLauncher {
  bool StartProgram(const std::string&, const std::string&) override { return true; }
  bool OpenWithDefault(const std::string&) override { return true; }
  bool ShowInFolder(const std::string&) override { return true; }
  bool OpenAddress(const std::string&) override { return true; }
};

class FrameDialogsTest : public ::testing::Test {
 protected:
  FrameDialogsTest()
      : runtime_("XDG_RUNTIME_DIR", box_.dir().c_str()), config_("XDG_CONFIG_HOME", box_.dir().c_str()) {
    testsupport::OffscreenApp();
    settings_.SavePath = box_.dir();
    settings_.ShowTutorial = 0;
    settings_.ShowTaskWnd = 0;
    features_.Install(hooks_);
  }
  ~FrameDialogsTest() override { frame_.reset(); }

  CMainFrame& Frame() {
    frame_ = std::make_unique<CMainFrame>(model_, settings_, store_, hooks_, box_.dir(), &launcher_);
    EXPECT_TRUE(frame_->Create(false));
    frame_->SetOnExit([this] { ++exits_; });
    frame_->show();
    return *frame_;
  }

  // The title of the modal dialog `act` meets, after acting on it.
  QString WithModal(std::function<void(QWidget*)> act, std::function<void()> trigger) {
    QString title;
    auto modal = WhenModalShows([&](QWidget* w) {
      title = w->windowTitle();
      act(w);
    });
    trigger();
    return title;
  }

  testsupport::Sandbox box_;
  testsupport::ScopedEnv runtime_;
  testsupport::ScopedEnv config_;
  DataModel model_;
  Settings settings_;
  MemoryKeyValueStore store_;
  shell::FrameHooks hooks_;
  DialogFeatures features_{{[](QWidget*) -> QWidget* { return nullptr; }, QStringLiteral("/x/Tamborel")}};
  NullLauncher launcher_;
  std::unique_ptr<CMainFrame> frame_;
  int exits_ = 0;
};

TEST_F(FrameDialogsTest, CancelKeepsTheWindowAndTheSettings) {
  CMainFrame& f = Frame();
  QString title = WithModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); }, [&] { f.CloseButton(); });
  EXPECT_EQ(title, QStringLiteral("Select your action"));
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(exits_, 0);
  EXPECT_EQ(settings_.CloseAction, 0);
  EXPECT_EQ(settings_.CloseActionLastTimeUsed, 1);
}

TEST_F(FrameDialogsTest, DoNotAskAgainKeepsTheActionAndTheNextCloseAsksNothing) {
  CMainFrame& f = Frame();
  QString title = WithModal(
      [](QWidget* w) {
        auto* d = static_cast<CDlgActionWhenClose*>(w);
        d->closeButton()->click();
        d->doNotAskBox()->click();
        d->accept();
      },
      [&] { f.CloseButton(); });
  EXPECT_EQ(title, QStringLiteral("Select your action"));
  EXPECT_EQ(settings_.CloseAction, shell::kCloseProgram);
  EXPECT_EQ(settings_.CloseActionLastTimeUsed, shell::kCloseProgram);
  EXPECT_EQ(exits_, 1);

  title = WithModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); }, [&] { f.CloseButton(); });
  EXPECT_TRUE(title.isEmpty());
}

TEST_F(FrameDialogsTest, AnswerWithoutKeepingItOnlyPresetsTheNextQuestion) {
  CMainFrame& f = Frame();
  WithModal(
      [](QWidget* w) {
        auto* d = static_cast<CDlgActionWhenClose*>(w);
        d->closeButton()->click();
        d->accept();
      },
      [&] { f.CloseButton(); });
  EXPECT_EQ(settings_.CloseAction, 0);
  EXPECT_EQ(settings_.CloseActionLastTimeUsed, shell::kCloseProgram);
  bool trayPreset = true;
  WithModal(
      [&](QWidget* w) {
        trayPreset = static_cast<CDlgActionWhenClose*>(w)->trayButton()->isChecked();
        static_cast<QDialog*>(w)->reject();
      },
      [&] { f.CloseButton(); });
  EXPECT_FALSE(trayPreset);
}

TEST_F(FrameDialogsTest, TheTutorialsBoxStopsItAtTheNextStart) {
  settings_.ShowTutorial = 1;
  CMainFrame& f = Frame();
  QString title = WithModal(
      [](QWidget* w) {
        auto* d = static_cast<CDlgTutorial*>(w);
        d->doNotShowBox()->click();
        d->closeButton()->click();
      },
      [&] { f.OnTimer(shell::kTutorialTimer); });
  EXPECT_EQ(title, QStringLiteral("Tamborel Tutorial"));
  EXPECT_EQ(settings_.ShowTutorial, 0);
  // What the next start reads.
  ASSERT_TRUE(settings_.Save(store_));
  Settings next;
  next.Load(store_, box_.dir(), box_.dir());
  EXPECT_EQ(next.ShowTutorial, 0);
}

TEST_F(FrameDialogsTest, TutorialClosedWithoutTheBoxComesAgain) {
  settings_.ShowTutorial = 1;
  CMainFrame& f = Frame();
  WithModal([](QWidget* w) { static_cast<CDlgTutorial*>(w)->closeButton()->click(); },
            [&] { f.OnTimer(shell::kTutorialTimer); });
  EXPECT_EQ(settings_.ShowTutorial, 1);
}

TEST_F(FrameDialogsTest, AboutAndOptionsCommands) {
  CMainFrame& f = Frame();
  QString title = WithModal([](QWidget* w) { static_cast<QDialog*>(w)->accept(); },
                            [&] { f.OnCommand(shell::ID_APP_ABOUT); });
  EXPECT_EQ(title, QStringLiteral("About"));

  f.OnCommand(shell::ID_SETTINGS);
  COptionDlg* options = features_.OptionsDialog();
  ASSERT_NE(options, nullptr);
  EXPECT_TRUE(options->isVisible());
  EXPECT_EQ(options->parentWidget(), &f);
  // Exit closes it.
  f.Exit(false);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(features_.OptionsDialog(), nullptr);
}

}  // namespace
