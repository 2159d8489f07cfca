#include <QDropEvent>
#include <QFile>
#include <atomic>
#include <filesystem>
#include <thread>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "flash/invoke_request.h"
#include "player/forward_file.h"
#include "player/pellumo_app.h"
#include "player/player_commands.h"
#include "player/wnd_player_control.h"
#include "tests/player/player_fixture.h"

namespace {

namespace inv = flash::invoke;
using playertest::PlayerFixture;

class PellumoViewTest : public PlayerFixture {};

TEST_F(PellumoViewTest, ResizingBeforeTheFirstOpenAlwaysSends100) {
  for (QSize size : {QSize(700, 300), QSize(320, 600), QSize(1000, 800)}) {
    sent_.clear();
    frame_->resize(size);
    QApplication::processEvents();
    std::vector<std::string> sizes;
    for (const std::string& r : sent_)
      if (r.find("\"SetSize\"") != std::string::npos) sizes.push_back(r);
    ASSERT_FALSE(sizes.empty()) << size.width();
    for (const std::string& r : sizes) EXPECT_EQ(r, inv::SetSize(100)) << size.width();
  }
}

TEST_F(PellumoViewTest, FileCheckDecidesWhatOpens) {
  box_.WriteFile("eight.flv", std::string("FLV\x01\x05\x00\x00\x00", 8));
  struct Case { std::string path; bool opens; std::string message; };
  const Case cases[] = {
      {box_.path("eight.flv"), false, "\"" + box_.path("eight.flv") + "\" is not a valid FLV file."},
      {box_.path("missing.flv"), false, "File not found. Please verify the correct file name was given."},
      {Mp4("clip.mp4"), true, ""},
  };
  for (const Case& c : cases) {
    boxes_.shown.clear();
    EXPECT_EQ(view()->OpenPath(QString::fromStdString(c.path)), c.opens) << c.path;
    EXPECT_EQ(view()->IsMovieOpen(), c.opens);
    EXPECT_EQ(boxes_.Last(), c.message);
    if (!c.message.empty()) {
      EXPECT_EQ(boxes_.shown.back().caption, "Pellumo");
    }
  }
  EXPECT_EQ(frame_->windowTitle(), "clip.mp4 - Pellumo");
  EXPECT_EQ(frame_->RecentFiles().Entries().front(), box_.path("clip.mp4"));
  EXPECT_TRUE(Sent(inv::SetMoive(box_.path("clip.mp4"))));
  EXPECT_FALSE(view()->Link()->isVisible());
}

TEST_F(PellumoViewTest, CaptionForAddresses) {
  struct Case { const char* address; const char* caption; };
  const Case cases[] = {
      {"http://127.0.0.1/dir/clip.flv", "clip.flv - Pellumo"},
      {"HTTP://127.0.0.1/dir/LOUD.FLV", "LOUD.FLV - Pellumo"},
      {"http://127.0.0.1/dir/clip.mp4", "Pellumo"},
      {"http://127.0.0.1/stream?id=3", "Pellumo"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(view()->OpenPath(c.address));
    EXPECT_EQ(frame_->windowTitle(), c.caption) << c.address;
    EXPECT_EQ(view()->RecentUrls().GetAt(0), c.address);
  }
  // Addresses never enter the recent-file list.
  EXPECT_TRUE(frame_->RecentFiles().Entries().empty());
}

TEST_F(PellumoViewTest, ScaleCommandsFromTheMovie) {
  ASSERT_TRUE(view()->OpenPath(QString::fromStdString(Mp4("clip.mp4"))));
  view()->OnMovieCommand("width", "160");
  view()->OnMovieCommand("height", "120");
  QApplication::processEvents();
  EXPECT_EQ(view()->size(), QSize(320, 120 + CWndPlayerControl::kHeight));  // zoom 100, min width

  view()->OnMovieCommand("scale", "0");
  QApplication::processEvents();
  EXPECT_TRUE(frame_->IsFullScreen());
  EXPECT_TRUE(Sent(inv::SetFullScreen()));
  sent_.clear();
  view()->OnMovieCommand("SCALE", "200");
  QApplication::processEvents();
  EXPECT_FALSE(frame_->IsFullScreen());
  EXPECT_FALSE(frame_->isFullScreen());
  EXPECT_TRUE(Sent(inv::SetRestoreScreen()));
  EXPECT_EQ(view()->size(), QSize(320, 240 + CWndPlayerControl::kHeight));
  EXPECT_EQ(view()->LastPercent(), 200);

  view()->OnMovieCommand("width", "640");
  view()->OnMovieCommand("height", "360");
  view()->OnMovieCommand("scale", "50");
  QApplication::processEvents();
  EXPECT_EQ(view()->size(), QSize(320, 180 + CWndPlayerControl::kHeight));
  // Sizes the layout could not use are ignored.
  view()->OnMovieCommand("width", "0");
  view()->OnMovieCommand("scale", "-5");
  EXPECT_EQ(view()->NativeSize(), QSize(640, 360));
}

TEST_F(PellumoViewTest, FullScreenLaysOutForTheWholeScreenAndBack) {
  ASSERT_TRUE(view()->OpenPath(QString::fromStdString(Mp4("clip.mp4"))));
  QRect before = frame_->geometry();
  frame_->RunCommand(ID_FULL_SCREEN);
  QApplication::processEvents();
  EXPECT_TRUE(frame_->isFullScreen());
  EXPECT_TRUE(frame_->IsTopmost());
  EXPECT_EQ(view()->Flash()->geometry(), view()->rect());
  EXPECT_TRUE(view()->IsCommandChecked(ID_FULL_SCREEN));
  // Escape leaves full screen and is consumed.
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(view(), &esc);
  QApplication::processEvents();
  EXPECT_FALSE(frame_->IsFullScreen());
  EXPECT_FALSE(frame_->IsTopmost());
  EXPECT_EQ(frame_->geometry(), before);
}

TEST_F(PellumoViewTest, StreamNotFoundAndCloseLeaveTheViewEmpty) {
  ASSERT_TRUE(view()->OpenPath("http://127.0.0.1/dir/clip.flv"));
  view()->OnMovieCommand("StreamNotFound", "");
  EXPECT_EQ(boxes_.Last(), "It is not a valid FLV file.");
  EXPECT_FALSE(view()->IsMovieOpen());
  EXPECT_EQ(frame_->windowTitle(), "Pellumo");
  EXPECT_EQ(frame_->Document().path, "No video");
  EXPECT_EQ(sent_.back(), inv::CloseMovie());
  EXPECT_FALSE(view()->IsCommandEnabled(ID_PLAY_PAUSE));
  EXPECT_TRUE(view()->IsCommandEnabled(ID_FILE_OPEN));
  // Commands the movie sends while nothing is open change nothing.
  view()->OnMovieCommand("duration", "10");
  EXPECT_EQ(view()->Bar()->DurationMs(), 0);
}

TEST_F(PellumoViewTest, DroppingThreeFilesOpensTheFirst) {
  frame_->OpenDropped({QUrl::fromLocalFile(QString::fromStdString(Mp4("one.mp4"))),
                       QUrl::fromLocalFile(QString::fromStdString(Mp4("two.mp4"))),
                       QUrl::fromLocalFile(QString::fromStdString(Mp4("three.mp4")))});
  EXPECT_EQ(frame_->Document().path.toStdString(), box_.path("one.mp4"));
  EXPECT_EQ(frame_->RecentFiles().Entries().size(), 1u);
}

TEST_F(PellumoViewTest, PercentInTheNameAsksForACopy) {
  std::string original = Mp4("50%.mp4");
  // No: nothing opens.
  boxes_.answers = {platform::IDNO};
  EXPECT_FALSE(view()->OpenPath(QString::fromStdString(original)));
  EXPECT_NE(boxes_.Last().find("contains character '%'"), std::string::npos);

  // Yes, a name with "%" again, Yes, a good name: the copy opens.
  boxes_.answers = {platform::IDYES, platform::IDYES};
  boxes_.shown.clear();
  dialogs_.saveAs = {QString::fromStdString(box_.path("still%.mp4")),
                     QString::fromStdString(box_.path("fifty.mp4"))};
  EXPECT_TRUE(view()->OpenPath(QString::fromStdString(original)));
  EXPECT_EQ(frame_->Document().path.toStdString(), box_.path("fifty.mp4"));
  EXPECT_EQ(testsupport::ReadWholeFile(box_.path("fifty.mp4")), testsupport::ReadWholeFile(original));
  EXPECT_EQ(boxes_.shown.size(), 2u);

  // A copy onto an existing file fails and opens nothing.
  boxes_.answers = {platform::IDYES};
  dialogs_.saveAs = {QString::fromStdString(box_.path("fifty.mp4"))};
  view()->CloseMovie();
  EXPECT_FALSE(view()->OpenPath(QString::fromStdString(original)));
  EXPECT_EQ(boxes_.Last(), "Copy file failed");
  EXPECT_EQ(boxes_.shown.back().caption, "Message");
}

TEST_F(PellumoViewTest, OpenUrlCommandUsesTheRecentList) {
  dialogs_.url = QStringLiteral("http://127.0.0.1/a.flv");
  frame_->RunCommand(ID_FILE_OPEN_URL);
  dialogs_.url = QStringLiteral("http://127.0.0.1/b.flv");
  frame_->RunCommand(ID_FILE_OPEN_URL);
  EXPECT_EQ(dialogs_.recentSeen, QStringList{"http://127.0.0.1/a.flv"});
  EXPECT_EQ(view()->RecentUrls().GetAt(0), "http://127.0.0.1/b.flv");

  frame_->RunCommand(ID_FILE_CLEAR_HISTORY);
  EXPECT_EQ(view()->RecentUrls().Count(), 0);
  std::string v = "x";
  EXPECT_TRUE(store_.ReadText("RecentUrl", "RecentUrl0", &v));
  EXPECT_EQ(v, "");
}

TEST_F(PellumoViewTest, DisplayOnTopModes) {
  ASSERT_TRUE(view()->OpenPath(QString::fromStdString(Mp4("clip.mp4"))));
  struct Case { int command; bool playing; bool topmost; };
  const Case cases[] = {
      {ID_TOP_ALWAYS, false, true},        {ID_TOP_WHEN_PLAYING, true, true},
      {ID_TOP_WHEN_PLAYING, false, false}, {ID_TOP_NEVER, true, false},
  };
  for (const Case& c : cases) {
    frame_->RunCommand(c.command);
    if (view()->Bar()->IsPlaying() != c.playing) frame_->RunCommand(ID_PLAY_PAUSE);
    EXPECT_EQ(frame_->IsTopmost(), c.topmost) << c.command << " " << c.playing;
    EXPECT_TRUE(view()->IsCommandChecked(c.command));
  }
}

TEST_F(PellumoViewTest, IdleFadesTheOverlayAndInFullScreenTheCursor) {
  QCursor::setPos(-500, -500);  // away from the bar
  ASSERT_TRUE(view()->OpenPath(QString::fromStdString(Mp4("clip.mp4"))));
  frame_->RunCommand(ID_FULL_SCREEN);
  QApplication::processEvents();
  // A mouse move starts the idle count afresh; the ticks below come one by one.
  QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(-300, -300), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view(), &move);
  EXPECT_EQ(view()->IdleTicks(), 0);
  sent_.clear();
  for (int i = 0; i < 49; ++i) view()->OnTimerTick();
  EXPECT_EQ(sent_.back(), inv::ShowFrame());
  EXPECT_TRUE(view()->CursorShown());
  view()->OnTimerTick();
  EXPECT_EQ(sent_.back(), inv::HideFrame());
  EXPECT_FALSE(view()->CursorShown());
  // The bar slides out of the screen one pixel a tick once 50 ticks passed.
  int barY = view()->Bar()->y();
  view()->OnTimerTick();
  EXPECT_EQ(view()->Bar()->y(), barY + 1);
}

TEST_F(PellumoViewTest, CreatedMovieFileGoesWithTheView) {
  QString movie = view()->MovieFile();
  EXPECT_TRUE(QFile::exists(movie));
  frame_.reset();
  EXPECT_FALSE(QFile::exists(movie));
}

}  // namespace

