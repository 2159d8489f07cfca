// The start-up check of the installed player, reached through controls that
// report no window or an old version.
#include "flash/installed_player_check.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash/flash_control.h"
#include "platform/message_box.h"
#include "tests/flash/flash_fixture.h"

namespace {

struct Box {
  std::string caption;
  std::string text;
  uint32_t style;
};

class Recorder : public platform::MessageBoxSink {
 public:
  explicit Recorder(int answer) : answer_(answer) { platform::SetMessageBoxSink(this); }
  ~Recorder() override { platform::SetMessageBoxSink(nullptr); }
  int Show(const std::string& caption, const std::string& text, uint32_t style) override {
    boxes.push_back({caption, text, style});
    return answer_;
  }
  std::vector<Box> boxes;

 private:
  int answer_;
};

class FakeControl : public flash::FlashControl {
 public:
  FakeControl(int version, bool window) : version_(version), window_(window) {}
  int FlashVersion() const override { return version_; }
  bool HasWindow() const override { return window_; }

 private:
  int version_;
  bool window_;
};

const std::string kAddress = flash::kPlayerDownloadAddress;
const std::string kNotInstalled =
    "Adobe Flash Player has not been installed. Please install it firstly.\n\n" + kAddress;
const std::string kTooOld = "Your Adobe Flash Player's version is too old. Upgrade it now?\n" + kAddress;

TEST(InstalledPlayerCheck, PassesOrEndsTheProgramWithItsMessage) {
  flashtest::App();
  const struct {
    const char* name;
    bool created;
    int version;
    bool window;
    int answer;
    const char* caption;  // nullptr: the check passes silently
    std::string text;
    uint32_t style;
    bool opensAddress;
  } cases[] = {
      {"ours", true, flash::FlashControl().FlashVersion(), true, platform::IDNO, nullptr, "", 0, false},
      {"exactly 9", true, 9 << 16, true, platform::IDNO, nullptr, "", 0, false},
      {"9 with a minor version", true, (9 << 16) | 115, true, platform::IDNO, nullptr, "", 0, false},
      {"8.x, No", true, (8 << 16) | 0xFFFF, true, platform::IDNO, "Confirm", kTooOld,
       platform::MB_YESNO | platform::MB_ICONQUESTION, false},
      {"8.x, Yes", true, 8 << 16, true, platform::IDYES, "Confirm", kTooOld,
       platform::MB_YESNO | platform::MB_ICONQUESTION, true},
      {"no window", true, 10 << 16, false, platform::IDNO, "Confirm", kTooOld,
       platform::MB_YESNO | platform::MB_ICONQUESTION, false},
      {"not created", false, 0, false, platform::IDOK, "Warning", kNotInstalled,
       platform::MB_OK | platform::MB_ICONWARNING, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder(c.answer);
    std::vector<QString> opened;
    int exits = 0;
    flash::PlayerCheckActions actions{[&](const QString& a) { opened.push_back(a); }, [&] { ++exits; }};
    FakeControl control(c.version, c.window);
    const bool ready = flash::VerifyInstalledPlayer(c.created ? &control : nullptr, actions);
    EXPECT_EQ(ready, c.caption == nullptr);
    EXPECT_EQ(exits, ready ? 0 : 1);
    if (c.caption) {
      ASSERT_EQ(recorder.boxes.size(), 1u);
      EXPECT_EQ(recorder.boxes[0].caption, c.caption);
      EXPECT_EQ(recorder.boxes[0].text, c.text);
      EXPECT_EQ(recorder.boxes[0].style, c.style);
    } else {
      EXPECT_TRUE(recorder.boxes.empty());
    }
    EXPECT_EQ(opened, c.opensAddress ? std::vector<QString>{QString::fromStdString(kAddress)}
                                     : std::vector<QString>{});
  }
}

TEST(InstalledPlayerCheck, PreviewPaneChecksCreationOnly) {
  flashtest::App();
  int exits = 0;
  flash::PlayerCheckActions actions{nullptr, [&] { ++exits; }};
  {
    Recorder recorder(platform::IDOK);
    FakeControl old(8 << 16, false);
    EXPECT_TRUE(flash::VerifyPlayerCreated(&old, actions));
    EXPECT_TRUE(recorder.boxes.empty());
  }
  Recorder recorder(platform::IDOK);
  EXPECT_FALSE(flash::VerifyPlayerCreated(nullptr, actions));
  EXPECT_EQ(exits, 1);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].caption, "Error");
  EXPECT_EQ(recorder.boxes[0].text, kNotInstalled);
  EXPECT_EQ(recorder.boxes[0].style, platform::MB_OK | platform::MB_ICONERROR);
}

}  // namespace
