// The capture popup on its own: what it shows for a request, what its
// buttons send, and how it answers the frame and the link movie.
#include "app/capture/popups/cpopwnd_dlg.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "app/capture/popups/skin_button.h"
#include "app/shell/frame_hooks.h"
#include "core/program_dir.h"
#include "flash/shockwave_flash.h"
#include "tests/popups/popup_test_support.h"

// Fontconfig keeps its caches to the end of the process; that is not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

struct PopupFixture {
  PopupFixture() {
    TestApp();
    popup = std::make_unique<CPopWndDlg>(QString::fromStdString(GetProgramDir()));
  }
  void Start(const std::string& address, const std::string& pattern, bool exists, PopupTiming timing = {}) {
    PopupRequest r;
    r.id = 42;
    r.mainWindow = &frame;
    r.kind = kCapturePopup;
    r.taskExists = exists ? 1 : 0;
    r.text = address;
    r.typePattern = pattern;
    popup->Start(r, timing);
  }
  platform::MessageParam Asker() const { return popup->AskerParam(); }

  RecordingWindow frame;
  std::unique_ptr<CPopWndDlg> popup;
};

TEST(CaptureOffer, ShowsTheRequest) {
  struct Case {
    const char* pattern;
    bool exists;
    const char* label;
    const char* mainText;
    bool download, again;  // the buttons shown
    PreviewMode mode;
    bool flashShown;
  } cases[] = {
      {"*.flv", false, "(FLV)", "http://v.example/a.flv", true, false, PreviewMode::Video, false},
      {"*.flv", true, "(FLV)", "The Task has existed.", false, true, PreviewMode::Video, false},
      {"*.mp3", false, "(MP3)", "http://v.example/a.flv", true, false, PreviewMode::Audio, false},
      {"*.MP3", false, "(MP3)", "http://v.example/a.flv", true, false, PreviewMode::Video, false},
      {"*.swf", false, "(SWF)", "http://v.example/a.flv", true, false, PreviewMode::FlashMovie, true},
  };
  PopupFixture f;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + (c.exists ? " existing" : ""));
    f.popup->Reset();
    f.Start("http://v.example/a.flv", c.pattern, c.exists);
    EXPECT_EQ(f.popup->State(), PopupBase::Growing);
    EXPECT_EQ(f.popup->TypeLabel()->Text(), QString::fromLatin1(c.label));
    EXPECT_EQ(f.popup->MainText()->Text(), QString::fromLatin1(c.mainText));
    EXPECT_EQ(!f.popup->DownloadButton()->isHidden(), c.download);
    EXPECT_EQ(!f.popup->DownloadAgainButton()->isHidden(), c.again);
    EXPECT_EQ(!f.popup->CheckButton()->isHidden(), c.again);
    for (SkinButton* b : {f.popup->DownloadButton(), f.popup->DownloadAgainButton(), f.popup->CheckButton()})
      EXPECT_TRUE(b->isEnabled());
    EXPECT_EQ(f.popup->Mode(), c.mode);
    EXPECT_EQ(!f.popup->Flash()->isHidden(), c.flashShown);
  }
}

