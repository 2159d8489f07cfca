// A player frame and view with a Flash control whose calls are recorded
// instead of played, dialogs that answer from the test, and message boxes
// kept for inspection.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/memory_key_value_store.h"
#include "flash/shockwave_flash.h"
#include "platform/message_box.h"
#include "player/main_frame.h"
#include "player/player_dialogs.h"
#include "tests/support/sandbox.h"
#include "tests/support/scoped_env.h"

namespace playertest {

// The real control with the real player movie loaded, but every call only
// recorded, so nothing plays.
class RecordingFlash : public CShockwaveflash {
 public:
  RecordingFlash(QWidget* parent, std::vector<std::string>* sent)
      : CShockwaveflash(parent, 2000), sent_(sent) {}
  QString CallFunction(const QString& request) override {
    sent_->push_back(request.toStdString());
    return {};
  }

 private:
  std::vector<std::string>* sent_;
};

struct Boxes : platform::MessageBoxSink {
  struct Shown { std::string caption, text; uint32_t style; };
  std::vector<Shown> shown;
  std::deque<int> answers;  // for Yes/No questions; IDOK otherwise
  int Show(const std::string& caption, const std::string& text, uint32_t style) override {
    shown.push_back({caption, text, style});
    if ((style & 0x0F) == platform::MB_YESNO) {
      if (answers.empty()) return platform::IDNO;
      int a = answers.front();
      answers.pop_front();
      return a;
    }
    return platform::IDOK;
  }
  std::string Last() const { return shown.empty() ? std::string() : shown.back().text; }
};

struct AnswerDialogs : PlayerDialogs {
  QString openFile;
  std::deque<QString> saveAs;
  std::optional<QString> url;
  QStringList recentSeen;
  int abouts = 0;
  QString OpenMovieFile(QWidget*) override { return openFile; }
  QString SaveCopyAs(QWidget*, const QString&) override {
    if (saveAs.empty()) return {};
    QString s = saveAs.front();
    saveAs.pop_front();
    return s;
  }
  std::optional<QString> OpenUrl(QWidget*, const QStringList& recent) override {
    recentSeen = recent;
    return url;
  }
  void About(QWidget*) override { ++abouts; }
};

class PlayerFixture : public testing::Test {
 protected:
  PlayerFixture()
      : home_("HOME", box_.dir().c_str()),
        config_("XDG_CONFIG_HOME", (box_.dir() + "config").c_str()),
        runtime_("XDG_RUNTIME_DIR", box_.dir().c_str()) {}

  void SetUp() override {
    platform::SetMessageBoxSink(&boxes_);
    MakeFrame();
  }
  void TearDown() override {
    frame_.reset();
    platform::SetMessageBoxSink(nullptr);
  }

  void MakeFrame() {
    frame_.reset();
    frame_ = std::make_unique<CMainFrame>(&store_, &settings_, &dialogs_, [this](QWidget* parent) {
      return new RecordingFlash(parent, &sent_);
    });
    ASSERT_TRUE(frame_->Create());
    frame_->show();
    QApplication::processEvents();
  }

  CPellumoView* view() const { return frame_->View(); }

  // A small file the file check accepts.
  std::string Mp4(const std::string& name) {
    box_.WriteFile(name, std::string("\x00\x00\x00\x18" "ftypmp42\x00\x00\x00\x00", 16));
    return box_.path(name);
  }

  bool Sent(const std::string& request) const {
    return std::find(sent_.begin(), sent_.end(), request) != sent_.end();
  }

  testsupport::Sandbox box_;
  testsupport::ScopedEnv home_, config_, runtime_;
  MemoryKeyValueStore store_;
  PlayerSettings settings_;
  AnswerDialogs dialogs_;
  Boxes boxes_;
  std::vector<std::string> sent_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace playertest
