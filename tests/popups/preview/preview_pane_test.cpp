// The preview pane: which files it plays, when its row shows, and what the
// preview movie is told. Real FLV files from ffmpeg, played by libmpv.
#include "app/shell/notify/cvideo_player_view.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QSplitter>

#include <functional>

#include <gtest/gtest.h>

#include "core/program_dir.h"
#include "flash/mpv_video.h"
#include "flash/shockwave_flash.h"
#include "flash/video_movies.h"
#include "tests/popups/popup_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/flv_media.h"
#include "tests/support/sandbox.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 60000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

struct PaneFixture {
  PaneFixture() {
    // The pane is row 1 of the frame's left column.
    column.setOrientation(Qt::Vertical);
    column.addWidget(new QWidget);
    view = new CVideoPlayerView(QString::fromStdString(GetProgramDir()));
    column.addWidget(view);
    column.resize(240, 500);
    column.show();
    view->PreviewFile("", -1);  // the frame starts with the pane hidden
  }
  flash::PreviewMovie* Movie() const { return dynamic_cast<flash::PreviewMovie*>(view->Flash()->CurrentMovie()); }
  bool Playing() const {
    flash::PreviewMovie* m = Movie();
    return m && m->Video() && m->Video()->IsOpen();
  }

  QApplication& app = TestApp();
  QSplitter column;
  CVideoPlayerView* view;
};

TEST(PreviewPane, LoadsThePreviewMovieIntoAFillingControl) {
  PaneFixture f;
  ASSERT_NE(f.Movie(), nullptr) << "Mirelda.dll beside the program";
  EXPECT_EQ(f.view->Flash()->ControlId(), 59143);
  EXPECT_TRUE(f.view->isHidden());
  f.view->show();
  f.view->resize(300, 200);
  EXPECT_EQ(f.view->Flash()->geometry(), f.view->contentsRect());
}

TEST(PreviewPane, PlaysVideoAndHidesForEverythingElse) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  PaneFixture f;
  testsupport::Sandbox box;
  ASSERT_TRUE(testsupport::MakeMediaFlv(box.path("video.flv"), 2, "libx264", "aac"));
  ASSERT_TRUE(testsupport::MakeMediaFlv(box.path("audio.flv"), 2, "", "aac"));

  f.view->PreviewFile(box.path("video.flv"), 7);
  EXPECT_FALSE(f.view->isHidden());
  ASSERT_NE(f.Movie(), nullptr);
  EXPECT_EQ(f.Movie()->TaskIndex(), 7);
  ASSERT_TRUE(WaitUntil([&] { return f.Playing() && f.Movie()->Video()->HasFrame(); }));
  EXPECT_EQ(f.Movie()->Video()->NativeSize(), QSize(160, 120));

  struct Case {
    const char* what;
    std::string path;
  } cases[] = {
      {"audio-only FLV", box.path("audio.flv")},
      {"no single finished task", ""},
      {"missing file", box.path("gone.flv")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    f.view->PreviewFile(box.path("video.flv"), 7);
    ASSERT_FALSE(f.view->isHidden());
    f.view->PreviewFile(c.path, -1);
    EXPECT_TRUE(f.view->isHidden());
    EXPECT_EQ(f.Movie()->TaskIndex(), -1) << "CloseMovie was sent";
    EXPECT_FALSE(f.Playing());
  }
}

TEST(PreviewPane, HiddenWindowKeepsThePaneState) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  PaneFixture f;
  testsupport::Sandbox box;
  ASSERT_TRUE(testsupport::MakeMediaFlv(box.path("video.flv"), 1, "libx264", ""));
  // Hidden to the tray: the frame asks for nothing to play.
  f.view->PreviewFile(box.path("video.flv"), 3);
  f.column.hide();
  f.view->PreviewFile("", -1);
  EXPECT_TRUE(f.view->isHidden());
  EXPECT_EQ(f.Movie()->TaskIndex(), -1);
  // Selecting the task again while the window is still hidden shows the row.
  f.view->PreviewFile(box.path("video.flv"), 3);
  EXPECT_FALSE(f.view->isHidden());
  f.column.show();
  EXPECT_TRUE(f.view->isVisible());
}

TEST(PreviewPane, RightButtonNeverReachesTheControl) {
  PaneFixture f;
  f.view->show();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
    QMouseEvent right(type, QPointF(5, 5), QPointF(5, 5), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    EXPECT_TRUE(QCoreApplication::sendEvent(f.view->Flash(), &right)) << type;
  }
}

}  // namespace