namespace {

// A second start in this process, on a thread of its own, against the frame
// registered as the running instance.
class SecondStartTest : public PlayerFixture {
 protected:
  bool SecondStart(const QStringList& args) {
    std::atomic<int> result{-1};
    std::thread second([&] { result = HandOverToRunningInstance(args, name_) ? 1 : 0; });
    while (result < 0) QApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    QApplication::processEvents();
    return result == 1;
  }
  std::string LongMp4(size_t length) {
    std::string dir = box_.dir();
    while (dir.size() < length - 220) dir += std::string(200, 'd') + "/";
    std::filesystem::create_directories(dir);
    std::string path = dir + std::string(length - dir.size() - 4, 'f') + ".mp4";
    testsupport::WriteWholeFile(path, std::string("\x00\x00\x00\x18" "ftypmp42\x00\x00\x00\x00", 16));
    return path;
  }
  const std::string name_ = "pellumo-second-" + std::to_string(::getpid());
};

TEST_F(SecondStartTest, HandsItsPathToTheFirstInstance) {
  EXPECT_FALSE(SecondStart({"Pellumo", "/any.flv"}));  // nobody runs yet
  ASSERT_TRUE(frame_->RegisterInstance(name_));

  // Without a path: only the first window comes to the front.
  frame_->showMinimized();
  QApplication::processEvents();
  EXPECT_TRUE(SecondStart({"Pellumo"}));
  EXPECT_FALSE(frame_->isMinimized());
  EXPECT_FALSE(view()->IsMovieOpen());
  EXPECT_TRUE(boxes_.shown.empty());

  const std::string path = LongMp4(3000);
  EXPECT_TRUE(SecondStart({"Pellumo", QString::fromStdString(path)}));
  EXPECT_EQ(frame_->Document().path.toStdString(), path);
  EXPECT_TRUE(boxes_.shown.empty());

  EXPECT_TRUE(SecondStart({"Pellumo", QString::fromStdString(path + "x"), "ignored"}));
  EXPECT_EQ(boxes_.Last(), "Cannot open flv file.");
  EXPECT_EQ(frame_->Document().path.toStdString(), path);
}

}  // namespace