TEST(CaptureOffer, ButtonsSendTheirMessageAndClose) {
  struct Case {
    const char* name;
    std::function<SkinButton*(CPopWndDlg&)> button;
    bool exists;
    uint32_t msg;          // 0: nothing sent
    int32_t remainingMs;
    bool againAndCheckEnabled;
  } cases[] = {
      {"download", &CPopWndDlg::DownloadButton, false, shell::UM_CAPTURE_ADD, 2000, true},
      {"again", &CPopWndDlg::DownloadAgainButton, true, shell::UM_DOWNLOAD_AGAIN, 2000, false},
      {"check", &CPopWndDlg::CheckButton, true, shell::UM_SHOW_TASK, 2000, false},
      {"close", &CPopWndDlg::CloseButton, false, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PopupFixture f;
    f.Start("http://v.example/a.flv", "*.flv", c.exists, PopupTiming{false, 0});
    c.button(*f.popup)->click();
    if (c.msg) {
      ASSERT_EQ(f.frame.posted.size(), 1u);
      EXPECT_EQ(f.frame.posted[0], (PostedMessage{c.msg, f.Asker(), 42}));
    } else {
      EXPECT_TRUE(f.frame.posted.empty());
    }
    EXPECT_EQ(f.popup->RemainingMs(), c.remainingMs);
    EXPECT_EQ(f.popup->DownloadAgainButton()->isEnabled(), c.againAndCheckEnabled);
    EXPECT_EQ(f.popup->CheckButton()->isEnabled(), c.againAndCheckEnabled);
  }
}

TEST(CaptureOffer, TaskAddedDisablesDownloadAndSaysSo) {
  PopupFixture f;
  f.Start("http://v.example/a.flv", "*.flv", false);
  AskingWindow* asker = f.popup.get();
  asker->SendTaskAdded();
  EXPECT_FALSE(f.popup->DownloadButton()->isEnabled());
  EXPECT_EQ(f.popup->MainText()->Text(), QStringLiteral("The task has been added."));
  // A new start makes the popup fresh again.
  f.popup->Reset();
  f.Start("http://v.example/b.flv", "*.flv", false);
  EXPECT_TRUE(f.popup->DownloadButton()->isEnabled());
}

TEST(CaptureOffer, ReportsItsEndOnceAndEmptiesTheControl) {
  PopupFixture f;
  f.Start("http://v.example/a.flv", "*.flv", false, PopupTiming{true, 0});
  f.popup->show();
  while (f.popup->State() != PopupBase::Gone) f.popup->Step();
  f.popup->Step();
  ASSERT_EQ(f.frame.posted.size(), 1u);
  EXPECT_EQ(f.frame.posted[0], (PostedMessage{shell::UM_POPUP_CLOSED, 42, 0}));
  f.popup->Reset();
  EXPECT_EQ(f.popup->State(), PopupBase::Idle);
  EXPECT_TRUE(f.popup->isHidden());
  EXPECT_TRUE(f.popup->Flash()->isHidden());
}

TEST(CaptureOffer, LinkMovieCommands) {
  PopupFixture f;
  f.Start("http://v.example/a.flv", "*.flv", false);
  flash::FlashControl* control = f.popup->Flash();
  emit control->FSCommand(QStringLiteral("PlayStart"), QString());  // no argument: ignored
  EXPECT_TRUE(control->isHidden());
  emit control->FSCommand(QStringLiteral("playstart"), QStringLiteral(""));
  EXPECT_FALSE(control->isHidden());
  emit control->FSCommand(QStringLiteral("StreamNotFound"), QStringLiteral(""));
  EXPECT_TRUE(control->isHidden());
  EXPECT_TRUE(f.frame.posted.empty());

  emit control->FSCommand(QStringLiteral("PlayTime"), QStringLiteral("1.5"));
  ASSERT_EQ(f.frame.posted.size(), 1u);
  const PostedMessage m = f.frame.posted[0];
  EXPECT_EQ(m.msg, shell::UM_POPUP_THUMBNAIL);
  EXPECT_EQ(m.wParam, 42);
  std::unique_ptr<QImage> picture = f.popup->ClaimThumbnail(m.lParam);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->size(), QSize(74, 48));
  EXPECT_FALSE(f.popup->ClaimThumbnail(m.lParam)) << "claimed once";
  EXPECT_FALSE(f.popup->ClaimThumbnail(0x1234));
}

TEST(CaptureOffer, SwallowsClicksOnTheMovieAndTheDialogKeys) {
  PopupFixture f;
  f.Start("http://v.example/a.swf", "*.swf", false);
  for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), b, b, Qt::NoModifier);
    EXPECT_TRUE(QCoreApplication::sendEvent(f.popup->Flash(), &press)) << b;
  }
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(f.popup.get(), &press);
    EXPECT_TRUE(press.isAccepted()) << key;
  }
  EXPECT_EQ(f.popup->State(), PopupBase::Growing);
  EXPECT_TRUE(f.frame.posted.empty());
}

TEST(CaptureOffer, ALongAddressIsCutWithAnEllipsis) {
  PopupFixture f;
  const std::string address = "http://v.example/" + std::string(300, 'x') + "/end.flv";
  f.Start(address, "*.flv", false);
  const QString shown = f.popup->MainText()->ShownText();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("http://v.example/xx")));
  EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
  EXPECT_LE(f.popup->MainText()->fontMetrics().horizontalAdvance(shown), 175);
}

}  // namespace
